#pragma once
// Text-to-value conversion through the standard streams, as every setting
// is converted: leading blanks skipped, trailing characters ignored.

#include <exception>
#include <sstream>
#include <string>
#include <typeinfo>

/// \brief A failed conversion; the text says what could not be converted.
class BadParameter : public std::exception {
public:
    explicit BadParameter(const std::string& what) : m_What(what) {}
    ~BadParameter() override = default;
    const char* what() const noexcept override { return m_What.c_str(); }

private:
    std::string m_What;
};

/// \brief Writes `source` to a stream and reads a `Target` back from it.
/// \throws BadParameter "Error converting <text> to <type>" when that fails.
template <typename Target, typename Source>
Target convert_to(const Source& source)
{
    std::ostringstream out;
    out << source;
    if (out.fail()) {
        throw BadParameter("Error converting " + out.str());
    }
    const std::string text = out.str();
    std::istringstream in(text);
    Target value{};
    in >> value;
    if (in.fail()) {
        throw BadParameter("Error converting " + text + " to " + typeid(Target).name());
    }
    return value;
}

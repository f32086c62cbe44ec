#pragma once
// Settings as text: an ordered key/value map, and the reader and writer of
// the "KEY=value" property files that hold them.

#include <cstddef>
#include <exception>
#include <istream>
#include <map>
#include <ostream>
#include <string>
#include <utility>

/// \brief A file that cannot be opened, or a hard I/O error on its stream.
class PropertyStreamError : public std::exception {};
/// \brief A property file longer than PropertyReader reads; what() says so, without the file's name.
class PropertyFileTooLarge : public PropertyStreamError {
public:
    explicit PropertyFileTooLarge(std::string message) : mWhat(std::move(message)) {}
    const char* what() const noexcept override { return mWhat.c_str(); }

private:
    std::string mWhat;
};
/// \brief A line that is neither empty, nor a comment, nor "key=value".
class BadPropertyFormatException : public std::exception {};

/// \brief One key/value pair.
class Property {
public:
    Property() = default;
    Property(const std::string& key, const std::string& value) : m_Key(key), m_Value(value) {}

    const std::string& key() const { return m_Key; }
    const std::string& value() const { return m_Value; }
    void key(const std::string& key) { m_Key = key; }
    void value(const std::string& value) { m_Value = value; }

private:
    std::string m_Key;
    std::string m_Value;
};

/// \brief Ordered string-to-string map; an absent key reads as an empty text.
class Properties {
public:
    using Map = std::map<std::string, std::string>;

    /// \brief The value under `key`, or an empty text (never inserts).
    std::string propertyValue(const std::string& key) const;
    std::string Get(const std::string& key) const { return propertyValue(key); }
    /// \brief The pair under `key`, or an empty pair.
    Property property(const std::string& key) const;
    void setProperty(const std::string& key, const std::string& value) { m_PropertyMap[key] = value; }
    void setProperty(const Property& property) { setProperty(property.key(), property.value()); }
    /// \brief Removes `key`; false when it was absent.
    bool eraseProperty(const std::string& key) { return m_PropertyMap.erase(key) > 0; }
    bool exists(const std::string& key) const { return m_PropertyMap.count(key) > 0; }
    std::size_t size() const { return m_PropertyMap.size(); }
    void clear() { m_PropertyMap.clear(); }

    Map::iterator begin() { return m_PropertyMap.begin(); }
    Map::iterator end() { return m_PropertyMap.end(); }
    Map::const_iterator begin() const { return m_PropertyMap.begin(); }
    Map::const_iterator end() const { return m_PropertyMap.end(); }

private:
    Map m_PropertyMap;
};

/// \brief Longest property file read: settings and scenarios are a few kilobytes, so
/// anything near this is a mistake (a device, a record given as a scenario).
inline constexpr std::size_t kMaxPropertyFileBytes = std::size_t{1} << 20;

/// \brief Reads and writes property files. Stateless.
class PropertyReader {
public:
    /// \throws BadPropertyFormatException, PropertyStreamError
    Properties read(std::istream& in) const;
    /// \throws PropertyStreamError when the file cannot be opened or read,
    /// PropertyFileTooLarge (one) when it holds more than kMaxPropertyFileBytes
    Properties read(const std::string& fileName) const;

    /// \brief Writes the header as '#' lines, then the pairs in key order.
    void write(std::ostream& out, const std::string& header, const Properties& props) const;
    void write(std::ostream& out, Properties& props) const;
    void write(const std::string& fileName, const std::string& header, const Properties& props) const;
    void write(const std::string& fileName, const Properties& props) const;
};

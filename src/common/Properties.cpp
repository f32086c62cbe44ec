#include "common/Properties.h"

#include <cerrno>
#include <fstream>
#include <sstream>

#include "common/BoundedFile.h"

std::string Properties::propertyValue(const std::string& key) const
{
    const auto it = m_PropertyMap.find(key);
    return it == m_PropertyMap.end() ? std::string() : it->second;
}

Property Properties::property(const std::string& key) const
{
    const auto it = m_PropertyMap.find(key);
    return it == m_PropertyMap.end() ? Property() : Property(it->first, it->second);
}

Properties PropertyReader::read(std::istream& in) const
{
    Properties props;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) {
            throw BadPropertyFormatException();
        }
        props.setProperty(line.substr(0, eq), line.substr(eq + 1));
    }
    if (in.bad()) {
        throw PropertyStreamError();
    }
    return props;
}

Properties PropertyReader::read(const std::string& fileName) const
{
    std::string text;
    int error = 0;
    switch (readBounded(fileName, kMaxPropertyFileBytes, text, error)) {
    case BoundedRead::Ok:
        break;
    case BoundedRead::TooLarge:
        throw PropertyFileTooLarge("larger than " + sizeText(kMaxPropertyFileBytes) + ", too large for a settings file");
    case BoundedRead::CannotOpen:
    case BoundedRead::ReadError:
        errno = error;  // callers may name the system's reason
        throw PropertyStreamError();
    }
    std::istringstream in(text);
    return read(in);
}

void PropertyReader::write(std::ostream& out, const std::string& header, const Properties& props) const
{
    std::istringstream lines(header);
    std::string line;
    while (std::getline(lines, line)) {
        out << '#' << line << '\n';
    }
    for (const auto& pair : props) {
        out << pair.first << '=' << pair.second << '\n';
    }
    if (out.bad()) {
        throw PropertyStreamError();
    }
}

void PropertyReader::write(std::ostream& out, Properties& props) const
{
    if (out.fail()) {
        throw PropertyStreamError();
    }
    write(out, std::string(), props);
}

void PropertyReader::write(const std::string& fileName, const std::string& header, const Properties& props) const
{
    std::ofstream out(fileName, std::ios::out | std::ios::trunc);
    if (!out.is_open()) {
        throw PropertyStreamError();
    }
    write(out, header, props);
}

void PropertyReader::write(const std::string& fileName, const Properties& props) const
{
    write(fileName, std::string(), props);
}

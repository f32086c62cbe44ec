#pragma once
// Parsing received documents into items and writing messages as elements.
//
// Nested form written by writeNestedNode: at depth 0 everything stands on one
// line with no tabs, and the children are written at depth 0 too, e.g.
//   <command><wheel_velocities><right>12.5</right><left>-33.3333</left></wheel_velocities></command>
// At a depth d > 0 the opening tag follows d tabs and ends the line, the
// children are written at depth d + 1, and the closing tag follows d tabs and
// ends the line. A datagram is always written at depth 0.

#include <cstddef>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "xml/XMLItem.h"
#include "xml/XMLSerializable.h"

/// \brief Writes `tabs` tab characters; the type parameter only names the leaf's value type.
template <typename T>
struct Indent_Tabs {
    unsigned int tabs;
};

/// \brief Writes the tabs of `indent`.
template <typename T>
std::ostream& operator<<(std::ostream& os, const Indent_Tabs<T>& indent)
{
    for (unsigned int i = 0; i < indent.tabs; ++i) {
        os << '\t';
    }
    return os;
}

/// \brief Document parsing and element writing; all members are static.
class XMLSerializer {
public:
    /// \brief Largest document accepted; a larger one parses as XML_ERROREOUS.
    static constexpr std::size_t kMaxDocumentBytes = 64 * 1024;

    /// \brief The root element of the document read from `stream`; XML_ERROREOUS when it
    /// does not parse, exceeds kMaxDocumentBytes or `stream` is null. Never throws.
    static XMLItem documentToRoot(std::istream* stream);
    /// \brief The same, parsed straight from `size` bytes at `data`.
    static XMLItem documentToRoot(const char* data, std::size_t size);
    /// \brief A parsed document its owner keeps from one message to the next.
    using DocumentBuffer = std::shared_ptr<pugi::xml_document>;
    /// \brief The same, parsing into `reuse` when no item of its last document is held
    /// any more, which saves building a document per message (the hot path).
    static XMLItem documentToRoot(const char* data, std::size_t size, DocumentBuffer& reuse);

    /// \brief Appends the direct child elements of `slice` to `items` in document order;
    /// false for an invalid slice.
    static bool itemize(const TLDocumentSlice& slice, std::vector<XMLItem>& items);

    /// \brief Writes `object` as one element named getName(), enclosing what its write writes
    /// (see the nested form above); returns the result of that write. An object with an
    /// empty name writes nothing and gives false.
    static bool writeNestedNode(std::ostream* doc, XMLSerializable& object, unsigned int indent);
    /// \brief The same for a pointer; a null object writes nothing and returns false.
    static bool writeNestedNode(std::ostream* doc, XMLSerializable* object, unsigned int indent);

    /// \brief Writes one leaf: `indent` tabs, the tag with its attributes (unquoted), the
    /// value, the closing tag, and a line end when `indent` is not 0. Only an empty string
    /// gives the self-closing form `<name/>`. A bool is written as 1 or 0. True (false only
    /// for a null `doc`).
    template <typename T>
    static bool writeLeafNode(std::ostream* doc, const std::string& nodeName, T leafValue,
                              std::vector<XMLNodeAttribute>* attrs, unsigned int indent);
};

template <typename T>
bool XMLSerializer::writeLeafNode(std::ostream* doc, const std::string& nodeName, T leafValue,
                                  std::vector<XMLNodeAttribute>* attrs, unsigned int indent)
{
    static_assert(std::is_same_v<T, float> || std::is_same_v<T, unsigned int> || std::is_same_v<T, int> ||
                      std::is_same_v<T, bool> || std::is_same_v<T, double> || std::is_same_v<T, std::string>,
                  "writeLeafNode supports float, unsigned int, int, bool, double and std::string");
    if (doc == nullptr) {
        return false;
    }
    // Numbers always format to some text; only a string can be empty.
    bool empty = false;
    if constexpr (std::is_same_v<T, std::string>) {
        empty = leafValue.empty();
    }

    std::ostream& out = *doc;
    out << Indent_Tabs<T>{indent} << '<' << nodeName;
    if (attrs != nullptr) {
        for (const XMLNodeAttribute& attr : *attrs) {
            out << ' ' << attr.attributeName << '=' << attr.attributeValue;
        }
    }
    if (empty) {
        out << '/';
    }
    out << '>';
    if (!empty) {
        if constexpr (std::is_same_v<T, bool>) {
            out << (leafValue ? '1' : '0');
        } else {
            out << leafValue;
        }
        out << "</" << nodeName << '>';
    }
    if (indent != 0) {
        out << '\n' << std::flush;
    }
    return true;
}

#pragma once
// Parsed XML elements as the message readers see them. Every slice and item
// shares ownership of the document it came from, so an item stays readable
// for as long as anyone holds it, whatever happened to the input stream or
// to the root item.

#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

/// \brief What an element holds; only XML_NESTED and XML_ERROREOUS are ever tested.
enum XMLItemType {
    XML_LEAF = 0,            ///< text only
    XML_LEAF_NOCONTENT = 1,  ///< no text, no child elements
    XML_NESTED = 2,          ///< at least one child element
    XML_DOCUMENT = 3,        ///< kept for completeness; never produced for an element
    XML_ERROREOUS = 4,       ///< the document did not parse, was too large, or had no element
};

/// \brief One attribute of an element, as name and raw value.
struct XMLNodeAttribute {
    std::string attributeName;
    std::string attributeValue;
};

/// \brief A window on one element of a parsed document; default-constructed it is invalid.
class TLDocumentSlice {
public:
    /// \brief An invalid slice (no document).
    TLDocumentSlice() = default;
    /// \brief A slice on `node`, keeping `document` alive.
    TLDocumentSlice(std::shared_ptr<const pugi::xml_document> document, pugi::xml_node node);

    /// \brief True when the slice refers to an element of a live document.
    bool isValid() const { return mDocument != nullptr && !mNode.empty(); }
    /// \brief The element itself (empty for an invalid slice); valid while this slice lives.
    pugi::xml_node node() const { return mNode; }
    /// \brief The document the element belongs to (null for an invalid slice).
    const std::shared_ptr<const pugi::xml_document>& document() const { return mDocument; }

private:
    std::shared_ptr<const pugi::xml_document> mDocument;
    pugi::xml_node mNode;
};

/// \brief An element with its name, attributes and kind; usable wherever a slice is expected.
///
/// Numeric getters read like a stream: leading blanks are skipped and trailing
/// characters ignored ("12x" reads 12, "12.7" as int reads 12). A text that is
/// not a number, or not a finite value within the target type's range (nan,
/// inf, 1e40 as float, 3000000000 as int), reads as 0, so no such value can
/// reach the geometry or the wire. The string argument of every getter is
/// unused; callers pass the empty string.
class XMLItem : public TLDocumentSlice {
public:
    /// \brief An invalid item of type XML_ERROREOUS.
    XMLItem();
    /// \brief The item for `node` of `document`, its kind worked out from its children.
    XMLItem(std::shared_ptr<const pugi::xml_document> document, pugi::xml_node node);

    /// \brief The element name (empty for an erroneous item).
    const std::string& getName() const { return mNodeName; }
    /// \brief The element's kind.
    XMLItemType getItemType() const { return mType; }
    /// \brief The element's attributes in document order.
    const std::vector<XMLNodeAttribute>& getAttributes() const { return mAttributes; }

    /// \brief The element's text ("" when it has none).
    std::string getContent(const std::string& unused) const;
    /// \brief The text as int (0 when it is no number in range).
    int getContent_int(const std::string& unused) const;
    /// \brief The text as float (0 when it is no finite number in range).
    float getContent_float(const std::string& unused) const;
    /// \brief The text as double (0 when it is no finite number).
    double getContent_double(const std::string& unused) const;

    /// \brief The text without a copy; valid while this item lives.
    const char* contentText() const;

private:
    std::string mNodeName;
    std::vector<XMLNodeAttribute> mAttributes;
    XMLItemType mType;
};

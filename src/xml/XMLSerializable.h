#pragma once
// The base of every message class: a message reads itself from an element
// and writes its children; the serializer writes the enclosing tags.

#include <ostream>
#include <string>
#include <vector>

#include "xml/XMLItem.h"

/// \brief A message that maps to one XML element.
class XMLSerializable {
public:
    virtual ~XMLSerializable() = default;

    /// \brief Reads the message from `slice`; false when the element is not acceptable.
    virtual bool read(const TLDocumentSlice& slice) = 0;
    /// \brief The element name.
    virtual std::string getName() const = 0;
    /// \brief Writes the element's children (not its own tags) at depth `indent`.
    virtual bool write(std::ostream* doc, unsigned int indent) = 0;
    /// \brief Attributes of the element, borrowed (owned by the object); null for none.
    virtual std::vector<XMLNodeAttribute>* getNodeAttributes() const { return nullptr; }
};

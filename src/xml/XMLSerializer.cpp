#include "xml/XMLSerializer.h"

#include <memory>
#include <new>
#include <string>

namespace {

// Comments, processing instructions and doctypes carry nothing for us; entity
// escapes and CDATA are honoured, and no external entity is ever loaded.
constexpr unsigned int kParseOptions = pugi::parse_default;

XMLItem rootOf(const std::shared_ptr<pugi::xml_document>& document)
{
    const pugi::xml_node root = document->document_element();
    if (!root) {
        return XMLItem();
    }
    return XMLItem(document, root);
}

}  // namespace

XMLItem XMLSerializer::documentToRoot(const char* data, std::size_t size)
{
    DocumentBuffer fresh;
    return documentToRoot(data, size, fresh);
}

XMLItem XMLSerializer::documentToRoot(const char* data, std::size_t size, DocumentBuffer& reuse)
{
    if (data == nullptr || size == 0 || size > kMaxDocumentBytes) {
        return XMLItem();
    }
    try {
        // Items share their document; parsing into one still held would pull the
        // ground from under them, so a held document is left to its holders.
        if (reuse == nullptr || reuse.use_count() != 1) {
            reuse = std::make_shared<pugi::xml_document>();
        }
        const DocumentBuffer document = reuse;
        const pugi::xml_parse_result result = document->load_buffer(data, size, kParseOptions, pugi::encoding_utf8);
        if (!result) {
            return XMLItem();
        }
        return rootOf(document);
    } catch (const std::bad_alloc&) {
        return XMLItem();
    }
}

XMLItem XMLSerializer::documentToRoot(std::istream* stream)
{
    if (stream == nullptr) {
        return XMLItem();
    }
    // Read at most one chunk past the limit so that an oversized document is noticed.
    constexpr std::size_t kChunk = 4096;
    std::string text;
    char chunk[kChunk];
    while (text.size() <= kMaxDocumentBytes && stream->read(chunk, kChunk).gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(stream->gcount()));
    }
    const std::size_t got = text.size();
    return documentToRoot(text.data(), got);
}

bool XMLSerializer::itemize(const TLDocumentSlice& slice, std::vector<XMLItem>& items)
{
    if (!slice.isValid()) {
        return false;
    }
    const pugi::xml_node parent = slice.node();
    std::size_t count = 0;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        count += child.type() == pugi::node_element ? 1 : 0;
    }
    items.reserve(items.size() + count);
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) {
            items.emplace_back(slice.document(), child);
        }
    }
    return true;
}

bool XMLSerializer::writeNestedNode(std::ostream* doc, XMLSerializable& object, unsigned int indent)
{
    if (doc == nullptr) {
        return false;
    }
    const std::string name = object.getName();
    // An element needs a name; "<></>" would put malformed text on the wire.
    if (name.empty()) {
        return false;
    }
    std::ostream& out = *doc;
    out << Indent_Tabs<XMLSerializable>{indent} << '<' << name;
    if (const std::vector<XMLNodeAttribute>* attrs = object.getNodeAttributes()) {
        for (const XMLNodeAttribute& attr : *attrs) {
            out << ' ' << attr.attributeName << '=' << attr.attributeValue;
        }
    }
    out << '>';
    if (indent != 0) {
        out << '\n';
    }
    // Depth 0 stays compact all the way down: a datagram is one line.
    const bool written = object.write(doc, indent == 0 ? 0 : indent + 1);
    out << Indent_Tabs<XMLSerializable>{indent} << "</" << name << '>';
    if (indent != 0) {
        out << '\n' << std::flush;
    }
    return written;
}

bool XMLSerializer::writeNestedNode(std::ostream* doc, XMLSerializable* object, unsigned int indent)
{
    if (object == nullptr) {
        return false;
    }
    return writeNestedNode(doc, *object, indent);
}

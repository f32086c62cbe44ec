#include "xml/XMLItem.h"

#include <utility>

#include "xml/NumberText.h"

namespace {

XMLItemType kindOf(const pugi::xml_node& node)
{
    bool hasText = false;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        const pugi::xml_node_type type = child.type();
        if (type == pugi::node_element) {
            return XML_NESTED;
        }
        if (type == pugi::node_pcdata || type == pugi::node_cdata) {
            hasText = true;
        }
    }
    return hasText ? XML_LEAF : XML_LEAF_NOCONTENT;
}

}  // namespace

TLDocumentSlice::TLDocumentSlice(std::shared_ptr<const pugi::xml_document> document, pugi::xml_node node)
    : mDocument(std::move(document)), mNode(node)
{
}

XMLItem::XMLItem() : mType(XML_ERROREOUS) {}

XMLItem::XMLItem(std::shared_ptr<const pugi::xml_document> document, pugi::xml_node node)
    : TLDocumentSlice(std::move(document), node), mNodeName(node.name()), mType(XML_ERROREOUS)
{
    if (!isValid() || node.type() != pugi::node_element) {
        mNodeName.clear();
        return;
    }
    for (pugi::xml_attribute attr = node.first_attribute(); attr; attr = attr.next_attribute()) {
        mAttributes.push_back(XMLNodeAttribute{attr.name(), attr.value()});
    }
    mType = kindOf(node);
}

const char* XMLItem::contentText() const
{
    // An empty node answers "" here, so invalid items need no special case.
    return node().child_value();
}

std::string XMLItem::getContent(const std::string&) const
{
    return contentText();
}

int XMLItem::getContent_int(const std::string&) const
{
    return parseIntText(contentText());
}

float XMLItem::getContent_float(const std::string&) const
{
    return parseFloatText(contentText());
}

double XMLItem::getContent_double(const std::string&) const
{
    return parseDoubleText(contentText());
}

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "xml/XMLSerializer.h"

namespace {

template <typename T>
std::string leaf(T value, unsigned int indent, std::vector<XMLNodeAttribute>* attrs = nullptr)
{
    std::ostringstream out;
    EXPECT_TRUE(XMLSerializer::writeLeafNode(&out, "n", value, attrs, indent));
    return out.str();
}

TEST(WriteLeafNode, FormatsValuesAndSelfClosesOnlyEmptyStrings)
{
    std::vector<XMLNodeAttribute> attrs{{"a", "b"}};
    EXPECT_EQ(leaf(12.5f, 0), "<n>12.5</n>");
    EXPECT_EQ(leaf(-100.0f / 3.0f, 0), "<n>-33.3333</n>");
    EXPECT_EQ(leaf(4000000000u, 0), "<n>4000000000</n>");
    EXPECT_EQ(leaf(true, 0), "<n>1</n>");
    EXPECT_EQ(leaf(std::string(), 0), "<n/>");
    EXPECT_EQ(leaf(std::string(), 0, &attrs), "<n a=b/>");
    EXPECT_EQ(leaf(0, 0, &attrs), "<n a=b>0</n>");
    EXPECT_EQ(leaf(12.5f, 2), "\t\t<n>12.5</n>\n");
}

class Pair : public XMLSerializable {
public:
    std::string name = "pair";
    bool read(const TLDocumentSlice&) override { return false; }
    std::string getName() const override { return name; }
    bool write(std::ostream* doc, unsigned int indent) override
    {
        XMLSerializer::writeLeafNode(doc, "a", 1, nullptr, indent);
        return XMLSerializer::writeLeafNode(doc, "b", std::string("x"), nullptr, indent);
    }
};

class Outer : public XMLSerializable {
public:
    Pair inner;
    bool read(const TLDocumentSlice&) override { return false; }
    std::string getName() const override { return "outer"; }
    bool write(std::ostream* doc, unsigned int indent) override
    {
        return XMLSerializer::writeNestedNode(doc, inner, indent);
    }
};

TEST(WriteNestedNode, DepthZeroIsOneCompactLineAndParsesBack)
{
    Outer outer;
    std::ostringstream out;
    EXPECT_TRUE(XMLSerializer::writeNestedNode(&out, outer, 0));
    EXPECT_EQ(out.str(), "<outer><pair><a>1</a><b>x</b></pair></outer>");
    const std::string text = out.str();
    EXPECT_EQ(XMLSerializer::documentToRoot(text.data(), text.size()).getItemType(), XML_NESTED);
}

TEST(WriteNestedNode, PositiveDepthIndentsChildren)
{
    Pair pair;
    std::ostringstream out;
    XMLSerializer::writeNestedNode(&out, &pair, 1);
    EXPECT_EQ(out.str(), "\t<pair>\n\t\t<a>1</a>\n\t\t<b>x</b>\n\t</pair>\n");
}

TEST(WriteNestedNode, NamelessOrNullObjectWritesNothing)
{
    Outer outer;
    outer.inner.name.clear();
    std::ostringstream out;
    EXPECT_FALSE(XMLSerializer::writeNestedNode(&out, outer, 0));
    EXPECT_EQ(out.str(), "<outer></outer>");
    EXPECT_FALSE(XMLSerializer::writeNestedNode(&out, static_cast<XMLSerializable*>(nullptr), 0));
}

}  // namespace

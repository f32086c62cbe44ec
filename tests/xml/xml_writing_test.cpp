#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "xml/XMLSerializer.h"

namespace {

template <typename T>
std::string leaf(const std::string& name, T value, unsigned int indent,
                 std::vector<XMLNodeAttribute>* attrs = nullptr)
{
    std::ostringstream out;
    EXPECT_TRUE(XMLSerializer::writeLeafNode(&out, name, value, attrs, indent));
    return out.str();
}

TEST(WriteLeafNode, FormatsEachValueType)
{
    EXPECT_EQ(leaf("right", 12.5f, 0), "<right>12.5</right>");
    EXPECT_EQ(leaf("left", -100.0f / 3.0f, 0), "<left>-33.3333</left>");
    EXPECT_EQ(leaf("d", 2.0 / 3.0, 0), "<d>0.666667</d>");
    EXPECT_EQ(leaf("dist", 4000000000u, 0), "<dist>4000000000</dist>");
    EXPECT_EQ(leaf("angle", -45, 0), "<angle>-45</angle>");
    EXPECT_EQ(leaf("status", true, 0), "<status>1</status>");
    EXPECT_EQ(leaf("status", false, 0), "<status>0</status>");
    EXPECT_EQ(leaf("type", std::string("Client"), 0), "<type>Client</type>");
}

TEST(WriteLeafNode, OnlyAnEmptyStringSelfCloses)
{
    std::vector<XMLNodeAttribute> attrs{{"a", "b"}};
    EXPECT_EQ(leaf("nickname", std::string(), 0), "<nickname/>");
    EXPECT_EQ(leaf("name", std::string(), 0, &attrs), "<name a=b/>");
    EXPECT_EQ(leaf("name", 0, 0, &attrs), "<name a=b>0</name>");
}

TEST(WriteLeafNode, DepthAddsTabsAndLineEnd)
{
    EXPECT_EQ(leaf("right", 12.5f, 2), "\t\t<right>12.5</right>\n");
    EXPECT_EQ(leaf("n", std::string(), 1), "\t<n/>\n");
}

TEST(WriteLeafNode, BoolIgnoresBoolalpha)
{
    std::ostringstream out;
    out << std::boolalpha;
    XMLSerializer::writeLeafNode(&out, "status", true, nullptr, 0);
    EXPECT_EQ(out.str(), "<status>1</status>");
}

class Pair : public XMLSerializable {
public:
    bool result = true;
    bool read(const TLDocumentSlice&) override { return false; }
    std::string getName() const override { return "pair"; }
    bool write(std::ostream* doc, unsigned int indent) override
    {
        XMLSerializer::writeLeafNode(doc, "a", 1, nullptr, indent);
        XMLSerializer::writeLeafNode(doc, "b", std::string("x"), nullptr, indent);
        return result;
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

TEST(WriteNestedNode, DepthZeroIsOneCompactLine)
{
    Outer outer;
    std::ostringstream out;
    EXPECT_TRUE(XMLSerializer::writeNestedNode(&out, outer, 0));
    EXPECT_EQ(out.str(), "<outer><pair><a>1</a><b>x</b></pair></outer>");
}

TEST(WriteNestedNode, PositiveDepthIndentsChildren)
{
    Pair pair;
    std::ostringstream out;
    XMLSerializer::writeNestedNode(&out, &pair, 1);
    EXPECT_EQ(out.str(), "\t<pair>\n\t\t<a>1</a>\n\t\t<b>x</b>\n\t</pair>\n");
}

TEST(WriteNestedNode, ReturnsTheObjectsResultAndRejectsNull)
{
    Pair pair;
    pair.result = false;
    std::ostringstream out;
    EXPECT_FALSE(XMLSerializer::writeNestedNode(&out, pair, 0));
    EXPECT_EQ(out.str(), "<pair><a>1</a><b>x</b></pair>");
    EXPECT_FALSE(XMLSerializer::writeNestedNode(&out, static_cast<XMLSerializable*>(nullptr), 0));
}

TEST(WriteNestedNode, WrittenTextParsesBack)
{
    Outer outer;
    std::ostringstream out;
    XMLSerializer::writeNestedNode(&out, outer, 0);
    const std::string text = out.str();
    const XMLItem root = XMLSerializer::documentToRoot(text.data(), text.size());
    std::vector<XMLItem> level1;
    XMLSerializer::itemize(root, level1);
    ASSERT_EQ(level1.size(), 1u);
    std::vector<XMLItem> level2;
    XMLSerializer::itemize(level1[0], level2);
    ASSERT_EQ(level2.size(), 2u);
    EXPECT_EQ(level2[1].getContent(""), "x");
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "xml/XMLSerializer.h"

namespace {

XMLItem parse(const std::string& text)
{
    return XMLSerializer::documentToRoot(text.data(), text.size());
}

std::vector<XMLItem> childrenOf(const XMLItem& item)
{
    std::vector<XMLItem> children;
    XMLSerializer::itemize(item, children);
    return children;
}

struct KindCase {
    const char* text;
    XMLItemType type;
    const char* name;
};

void PrintTo(const KindCase& c, std::ostream* os)
{
    *os << '"' << c.text << '"';
}

class RootKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(RootKindTest, RootHasExpectedKindAndName)
{
    const KindCase& c = GetParam();
    const XMLItem root = parse(c.text);
    EXPECT_EQ(root.getItemType(), c.type) << c.text;
    EXPECT_EQ(root.getName(), c.name) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Documents, RootKindTest,
    ::testing::Values(KindCase{"<connect>true</connect>", XML_LEAF, "connect"},
                      KindCase{"<connect/>", XML_LEAF_NOCONTENT, "connect"},
                      KindCase{"<connect></connect>", XML_LEAF_NOCONTENT, "connect"},
                      KindCase{"<c><type>x</type></c>", XML_NESTED, "c"},
                      KindCase{"<c>text<b/></c>", XML_NESTED, "c"},
                      KindCase{"<?xml version=\"1.0\"?><c>1</c>", XML_LEAF, "c"},
                      KindCase{"", XML_ERROREOUS, ""},
                      KindCase{"just text", XML_ERROREOUS, ""},
                      KindCase{"<a><b></a>", XML_ERROREOUS, ""},
                      KindCase{"<a>", XML_ERROREOUS, ""},
                      KindCase{"<a>&bogus;</a>", XML_LEAF, "a"}));

TEST(DocumentToRoot, StreamAndBufferFormsAgree)
{
    const std::string text = "<worldData><time>1</time><ball><dist>5</dist></ball></worldData>";
    std::istringstream in(text);
    const XMLItem fromStream = XMLSerializer::documentToRoot(&in);
    const XMLItem fromBuffer = parse(text);
    EXPECT_EQ(fromStream.getItemType(), XML_NESTED);
    EXPECT_EQ(fromStream.getName(), fromBuffer.getName());
    EXPECT_EQ(childrenOf(fromStream).size(), 2u);
}

TEST(DocumentToRoot, NullStreamIsErroneous)
{
    EXPECT_EQ(XMLSerializer::documentToRoot(nullptr).getItemType(), XML_ERROREOUS);
    EXPECT_EQ(XMLSerializer::documentToRoot(static_cast<const char*>(nullptr), 10).getItemType(), XML_ERROREOUS);
}

TEST(DocumentToRoot, RejectsDocumentsOverTheLimit)
{
    const std::string open = "<a>";
    const std::string close = "</a>";
    const std::size_t fill = XMLSerializer::kMaxDocumentBytes - open.size() - close.size();
    const std::string atLimit = open + std::string(fill, 'x') + close;
    const std::string overLimit = open + std::string(fill + 1, 'x') + close;

    EXPECT_EQ(parse(atLimit).getItemType(), XML_LEAF);
    EXPECT_EQ(parse(overLimit).getItemType(), XML_ERROREOUS);
    std::istringstream in(overLimit);
    EXPECT_EQ(XMLSerializer::documentToRoot(&in).getItemType(), XML_ERROREOUS);
}

TEST(Itemize, ListsDirectChildElementsInOrderAndAppends)
{
    const XMLItem root = parse("<r>t<a>1</a><!-- c --><b><x/></b><c/></r>");
    std::vector<XMLItem> items(1);
    EXPECT_TRUE(XMLSerializer::itemize(root, items));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[1].getName(), "a");
    EXPECT_EQ(items[2].getName(), "b");
    EXPECT_EQ(items[2].getItemType(), XML_NESTED);
    EXPECT_EQ(items[3].getItemType(), XML_LEAF_NOCONTENT);
}

TEST(Itemize, InvalidSliceGivesNothing)
{
    std::vector<XMLItem> items;
    EXPECT_FALSE(XMLSerializer::itemize(XMLItem(), items));
    EXPECT_FALSE(XMLSerializer::itemize(parse("<a"), items));
    EXPECT_TRUE(items.empty());
}

TEST(XMLItem, AttributesAndEscapedText)
{
    const XMLItem root = parse("<a k=\"v\" n='2'>x &amp; y</a>");
    ASSERT_EQ(root.getAttributes().size(), 2u);
    EXPECT_EQ(root.getAttributes()[0].attributeName, "k");
    EXPECT_EQ(root.getAttributes()[1].attributeValue, "2");
    EXPECT_EQ(root.getContent(""), "x & y");
}

struct NumberCase {
    const char* text;
    int asInt;
    float asFloat;
    double asDouble;
};

void PrintTo(const NumberCase& c, std::ostream* os)
{
    *os << '"' << c.text << '"';
}

class ContentNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ContentNumberTest, ReadsLikeAStreamAndRejectsNonFinite)
{
    const NumberCase& c = GetParam();
    const XMLItem item = parse(std::string("<n>") + c.text + "</n>");
    EXPECT_EQ(item.getContent_int(""), c.asInt) << c.text;
    EXPECT_FLOAT_EQ(item.getContent_float(""), c.asFloat) << c.text;
    EXPECT_DOUBLE_EQ(item.getContent_double(""), c.asDouble) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ContentNumberTest,
    ::testing::Values(NumberCase{"12", 12, 12.0f, 12.0}, NumberCase{"  -7", -7, -7.0f, -7.0},
                      NumberCase{"+3", 3, 3.0f, 3.0}, NumberCase{"12x", 12, 12.0f, 12.0},
                      NumberCase{"12.7", 12, 12.7f, 12.7}, NumberCase{"abc", 0, 0.0f, 0.0},
                      NumberCase{"+-3", 0, 0.0f, 0.0}, NumberCase{"nan", 0, 0.0f, 0.0},
                      NumberCase{"-inf", 0, 0.0f, 0.0}, NumberCase{"1e40", 1, 0.0f, 1e40},
                      NumberCase{"1e400", 1, 0.0f, 0.0}, NumberCase{"3000000000", 0, 3e9f, 3e9},
                      NumberCase{"2147483647", 2147483647, 2147483647.0f, 2147483647.0}));

TEST(XMLItem, MissingTextReadsAsEmptyAndZero)
{
    const XMLItem item = parse("<n/>");
    EXPECT_EQ(item.getContent(""), "");
    EXPECT_EQ(item.getContent_int(""), 0);
    const XMLItem broken;
    EXPECT_EQ(broken.getContent(""), "");
    EXPECT_EQ(broken.getContent_double(""), 0.0);
}

TEST(XMLItem, CopiedItemOutlivesStreamAndRoot)
{
    std::vector<XMLItem> kept;
    {
        auto stream = std::make_unique<std::istringstream>("<r><ball><dist>850</dist></ball></r>");
        auto root = std::make_unique<XMLItem>(XMLSerializer::documentToRoot(stream.get()));
        std::vector<XMLItem> children;
        XMLSerializer::itemize(*root, children);
        ASSERT_EQ(children.size(), 1u);
        kept.push_back(children[0]);
        stream.reset();
        root.reset();
    }
    const XMLItem copy = kept[0];
    kept.clear();
    std::vector<XMLItem> grandChildren;
    ASSERT_TRUE(XMLSerializer::itemize(copy, grandChildren));
    ASSERT_EQ(grandChildren.size(), 1u);
    EXPECT_EQ(grandChildren[0].getContent_int(""), 850);
}

// Walks every element of a document, touching everything a reader may touch.
void walk(const XMLItem& item, int depth)
{
    (void)item.getContent("");
    (void)item.getContent_int("");
    (void)item.getContent_float("");
    (void)item.getContent_double("");
    if (depth > 64) {
        return;
    }
    std::vector<XMLItem> children;
    XMLSerializer::itemize(item, children);
    for (const XMLItem& child : children) {
        walk(child, depth + 1);
    }
}

TEST(DocumentToRoot, SurvivesRandomAndMutatedDocuments)
{
    const std::string seed =
        "<worldData><time>1.5</time><ball><dist>850</dist><angle>-12.5</angle></ball>"
        "<flag><id>top_left_pole</id><dist>2300.5</dist><angle>130</angle></flag>"
        "<score><yellow>0</yellow><blue>1</blue></score><x a=\"1\"><![CDATA[z]]></x></worldData>";
    const std::string alphabet = "<>/=\"'&;![]?-ab \n\t0123456789.e";
    std::mt19937 rng(20240611u);
    for (int round = 0; round < 3000; ++round) {
        std::string text = seed;
        const int mutations = 1 + static_cast<int>(rng() % 8);
        for (int m = 0; m < mutations; ++m) {
            const std::size_t pos = rng() % (text.size() + 1);
            switch (rng() % 4) {
            case 0:
                text.insert(pos, 1, alphabet[rng() % alphabet.size()]);
                break;
            case 1:
                if (pos < text.size()) {
                    text.erase(pos, 1 + rng() % 6);
                }
                break;
            case 2:
                if (pos < text.size()) {
                    text[pos] = static_cast<char>(rng() % 256);
                }
                break;
            default:
                text.insert(pos, text.substr(rng() % text.size(), rng() % 30));
                break;
            }
        }
        if (round % 5 == 0) {
            text.assign(rng() % 200, '\0');
            for (char& c : text) {
                c = static_cast<char>(rng() % 256);
            }
        }
        const XMLItem root = parse(text);
        walk(root, 0);
    }
    SUCCEED();
}

}  // namespace

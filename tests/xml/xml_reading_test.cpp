#include <gtest/gtest.h>

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
    const XMLItem root = parse(GetParam().text);
    EXPECT_EQ(root.getItemType(), GetParam().type);
    EXPECT_EQ(root.getName(), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, RootKindTest,
    ::testing::Values(KindCase{"<connect>true</connect>", XML_LEAF, "connect"},
                      KindCase{"<connect></connect>", XML_LEAF_NOCONTENT, "connect"},
                      KindCase{"<c>text<b/></c>", XML_NESTED, "c"}, KindCase{"", XML_ERROREOUS, ""},
                      KindCase{"just text", XML_ERROREOUS, ""}, KindCase{"<a><b></a>", XML_ERROREOUS, ""}));

TEST(DocumentToRoot, RejectsDocumentsOverTheLimitInBothForms)
{
    const std::size_t fill = XMLSerializer::kMaxDocumentBytes - 7;
    const std::string atLimit = "<a>" + std::string(fill, 'x') + "</a>";
    const std::string overLimit = "<a>" + std::string(fill + 1, 'x') + "</a>";
    EXPECT_EQ(parse(atLimit).getItemType(), XML_LEAF);
    EXPECT_EQ(parse(overLimit).getItemType(), XML_ERROREOUS);
    std::istringstream in(overLimit);
    EXPECT_EQ(XMLSerializer::documentToRoot(&in).getItemType(), XML_ERROREOUS);
    EXPECT_EQ(XMLSerializer::documentToRoot(nullptr).getItemType(), XML_ERROREOUS);
}

TEST(Itemize, AppendsDirectChildElementsInOrder)
{
    std::istringstream in("<r>t<a>1</a><!-- c --><b><x/></b><c/></r>");
    std::vector<XMLItem> items(1);
    EXPECT_TRUE(XMLSerializer::itemize(XMLSerializer::documentToRoot(&in), items));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[1].getName(), "a");
    EXPECT_EQ(items[2].getItemType(), XML_NESTED);
    EXPECT_EQ(items[3].getItemType(), XML_LEAF_NOCONTENT);
    EXPECT_FALSE(XMLSerializer::itemize(XMLItem(), items));
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

TEST_P(ContentNumberTest, ReadsLikeAStreamButNeverNonFiniteOrOutOfRange)
{
    const NumberCase& c = GetParam();
    const XMLItem item = parse(std::string("<n>") + c.text + "</n>");
    EXPECT_EQ(item.getContent_int(""), c.asInt);
    EXPECT_FLOAT_EQ(item.getContent_float(""), c.asFloat);
    EXPECT_DOUBLE_EQ(item.getContent_double(""), c.asDouble);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ContentNumberTest,
    ::testing::Values(NumberCase{"  -7", -7, -7.0f, -7.0}, NumberCase{"+3", 3, 3.0f, 3.0},
                      NumberCase{"12x", 12, 12.0f, 12.0}, NumberCase{"12.7", 12, 12.7f, 12.7},
                      NumberCase{"abc", 0, 0.0f, 0.0}, NumberCase{"+-3", 0, 0.0f, 0.0},
                      NumberCase{"nan", 0, 0.0f, 0.0}, NumberCase{"-inf", 0, 0.0f, 0.0},
                      NumberCase{"1e40", 1, 0.0f, 1e40}, NumberCase{"1e400", 1, 0.0f, 0.0},
                      NumberCase{"3000000000", 0, 3e9f, 3e9}, NumberCase{"", 0, 0.0f, 0.0}));

TEST(XMLItem, CopiedItemOutlivesStreamAndRoot)
{
    XMLItem kept;
    {
        auto stream = std::make_unique<std::istringstream>("<r><ball><dist>850</dist></ball></r>");
        auto root = std::make_unique<XMLItem>(XMLSerializer::documentToRoot(stream.get()));
        std::vector<XMLItem> children;
        XMLSerializer::itemize(*root, children);
        ASSERT_EQ(children.size(), 1u);
        kept = children[0];
    }
    std::vector<XMLItem> grandChildren;
    ASSERT_TRUE(XMLSerializer::itemize(kept, grandChildren));
    ASSERT_EQ(grandChildren.size(), 1u);
    EXPECT_EQ(grandChildren[0].getContent(""), "850");
}

void walk(const XMLItem& item)
{
    (void)item.getContent("");
    (void)item.getContent_double("");
    std::vector<XMLItem> children;
    XMLSerializer::itemize(item, children);
    for (const XMLItem& child : children) {
        walk(child);
    }
}

TEST(DocumentToRoot, SurvivesRandomAndMutatedDocuments)
{
    const std::string seed = "<w><time>1.5</time><ball><dist>850</dist></ball><x a=\"1\"><![CDATA[z]]>&amp;</x></w>";
    std::mt19937 rng(20240611u);
    for (int round = 0; round < 3000; ++round) {
        std::string text = seed;
        const unsigned int mutations = 1 + rng() % 8;
        for (unsigned int m = 0; m < mutations; ++m) {
            const std::size_t pos = rng() % text.size();
            if (rng() % 2 == 0) {
                text.insert(pos, text.substr(rng() % text.size(), rng() % 20));
            } else {
                text[pos] = static_cast<char>(rng() % 256);
            }
        }
        walk(parse(text));
    }
}

}  // namespace

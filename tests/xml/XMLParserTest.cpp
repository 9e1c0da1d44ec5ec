#include "xml/XMLParser.h"

#include "TreeDump.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace quorral {
namespace {

using namespace std::string_view_literals;
using test::Dump;

std::string Parsed(std::string_view text)
{
    const CXMLParser parser(text);
    EXPECT_NE(parser.Root(), nullptr);
    return parser.Root() == nullptr ? "<no root>" : Dump(*parser.Root());
}

struct ParseCase
{
    const char* what;
    std::string_view text;
    std::string_view tree;
};

std::ostream& operator<<(std::ostream& out, const ParseCase& c)
{
    return out << c.what;
}

class ParseTable : public ::testing::TestWithParam<ParseCase>
{};

TEST_P(ParseTable, GivesExactTree)
{
    EXPECT_EQ(Parsed(GetParam().text), GetParam().tree) << "text: " << test::Quoted(GetParam().text);
}

// clang-format off
const ParseCase Documents[] = {
    // Replies as the tills send them.
    {"ok reply", "<RESPONSE>OK</RESPONSE>", "RESPONSE\"OK\""},
    {"file reply", "<File size=\"120\" compression='gz'/>", "FILE[SIZE=\"120\",COMPRESSION=\"gz\"]"},
    {"folder listing", "<DIR><FOLDER><NAME>sub</NAME></FOLDER><FILE><NAME>a.txt</NAME></FILE></DIR>",
     "DIR(FOLDER(NAME\"sub\"),FILE(NAME\"a.txt\"))"},
    {"failure reply", "<FAILEDERROR>No such file</FAILEDERROR>", "FAILEDERROR\"No such file\""},

    // What stands around the root element.
    {"xml declaration", "<?xml version=\"1.0\"?><A>x</A>", "A\"x\""},
    {"text before root", "OK<A/>", "A"},
    {"empty text", "", ""},
    {"plain words", "just words", ""},
    {"only declarations", "<!DOCTYPE x><!-- c -->", ""},
    {"after root ignored", "<A/><B/>", "A"},
    {"lt inside declaration starts root", "<!DOCTYPE R [<!ENTITY e \"<b>\">]><R/>", "B\"\\\">]>\"(R)"},

    // Character data.
    {"white space in run", "<A>\r\n  one two\t\r\n</A>", "A\"one two   \""},
    {"last run wins", "<A>first<B/>second</A>", "A\"second\"(B)"},
    {"comment in run", "<A>1<!--c-->2</A>", "A\"1        2\""},
    {"comment between children", "<A><!-- note --><B/></A>", "A(B)"},
    {"pi inside comment pairs with next", "<A>1<!--<?-->2?>3-->4</A>", "A\"1                4\""},
    {"unclosed comment stays", "<A>1<!--2</A>", "A\"1\"()"},
    {"cdata starts a nameless child", "<A><![CDATA[x]]></A>", "A()"},

    // Start tags and attributes.
    {"names upper-cased, values not", "<a b='c'/>", "A[B=\"c\"]"},
    {"same attribute twice", "<A x=\"1\" X=\"2\"/>", "A[X=\"2\"]"},
    {"value kept as written", "<A b=\" x\r\n Y \"/>", "A[B=\" x\\r\\n Y \"]"},
    {"other quote inside value", "<A b=\"it's\" c='say \"hi\"'/>", "A[B=\"it's\",C=\"say \\\"hi\\\"\"]"},
    {"references in value", "<A v=\"&lt;&#x41;&quot;\"/>", "A[V=\"<A\\\"\"]"},
    {"no equals sign", "<A b \"1\"/>", "A[B=\"1\"]"},
    {"tab ends name", "<A\tb='1'>t</A>", "A[B=\"1\"]\"t\""},
    {"unclosed value dropped", "<A c=\"2\" b=\"1", "A[C=\"2\"]"},
    {"slash then junk up to gt", "<A b='1' / junk><C/></A>", "A[B=\"1\"]"},
    {"slash inside start tag", "<A/x>text</A>", "A"},
    {"reference swallows quote", "<A b=\"&x\" c=\"1\"/>", "A[B=\"c=\"]"},
    {"reference in name", "<a&amp;b/>", "A&B"},
    {"entity text in name kept as is", "<!ENTITY n \"xy\"><r&n;/>", "Rxy"},

    // End tags.
    {"end tag ends innermost", "<A><B></A>", "A(B)"},
    {"end tag name differs", "<A><B>x</C>y</A>", "A\"y\"(B\"x\")"},
    {"space after end tag name", "<R><A>x</A >y</R>", "R\">y\"(A\"x\")"},
    {"empty end tag", "<A>x</>", "A\"x\""},

    // Text that ends early.
    {"ends in content", "<A><B>text", "A(B\"text\")"},
    {"ends after child", "<A>x<B/>", "A\"x\"(B)"},
    {"white space after child at end", "<A>x<B/> ", "A(B)"},
    {"ends in start tag", "<A><B c", "A(B)"},

    // Predefined and character references.
    {"predefined and numeric", "<A>x &amp; y &lt;&#65;&#x42;&apos;</A>", "A\"x & y <AB'\""},
    {"predefined any case", "<A>&AMP;&Lt;&gT;&QuOt;</A>", "A\"&<>\\\"\""},
    {"bare ampersand", "<A>a & b</A>", "A\"a b\""},
    {"ampersand space semicolon", "<A>x& ;y</A>", "A\"xy\""},
    {"reference swallows end tag", "<A>T&c</A>", "A\"T/A>\""},
    {"undeclared dropped", "<A>a&nope;b</A>", "A\"ab\""},
    {"character numbers", "<A>&#0;&#256;&#321;&#-191;&#x141;&#xZZ;&#65abc;&#X61;&#x;&#;</A>", "A\"AAAAa\""},
    {"decimal past int32", "<A>&#99999999999;</A>", "A\"\\xFF\""},
    {"run of only unknown references", "<A>x<B/>&nope;</A>", "A(B)"},

    // Declared entities.
    {"internal entity", "<!DOCTYPE R [<!ENTITY who \"till\">]><R>&who;</R>", "R\"till\""},
    {"system entity", "<!DOCTYPE R [<!ENTITY ext SYSTEM \"x.xml\">]><R>a&ext;b</R>", "R\"ab\""},
    {"declared after use, not rescanned", "<R>&e;</R><!ENTITY e \"&amp;x\">", "R\"&amp;x\""},
    {"first of a name wins", "<!ENTITY e \"one\"><!ENTITY E \"two\"><R>&E;</R>", "R\"one\""},
    {"single quotes are no delimiters", "<R>&e;</R><!ENTITY e 'v'>", "R\"'v'>\""},
    {"public keyword joins value", "<R>&e;</R><!ENTITY e PUBLIC \"x\">", "R\"PUBLIC \""},
    {"gt in value ends declaration", "<R>&e;</R><!ENTITY e \"a>b\">", "R\"a>\""},
    {"predefined before declared", "<!ENTITY amp \"X\"><R>&amp;</R>", "R\"&\""},
    {"numeric name before declared", "<!ENTITY #0 \"zero\"><R>&#0;&#65;</R>", "R\"zeroA\""},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Documents, ParseTable, ::testing::ValuesIn(Documents), [](const auto& info) {
    std::string name;
    for (const char c : std::string_view(info.param.what)) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
});

TEST(XMLParserLimits, ElementNameKeepsFortyBytesAndItsEndTagMatches)
{
    const std::string name = "abcdefghijabcdefghijabcdefghijabcdefghijk"; // 41
    EXPECT_EQ(Parsed("<" + name + "><b/></" + name + ">tail"), "ABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJ(B)");
}

TEST(XMLParserLimits, AttributeNameAndValueAreCut)
{
    const std::string name(31, 'n');
    const std::string value(101, 'v');
    EXPECT_EQ(Parsed("<A " + name + "='" + value + "' z='1'/>"),
              "A[" + std::string(30, 'N') + "=\"" + std::string(100, 'v') + "\",Z=\"1\"]");
}

TEST(XMLParserLimits, TextRunKeepsOneHundredThousandBytes)
{
    const CXMLParser parser("<A>" + std::string(100001, 't') + "</A>");
    EXPECT_EQ(parser.Root()->Text, std::string(100000, 't'));
}

TEST(XMLParserLimits, ReplacementIsCutToTheRoomLeft)
{
    const std::string declaration = "<!ENTITY e \"abc\">";
    EXPECT_EQ(Parsed(declaration + "<A v='" + std::string(99, 'x') + "&e;'/>"),
              "A[V=\"" + std::string(99, 'x') + "a\"]");

    const CXMLParser parser(declaration + "<A>" + std::string(99999, 'x') + "&e;&amp;</A>");
    EXPECT_EQ(parser.Root()->Text, std::string(99999, 'x') + "a");
}

TEST(XMLParserLimits, ReferenceNameEndsAfterOneHundredBytes)
{
    EXPECT_EQ(Parsed("<A>&" + std::string(101, 'a') + ";</A>"), "A\"a;\"");
}

TEST(XMLParserLimits, EntityNameKeepsThirtyOneBytes)
{
    const std::string name(32, 'e');
    const std::string declaration = "<!ENTITY " + name + " \"v\">";
    EXPECT_EQ(Parsed(declaration + "<R>&" + name.substr(0, 31) + ";</R>"), "R\"v\"");
    EXPECT_EQ(Parsed(declaration + "<R>&" + name + ";</R>"), "R");
}

TEST(XMLParserLimits, EntityValueKeeps499Bytes)
{
    const CXMLParser parser("<!ENTITY e \"" + std::string(500, 'v') + "\"><R>&e;</R>");
    EXPECT_EQ(parser.Root()->Text, std::string(499, 'v'));
}

TEST(XMLParserLimits, DeclarationIsReadUpTo999Bytes)
{
    // "<!ENTITY e" is 10 bytes: with 987 spaces, the 999th byte is the first of the value.
    EXPECT_EQ(Parsed("<!ENTITY e" + std::string(987, ' ') + "\"abc\"><R>&e;</R>"), "R\"a\"");
}

TEST(XMLParserRobustness, DocumentEndsAtNulByte)
{
    EXPECT_EQ(Parsed("<A>x\0y</A>"sv), "A\"x\"");
}

TEST(XMLParserRobustness, DeepNestingNeitherOverflowsTheStackNorLosesElements)
{
    constexpr int Depth = 200000;
    std::string text;
    for (int i = 0; i < Depth; ++i) {
        text += "<a>";
    }
    const CXMLParser parser(text + "x");
    int depth = 0;
    const CXMLNode* node = parser.Root();
    for (; !node->Children.empty(); node = node->Children.front()) {
        ASSERT_EQ(node->Children.size(), 1u);
        ASSERT_EQ(node->Children.front()->Parent, node);
        ++depth;
    }
    EXPECT_EQ(depth, Depth - 1);
    EXPECT_EQ(node->Text, "x");
}

TEST(XMLParserRobustness, ManyAttributesKeepFirstOrderAndLastValue)
{
    constexpr int Count = 5000;
    std::string text = "<A";
    for (int i = 0; i < Count; ++i) {
        text += " a" + std::to_string(i) + "='" + std::to_string(i) + "'";
    }
    text += " A0='last' a4999='end' a20='twenty'/>";
    const CXMLParser parser(text);
    const auto& attributes = parser.Root()->Attributes;
    ASSERT_EQ(attributes.size(), static_cast<std::size_t>(Count));
    for (int i = 0; i < Count; ++i) {
        ASSERT_EQ(attributes[i].Name, "A" + std::to_string(i));
    }
    EXPECT_EQ(attributes[0].Value, "last");
    EXPECT_EQ(attributes[20].Value, "twenty");
    EXPECT_EQ(attributes[1].Value, "1");
    EXPECT_EQ(attributes[Count - 1].Value, "end");
}

TEST(XMLParserRobustness, ManyEntitiesResolveToTheirOwnValues)
{
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text += "<!ENTITY e" + std::to_string(i) + " \"" + std::to_string(i % 10) + "\">";
    }
    text += "<R>&e7;&E1999;&e10;</R>";
    EXPECT_EQ(Parsed(text), "R\"790\"");
}

class XMLParserFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FFolder = std::filesystem::temp_directory_path() /
                  ("quorral-xml-" + std::to_string(std::random_device{}()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(FFolder);
    }
    void TearDown() override { std::filesystem::remove_all(FFolder); }

    std::filesystem::path Write(const std::string& name, std::string_view bytes)
    {
        const auto path = FFolder / name;
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    std::filesystem::path FFolder;
};

TEST_F(XMLParserFile, TextWinsOverFileName)
{
    const auto path = Write("doc.xml", "<FROMFILE/>");
    const CXMLParser parser(path, nullptr, nullptr, "<FromText/>");
    EXPECT_EQ(Dump(*parser.Root()), "FROMTEXT");
}

TEST_F(XMLParserFile, FileIsReadAsTextWhenNoTextIsGiven)
{
    const auto path = Write("doc.xml", "<A v=\"1\r\n2\r3\">x</A>\0<B/>"sv);
    const CXMLParser parser(path, nullptr, nullptr, nullptr);
    ASSERT_NE(parser.Root(), nullptr);
    EXPECT_EQ(Dump(*parser.Root()), "A[V=\"1\\n2\\r3\"]\"x\"");
}

TEST_F(XMLParserFile, MissingOrUnreadableFileLeavesNoRoot)
{
    EXPECT_EQ(CXMLParser(FFolder / "missing.xml", nullptr, nullptr, nullptr).Root(), nullptr);
    EXPECT_EQ(CXMLParser(FFolder, nullptr, nullptr, nullptr).Root(), nullptr);
}

TEST(XMLParserAttach, AttachedRootBelongsToTheOtherTree)
{
    CXMLParser host("<HOST><FIRST/></HOST>");
    CXMLNode* hostRoot = host.Root();
    {
        CXMLParser guest("", nullptr, hostRoot, "<Guest a='1'>x<C/></Guest>");
        ASSERT_EQ(guest.Root(), hostRoot->Children.back());
        EXPECT_EQ(guest.Root()->Parent, hostRoot);
    }
    EXPECT_EQ(Dump(*host.Root()), "HOST(FIRST,GUEST[A=\"1\"]\"x\"(C))");
    const CXMLNode* first = FindChild(host.Root(), "first");
    EXPECT_EQ(NextSibling(*first, false), FindChild(host.Root(), "guest"));
}

TEST(XMLParserOuter, ReferencesResolveInTheOuterParsersDeclarations)
{
    const CXMLParser outer("<!ENTITY who \"outer\"><O/>");
    const CXMLParser inner("", &outer, nullptr,
                           "<!ENTITY who \"inner\"><!ENTITY own \"mine\"><I>&who;&own;</I>");
    EXPECT_EQ(Dump(*inner.Root()), "I\"outer\"");
}

} // namespace
} // namespace quorral

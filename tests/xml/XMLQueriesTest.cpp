#include "xml/XMLParser.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace quorral {
namespace {

TEST(FindChild, MatchesWholeNamesWithoutRegardToCase)
{
    const CXMLParser parser("<DIR><FILE/><FOLDER a='1'/><FOLDER a='2'/></DIR>");
    const CXMLNode* root = parser.Root();

    EXPECT_EQ(FindChild(nullptr, "FOLDER"), nullptr);
    const CXMLNode* folder = FindChild(root, "folder");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder, root->Children[1]) << "the first match in document order";
    EXPECT_EQ(FindChild(root, "FOLD"), nullptr);
    EXPECT_EQ(FindChild(root, "FOLDERS"), nullptr);
    EXPECT_EQ(FindChild(root, "DIR"), nullptr) << "children only, not the node itself";
}

TEST(NextSibling, StepsToTheNextChildOrTheNextOfTheSameName)
{
    const CXMLParser parser("<R><FOLDER/><FILE/><folder/></R>");
    const CXMLNode* root = parser.Root();
    const CXMLNode& first = *root->Children[0];
    const CXMLNode& last = *root->Children[2];

    EXPECT_EQ(NextSibling(first, false), root->Children[1]);
    EXPECT_EQ(NextSibling(first, true), &last);
    EXPECT_EQ(NextSibling(last, false), nullptr);
    EXPECT_EQ(NextSibling(last, true), nullptr);
    EXPECT_EQ(NextSibling(*root, false), nullptr);
    EXPECT_EQ(NextSibling(*root, true), nullptr);
}

// The walk the remote panel does over a folder listing: every FOLDER, then every FILE, each by its
// NAME child, in whatever order the till mixed them.
TEST(NextSibling, WalksAListingOfMixedEntries)
{
    const CXMLParser parser("<DIR><FILE><NAME>a.txt</NAME></FILE><FOLDER><NAME>..</NAME></FOLDER>"
                            "<OTHER/><FOLDER><NAME>sub</NAME></FOLDER><FILE><NAME>b.txt</NAME></FILE></DIR>");
    std::vector<std::string> names;
    for (const char* kind : {"FOLDER", "FILE"}) {
        for (const CXMLNode* entry = FindChild(parser.Root(), kind); entry != nullptr;
             entry = NextSibling(*entry, true)) {
            const CXMLNode* name = FindChild(entry, "NAME");
            names.push_back(name != nullptr ? name->Text : "");
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"..", "sub", "a.txt", "b.txt"}));
}

TEST(NextSibling, FindsNodesPlacedIntoChildrenByHand)
{
    CXMLNode root;
    CXMLNode a1(&root), b(&root), a2(&root);
    a1.Name = "A";
    a2.Name = "a"; // names made by hand need not be upper-cased
    b.Name = "B";
    root.Children = {&a1, &b, &a2};
    EXPECT_EQ(NextSibling(b, false), &a2);
    EXPECT_EQ(NextSibling(a2, false), nullptr);
    EXPECT_EQ(NextSibling(a1, true), &a2);

    CXMLNode stray(&root);
    EXPECT_EQ(NextSibling(stray, false), nullptr) << "not among its parent's children";
}

TEST(CXMLNodeStore, LinksNewNodesUnderTheirParentInOrder)
{
    CXMLNodeStore store;
    CXMLNode& root = store.NewNode(nullptr);
    std::vector<const CXMLNode*> made;
    for (int i = 0; i < 100; ++i) { // past the first few blocks
        made.push_back(&store.NewNode(&root));
    }
    EXPECT_EQ(root.Parent, nullptr);
    ASSERT_EQ(root.Children.size(), made.size());
    for (std::size_t i = 0; i < made.size(); ++i) {
        EXPECT_EQ(root.Children[i], made[i]);
        EXPECT_EQ(made[i]->Parent, &root);
        EXPECT_EQ(NextSibling(*made[i], false), i + 1 < made.size() ? made[i + 1] : nullptr);
    }
}

TEST(SetAttribute, ReplacesOnlyAnExactlyEqualName)
{
    CXMLNode node;
    node.SetAttribute("a", "1");
    node.SetAttribute("A", "2");
    EXPECT_EQ(node.SetAttribute("a", "3"), "3");
    ASSERT_EQ(node.Attributes.size(), 2u);
    EXPECT_EQ(node.Attributes[0].Name, "a");
    EXPECT_EQ(node.Attributes[0].Value, "3");
    EXPECT_EQ(node.Attributes[1].Value, "2");
}

TEST(GetAttribute, FindsTheValueWithoutRegardToCaseOrGivesTheDefault)
{
    const CXMLParser parser("<FILE size=\"120\" Size='121' compression='gz'/>");
    const CXMLNode* root = parser.Root();

    const char* size = CXMLParser::GetAttribute(root, "size", "none");
    EXPECT_STREQ(size, "121");
    EXPECT_EQ(size, root->Attributes[0].Value.c_str()) << "points into the tree";
    EXPECT_STREQ(parser.GetAttribute(root, "COMPRESSION", "none"), "gz");
    EXPECT_STREQ(CXMLParser::GetAttribute(root, "siz", "none"), "none");
    EXPECT_STREQ(CXMLParser::GetAttribute(nullptr, "size", "none"), "none");
    EXPECT_EQ(CXMLParser::GetAttribute(root, "missing", nullptr), nullptr);
}

struct IntCase
{
    const char* value;
    std::int32_t expected;
};

class GetAttributeIntTable : public ::testing::TestWithParam<IntCase>
{};

TEST_P(GetAttributeIntTable, ReadsTheValueLikeStrtol)
{
    const CXMLParser parser(std::string("<F size='") + GetParam().value + "'/>");
    EXPECT_EQ(CXMLParser::GetAttributeInt(parser.Root(), "size", -1), GetParam().expected)
        << "value: \"" << GetParam().value << "\"";
}

INSTANTIATE_TEST_SUITE_P(Values, GetAttributeIntTable,
                         ::testing::Values(IntCase{"120", 120}, IntCase{" -7", -7}, IntCase{"12ab", 12},
                                           IntCase{"", 0}, IntCase{"abc", 0}, IntCase{"+5", 5},
                                           IntCase{"\t\n 3", 3}, IntCase{"0x10", 0}, IntCase{"007", 7},
                                           IntCase{"- 4", 0}, IntCase{"2147483647", INT32_MAX},
                                           IntCase{"99999999999", INT32_MAX},
                                           IntCase{"-2147483648", INT32_MIN},
                                           IntCase{"-99999999999999999999", INT32_MIN}));

TEST(GetAttributeInt, GivesTheDefaultOnlyForAMissingAttributeOrNode)
{
    const CXMLParser parser("<F size='abc'/>");
    EXPECT_EQ(CXMLParser::GetAttributeInt(parser.Root(), "count", 42), 42);
    EXPECT_EQ(CXMLParser::GetAttributeInt(nullptr, "size", 42), 42);
    EXPECT_EQ(CXMLParser::GetAttributeInt(parser.Root(), "size", 42), 0);
}

TEST(CXMLEntity, ReadsADeclaration)
{
    const CXMLEntity who("<!ENTITY who \"till\">");
    EXPECT_EQ(who.Name, "who");
    EXPECT_EQ(who.Kind, CXMLEntity::TextEntity);
    EXPECT_EQ(who.Value, "till");
    EXPECT_EQ(who.Expand(100), "till");
    EXPECT_EQ(who.Expand(2), "ti");

    const CXMLEntity ext("<!ENTITY ext SYSTEM \"x.xml\">");
    EXPECT_EQ(ext.Kind, CXMLEntity::SystemEntity);
    EXPECT_EQ(ext.Value, "x.xml");
    EXPECT_EQ(ext.Expand(100), "");
}

struct DeclarationCase
{
    const char* declaration;
    const char* name;
    int kind;
    const char* value;
};

class DeclarationTable : public ::testing::TestWithParam<DeclarationCase>
{};

TEST_P(DeclarationTable, GivesNameKindAndValue)
{
    const CXMLEntity entity(GetParam().declaration);
    EXPECT_EQ(entity.Name, GetParam().name);
    EXPECT_EQ(entity.Kind, GetParam().kind);
    EXPECT_EQ(entity.Value, GetParam().value);
}

constexpr int Text = CXMLEntity::TextEntity;
constexpr int System = CXMLEntity::SystemEntity;

INSTANTIATE_TEST_SUITE_P(
    Declarations, DeclarationTable,
    ::testing::Values(DeclarationCase{"<!ENTITY \t\r\nname \r\n \"v\">", "name", Text, "v"},
                      DeclarationCase{"<!ENTITY a\tb \"v\">", "a\tb", Text, "v"},
                      DeclarationCase{"<!ENTITY e \"\"\"v\"\">", "e", Text, "v"},
                      DeclarationCase{"<!ENTITY e 'v'>", "e", Text, "'v'>"},
                      DeclarationCase{"<!ENTITY e PUBLIC \"p\" \"v\">", "e", Text, "PUBLIC "},
                      DeclarationCase{"<!ENTITY e SYSTEMATIC \"v\">", "e", System, "ATIC "},
                      DeclarationCase{"<!ENTITY e system \"v\">", "e", Text, "system "},
                      DeclarationCase{"<!ENTITY e SYS>", "e", Text, "SYS>"},
                      DeclarationCase{"<!ENTITY e>", "e>", Text, ""},
                      DeclarationCase{"<!ENTITY", "", Text, ""}));

} // namespace
} // namespace quorral

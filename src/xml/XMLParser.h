#pragma once

#include "xml/XMLEntity.h"
#include "xml/XMLNode.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorral {

// Reads one reply text into a tree of CXMLNode elements, in one forward pass run by the constructor.
// The reader takes a small subset of XML: one root element with nested elements, attributes in
// double or single quotes, character data, the five predefined entities, character references and
// internal text entities. Processing instructions and comments are blanked out first. It never
// reports an error: malformed text gives whatever tree the rules make, and the constructor always
// completes. Element and attribute names are stored upper-cased, and every query ignores case.
//
// The tree lives exactly as long as the parser: copy out what you need before destroying it.
class CXMLParser
{
public:
    // The form every reply handler uses: the document is text up to its first NUL byte.
    explicit CXMLParser(std::string_view text);

    // The full form. With a text (not null) the document is a copy of it and fileName is ignored;
    // otherwise fileName is read, and when it is missing or unreadable Root() stays null. With an
    // outer parser, entity references are looked up in its declarations instead of this document's.
    // With attachTo, the root element is created as attachTo's last child and belongs to that tree.
    CXMLParser(const std::filesystem::path& fileName, const CXMLParser* outer, CXMLNode* attachTo,
               const char* text);

    virtual ~CXMLParser();
    CXMLParser(const CXMLParser&) = delete;
    CXMLParser& operator=(const CXMLParser&) = delete;

    // The document element: named "" when the text held no element; null only when a document file
    // could not be read.
    const CXMLNode* Root() const { return FRoot; }
    CXMLNode* Root() { return FRoot; }

    // The value of node's first attribute whose name equals name without regard to case, or
    // defaultValue when node is null or has no such attribute. A found value lives as long as the tree.
    static const char* GetAttribute(const CXMLNode* node, std::string_view name, const char* defaultValue);

    // The attribute's value read as a decimal number the way strtol does with a 32-bit long (white
    // space, sign, digits up to the first other byte, 0 without digits, clamped to the int32 range);
    // defaultValue only when node is null or has no such attribute.
    static std::int32_t GetAttributeInt(const CXMLNode* node, std::string_view name,
                                        std::int32_t defaultValue);

private:
    class CDocumentReader;

    CXMLParser(const CXMLParser* outer, CXMLNode* attachTo, std::optional<std::string> document);

    void CollectEntities(std::string_view document);
    const CXMLEntity* FindEntity(std::string_view name) const;

    // The parser's own copy of the text, which the parse overwrites in places. It is kept as long as
    // the tree, so that the memory of both goes back to the heap together: freed straight after the
    // parse, a large copy leaves a hole below the tree, and the allocator then hands the whole tree
    // back to the system when the parser goes, to be faulted in again by the next large parse.
    std::string FDocument;
    CXMLNode* FRoot = nullptr;
    std::unique_ptr<CXMLNodeStore> FNodes; // empty when the root was attached to another tree
    std::vector<CXMLEntity> FEntities;     // in document order
    // Upper-cased name -> the first entity of that name, so that a reference costs O(1).
    std::unordered_map<std::string, std::size_t> FEntityIndex;
    const CXMLParser* FOuter;
};

} // namespace quorral

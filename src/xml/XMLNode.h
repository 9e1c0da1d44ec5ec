#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorral {

class CXMLNodeStore;

// One attribute of an element: the name as the parser stored it (upper-cased, at most 30 bytes) and
// its value (at most 100 bytes, stored as written).
struct CXMLAttribute
{
    std::string Name;
    std::string Value;
};

// One element of a parsed reply. The tree holds elements only: character data is the element's
// Text and attributes are records on it. Nodes belong to the CXMLNodeStore of their document, which
// the CXMLParser that built them owns; Children only links them.
class CXMLNode
{
public:
    explicit CXMLNode(CXMLNode* parent = nullptr);
    ~CXMLNode();
    CXMLNode(const CXMLNode&) = delete;
    CXMLNode& operator=(const CXMLNode&) = delete;

    // Overwrites the value of the attribute whose name equals name byte for byte, or appends a new
    // record. Returns the stored value.
    const std::string& SetAttribute(std::string_view name, std::string_view value);

    CXMLNode* Parent;
    std::string Name; // upper-cased by the parser, at most 40 bytes; empty when the text had no element
    std::string Text; // the last run of character data; empty when there is none
    std::vector<CXMLAttribute> Attributes; // in the order of their first occurrence
    std::vector<CXMLNode*> Children;       // in document order

private:
    friend class CXMLNodeStore;
    friend const CXMLNode* NextSibling(const CXMLNode& node, bool sameName);

    // Where this node was linked into Parent->Children, so that walking siblings costs O(1) a step.
    // Only a hint: a node placed into Children some other way is still found by a search.
    std::size_t FIndex = 0;
    // The nodes of documents attached below this one (a chain, latest first): they live as long as
    // this node.
    std::unique_ptr<CXMLNodeStore> FAttached;
};

// Owns the nodes of one document. They are made in blocks and freed together: a large reply does
// not cost an allocation for every element, and a tree of any depth is freed without recursion.
class CXMLNodeStore
{
public:
    CXMLNodeStore() = default;
    CXMLNodeStore(const CXMLNodeStore&) = delete;
    CXMLNodeStore& operator=(const CXMLNodeStore&) = delete;

    // A new empty element, linked as the last of parent's Children when there is a parent.
    CXMLNode& NewNode(CXMLNode* parent);

    // Hands store to node, a node of another document, whose lifetime its nodes then share.
    static void Attach(std::unique_ptr<CXMLNodeStore> store, CXMLNode& node);

private:
    std::vector<std::unique_ptr<CXMLNode[]>> FBlocks;
    std::size_t FBlockSize = 0;                     // nodes in the last block
    std::size_t FUsed = 0;                          // nodes handed out from the last block
    std::unique_ptr<CXMLNodeStore> FAttachedBefore; // the store attached to the same node before this one
};

// The first child of node, in document order, whose Name equals name without regard to case; null
// when node is null or no child matches. Whole names only.
const CXMLNode* FindChild(const CXMLNode* node, std::string_view name);

// The child of node's Parent that follows node; with sameName, the first later child whose Name
// equals node's Name without regard to case. Null for a root and past the last child.
const CXMLNode* NextSibling(const CXMLNode& node, bool sameName);

} // namespace quorral

#include "xml/XMLNode.h"

#include "xml/XMLText.h"

#include <algorithm>
#include <utility>

namespace quorral {
namespace {

// Small replies take one small block; a large listing grows to blocks of about half a MiB. With
// blocks of some tens of KiB, glibc gave a large tree's memory back to the system at every parse and
// faulted it in again at the next, which cost four times the parse itself.
constexpr std::size_t FirstBlockSize = 8;
constexpr std::size_t LargestBlockSize = 4096;

} // namespace

CXMLNode::CXMLNode(CXMLNode* parent) : Parent(parent)
{}

CXMLNode::~CXMLNode() = default;

const std::string& CXMLNode::SetAttribute(std::string_view name, std::string_view value)
{
    for (auto& attribute : Attributes) {
        if (attribute.Name == name) {
            attribute.Value = value;
            return attribute.Value;
        }
    }
    Attributes.push_back({std::string(name), std::string(value)});
    return Attributes.back().Value;
}

CXMLNode& CXMLNodeStore::NewNode(CXMLNode* parent)
{
    if (FUsed == FBlockSize) {
        FBlockSize = FBlocks.empty() ? FirstBlockSize : std::min(2 * FBlockSize, LargestBlockSize);
        FBlocks.push_back(std::make_unique<CXMLNode[]>(FBlockSize));
        FUsed = 0;
    }
    CXMLNode& node = FBlocks.back()[FUsed++];
    node.Parent = parent;
    if (parent != nullptr) {
        node.FIndex = parent->Children.size();
        parent->Children.push_back(&node);
    }
    return node;
}

void CXMLNodeStore::Attach(std::unique_ptr<CXMLNodeStore> store, CXMLNode& node)
{
    store->FAttachedBefore = std::move(node.FAttached);
    node.FAttached = std::move(store);
}

const CXMLNode* FindChild(const CXMLNode* node, std::string_view name)
{
    if (node == nullptr) {
        return nullptr;
    }
    for (const CXMLNode* child : node->Children) {
        if (xmltext::EqualsNoCase(child->Name, name)) {
            return child;
        }
    }
    return nullptr;
}

const CXMLNode* NextSibling(const CXMLNode& node, bool sameName)
{
    const CXMLNode* parent = node.Parent;
    if (parent == nullptr) {
        return nullptr;
    }
    const auto& siblings = parent->Children;
    std::size_t at = node.FIndex;
    if (at >= siblings.size() || siblings[at] != &node) {
        const auto found = std::find(siblings.begin(), siblings.end(), &node);
        if (found == siblings.end()) {
            return nullptr;
        }
        at = static_cast<std::size_t>(found - siblings.begin());
    }
    for (++at; at < siblings.size(); ++at) {
        if (!sameName || xmltext::EqualsNoCase(siblings[at]->Name, node.Name)) {
            return siblings[at];
        }
    }
    return nullptr;
}

} // namespace quorral

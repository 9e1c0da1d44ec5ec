// Parses arbitrary bytes as a reply and walks the tree through every query, checking what callers
// rely on: the limits hold, the links between nodes agree, and each query answers like a plain scan.
// The second half of the input is parsed again with the first as its outer parser and attached to
// its root, so entity lookups across parsers and attached roots get the same treatment.
#include "xml/XMLParser.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using quorral::CXMLNode;
using quorral::CXMLParser;

void Check(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

// Brute-force cross-checks cost O(children^2); wider elements get the cheap checks only.
constexpr std::size_t CrossCheckedChildren = 256;

void Walk(const CXMLNode* root)
{
    std::vector<const CXMLNode*> pending{root};
    while (!pending.empty()) {
        const CXMLNode* node = pending.back();
        pending.pop_back();

        Check(node->Name.size() <= 40 && node->Name.find('\0') == std::string::npos);
        Check(node->Text.size() <= 100000 && node->Text.find('\0') == std::string::npos);
        for (const auto& attribute : node->Attributes) {
            Check(attribute.Name.size() <= 30 && attribute.Value.size() <= 100);
            const char* found = CXMLParser::GetAttribute(node, attribute.Name, nullptr);
            Check(found != nullptr && std::strlen(found) <= 100);
            (void)CXMLParser::GetAttributeInt(node, attribute.Name, -1);
        }
        Check(CXMLParser::GetAttribute(node, "\x01never", "d")[0] == 'd');

        const auto& children = node->Children;
        for (std::size_t i = 0; i < children.size(); ++i) {
            const CXMLNode& child = *children[i];
            Check(child.Parent == node);
            Check(NextSibling(child, false) == (i + 1 < children.size() ? children[i + 1] : nullptr));
            if (children.size() <= CrossCheckedChildren) {
                const CXMLNode* nextSame = nullptr;
                for (std::size_t j = i + 1; j < children.size() && nextSame == nullptr; ++j) {
                    if (SameName(children[j]->Name, child.Name)) {
                        nextSame = children[j];
                    }
                }
                Check(NextSibling(child, true) == nextSame);
                const CXMLNode* first = FindChild(node, child.Name);
                std::size_t at = 0;
                for (; at < children.size() && children[at] != first; ++at) {
                    Check(!SameName(children[at]->Name, child.Name));
                }
                Check(at <= i);
            }
            pending.push_back(&child);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CXMLParser outer(bytes.substr(0, size / 2));
    Check(outer.Root() != nullptr && outer.Root()->Parent == nullptr);
    Check(NextSibling(*outer.Root(), false) == nullptr);

    const std::string second(bytes.substr(size / 2)); // the parser wants a NUL-terminated text here
    {
        const CXMLParser inner("", &outer, outer.Root(), second.c_str());
        Check(inner.Root() == outer.Root()->Children.back());
        Check(inner.Root()->Parent == outer.Root());
    }
    Walk(outer.Root());
    return 0;
}

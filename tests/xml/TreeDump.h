#pragma once

#include "xml/XMLNode.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace quorral::test {

// A tree written on one line, so that a table of documents can state the exact tree of each:
//   NAME[KEY="value",...]"text"(CHILD,...)
// Attributes, text and children are left out when there are none. Quotes, backslashes and bytes
// outside 32..126 are written as C escapes.
inline std::string Quoted(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            if (c >= 32 && c <= 126) {
                out += c;
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
                out += hex;
            }
        }
    }
    return out + "\"";
}

inline std::string Dump(const CXMLNode& node)
{
    std::string out = node.Name;
    if (!node.Attributes.empty()) {
        out += '[';
        for (std::size_t i = 0; i < node.Attributes.size(); ++i) {
            out += (i > 0 ? "," : "") + node.Attributes[i].Name + "=" + Quoted(node.Attributes[i].Value);
        }
        out += ']';
    }
    if (!node.Text.empty()) {
        out += Quoted(node.Text);
    }
    if (!node.Children.empty()) {
        out += '(';
        for (std::size_t i = 0; i < node.Children.size(); ++i) {
            out += (i > 0 ? "," : "") + Dump(*node.Children[i]);
        }
        out += ')';
    }
    return out;
}

} // namespace quorral::test

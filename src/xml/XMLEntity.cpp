#include "xml/XMLEntity.h"

#include "xml/XMLText.h"

#include <algorithm>

namespace quorral {
namespace {

constexpr std::size_t NameLimit = 31;
constexpr std::size_t ValueLimit = 499;

using xmltext::IsWhite;
using xmltext::Trace;

} // namespace

CXMLEntity::CXMLEntity(std::string_view declaration)
{
    constexpr std::string_view Keyword = "<!ENTITY";
    std::size_t at = std::min(Keyword.size(), declaration.size());
    const auto skipWhite = [&] {
        while (at < declaration.size() && IsWhite(declaration[at])) {
            ++at;
        }
    };

    skipWhite();
    // Only a space ends the name: a tab or line break right after it becomes part of it.
    for (; at < declaration.size() && declaration[at] != ' '; ++at) {
        if (Name.size() < NameLimit) {
            Name.push_back(declaration[at]);
        }
    }
    Trace("ENTITY ID: ", Name);

    skipWhite();
    if (declaration.substr(at).starts_with("SYSTEM")) {
        Kind = SystemEntity;
        at += 6;
        Trace("ENTITY IS TYPE SYSTEM");
    } else {
        Trace("ENTITY IS TYPE TEXT");
    }

    skipWhite();
    // Single quotes are not delimiters here: such a value runs to the end of the declaration.
    while (at < declaration.size() && declaration[at] == '"') {
        ++at;
    }
    for (; at < declaration.size() && declaration[at] != '"'; ++at) {
        if (Value.size() < ValueLimit) {
            Value.push_back(declaration[at]);
        }
    }
    Trace("ENTITY TEXT: ", Value);
}

std::string_view CXMLEntity::Expand(std::size_t room) const
{
    if (Kind != TextEntity) {
        return {};
    }
    return std::string_view(Value).substr(0, room);
}

} // namespace quorral

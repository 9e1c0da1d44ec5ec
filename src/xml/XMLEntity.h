#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorral {

// One entity declared in a reply with "<!ENTITY". Only text entities ever yield anything: the
// resource that a system entity names is never read.
struct CXMLEntity
{
    static constexpr int TextEntity = 0;
    static constexpr int SystemEntity = 1;

    // Reads one declaration, from its "<!ENTITY" through the ">" that ended it.
    explicit CXMLEntity(std::string_view declaration);

    // What a reference to this entity inserts into a buffer with room bytes left.
    std::string_view Expand(std::size_t room) const;

    std::string Name; // at most 31 bytes, as written
    int Kind = TextEntity;
    std::string Value; // at most 499 bytes
};

} // namespace quorral

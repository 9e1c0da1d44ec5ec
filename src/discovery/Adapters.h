#pragma once

#include "discovery/Discovery.h"

#include <vector>

namespace quorral {

// The PC's network adapters as a discovery sweep sees them: only adapters that are up and not
// loopback, each once with its first IPv4 address and that address's netmask, in the order the
// system lists them. Empty when the list cannot be read.
std::vector<CAdapterAddress> NetworkAdapters();

} // namespace quorral

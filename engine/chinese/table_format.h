#pragma once

// The phrase matcher's tables as the bytes of a cache entry, and the checks an entry passes
// before a lookup reads it.
#include <memory>
#include <string>

#include "engine/chinese/phrase_cache.h"
#include "engine/chinese/tables.h"

namespace tessaly::detail {

/// What the cache key holds of the tables: it changes whenever the compiled tables would, their
/// layout or what the compiler puts in them.
std::string Layout();

/// The tables as the bytes of a cache entry.
std::string WriteTables(const PhraseTables& tables);

/// Tables viewed in place in `entry`'s bytes, which they keep; none unless every index, length,
/// group and flag a lookup reads is one the compiler could have written.
std::unique_ptr<const PhraseTables> ReadTables(std::shared_ptr<const CachedTables> entry);

}  // namespace tessaly::detail

#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

/// Where compiled phrase tables are kept between runs: $XDG_CACHE_HOME/tessaly, else
/// ~/.cache/tessaly; empty when neither variable is set.
std::filesystem::path PhraseCacheDirectory();

/// Memory for a cache entry's bytes, 8-byte aligned and not cleared, on huge pages where the
/// system gives them for a large entry: the lookups land all over the tables.
class EntryMemory {
 public:
  explicit EntryMemory(std::size_t bytes);
  char* data() const { return static_cast<char*>(memory_.get()); }

 private:
  struct Free {
    void operator()(void* memory) const;
  };
  std::unique_ptr<void, Free> memory_;
};

/// The tables of a cache entry as read: a copy of its file, the tables starting 8-byte aligned.
class CachedTables {
 public:
  /// `memory` holds the file; the tables are its `size` bytes from `start`.
  CachedTables(EntryMemory memory, std::size_t start, std::size_t size);
  CachedTables(const CachedTables&) = delete;
  CachedTables& operator=(const CachedTables&) = delete;

  /// The tables' bytes.
  std::string_view bytes() const { return tables_; }

 private:
  EntryMemory memory_;
  std::string_view tables_;
};

/// One OpenCC configuration's compiled tables kept in a cache directory, under a key made of the
/// tables' layout and the identity (path, size, time, inode) of the configuration file and of
/// every dictionary file it names, in its folder: a package upgrade or an edited dictionary makes
/// the entry stale. The cache only saves time: nothing it does is reported, and anything unusual
/// (a damaged or foreign file, a file-size limit, a full disk) means building the tables again.
class PhraseCache {
 public:
  /// The entry of `config` (an absolute path, or a bare name in OpenCC's data folder) in
  /// `directory`; an entry never read nor written when `directory` is empty or the configuration
  /// cannot be found. `layout` describes the tables' format.
  PhraseCache(const std::filesystem::path& directory, std::string_view config,
              std::string_view layout);

  /// The stored tables, when they were stored under the same key and arrive intact; none
  /// otherwise.
  std::shared_ptr<const CachedTables> Read() const;

  /// Stores the tables, replacing the entry at once or not at all.
  void Write(std::string_view tables) const;

  /// The entry's file; empty when there is none.
  const std::filesystem::path& file() const { return file_; }

 private:
  std::filesystem::path file_;
  std::string key_;
};

namespace detail {

/// Makes an entry's checksum match its tables again after they were changed in place, as a
/// faulty disk or writer could leave them; returns where the tables start, none when the header
/// cannot be read. For the tests and the fuzz target of the cache's checks.
std::optional<std::size_t> ResealEntry(std::string& entry);

}  // namespace detail
}  // namespace tessaly

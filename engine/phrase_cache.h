#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

/// Where compiled phrase tables are kept between runs: $XDG_CACHE_HOME/tessaly, else
/// ~/.cache/tessaly; empty when neither variable is set.
std::filesystem::path PhraseCacheDirectory();

/// The tables of a cache entry as read: its file mapped into memory, starting 8-byte aligned.
class CachedTables {
 public:
  CachedTables(void* base, std::size_t length, std::string_view tables);
  ~CachedTables();
  CachedTables(const CachedTables&) = delete;
  CachedTables& operator=(const CachedTables&) = delete;

  /// The tables' bytes.
  std::string_view bytes() const { return tables_; }

 private:
  void* base_;
  std::size_t length_;
  std::string_view tables_;
};

/// One OpenCC configuration's compiled tables kept in a cache directory, under a key made of the
/// tables' layout and the identity (path, size, time, inode) of the configuration file and of
/// every dictionary file it may name, wherever OpenCC may look for it: a package upgrade or an
/// edited dictionary makes the entry stale. The cache only saves time: nothing it does is
/// reported, and anything unusual means building the tables again.
class PhraseCache {
 public:
  /// The entry of `config` (a path, or a bare name looked up in OpenCC's data directory) in
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

}  // namespace tessaly

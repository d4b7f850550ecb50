#include "engine/phrase_cache.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <vector>

namespace tessaly {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMagic = "tessaly phrase tables 2\n";
// The tables start at a multiple of this in the file, so that a mapping of it can be read in
// place.
constexpr std::size_t kTablesAlign = 8;
constexpr std::string_view kSuffix = ".tables";

// Where OpenCC's library looks for configurations and dictionaries after the working directory.
const fs::path& DataDirectory() {
  static const fs::path directory = TESSALY_OPENCC_DATA_DIR;
  return directory;
}

// Path, size, modification time and inode of a file, or nothing when there is no such file.
std::optional<std::string> Identity(const fs::path& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return path.string() + ' ' + std::to_string(info.st_size) + ' ' +
         std::to_string(info.st_mtim.tv_sec) + '.' + std::to_string(info.st_mtim.tv_nsec) + ' ' +
         std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino) + '\n';
}

std::optional<fs::path> FindConfig(std::string_view config) {
  const std::string name(config);
  for (const fs::path& candidate :
       {fs::path(name), DataDirectory() / name, DataDirectory() / (name + ".json")}) {
    if (Identity(candidate)) return candidate;
  }
  return std::nullopt;
}

// The "file" strings of a configuration, read plainly: a name with an escape in it means no
// caching, since the name OpenCC reads would not be this one.
std::optional<std::vector<std::string>> FileNames(std::string_view json) {
  std::vector<std::string> names;
  constexpr std::string_view kKey = "\"file\"";
  constexpr std::string_view kSpace = " \t\r\n";
  for (std::size_t pos = json.find(kKey); pos != std::string_view::npos;
       pos = json.find(kKey, pos)) {
    pos = json.find_first_not_of(kSpace, pos + kKey.size());
    if (pos == std::string_view::npos || json[pos] != ':') continue;
    pos = json.find_first_not_of(kSpace, pos + 1);
    if (pos == std::string_view::npos || json[pos] != '"') continue;
    const std::size_t end = json.find('"', pos + 1);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view name = json.substr(pos + 1, end - pos - 1);
    if (name.find('\\') != std::string_view::npos) return std::nullopt;
    names.emplace_back(name);
    pos = end + 1;
  }
  return names;
}

std::optional<std::string> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  const std::streamoff size = in.tellg();
  if (size < 0) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(size), '\0');
  in.seekg(0);
  if (!in.read(bytes.data(), size)) return std::nullopt;
  return bytes;
}

// The key: the layout, then the identity of the configuration and of every place OpenCC may
// find each of its dictionaries (the working directory, the configuration's, its data
// directory), so that a file appearing in an earlier place makes the entry stale too.
std::optional<std::string> KeyOf(const fs::path& config, std::string_view layout) {
  const std::optional<std::string> json = ReadFile(config);
  const std::optional<std::string> config_identity = Identity(config);
  if (!json || !config_identity) return std::nullopt;
  const std::optional<std::vector<std::string>> names = FileNames(*json);
  if (!names) return std::nullopt;
  std::string key = std::string(layout) + '\n' + *config_identity;
  for (const std::string& name : *names) {
    bool found = false;
    for (const fs::path& candidate :
         {fs::path(name), config.parent_path() / name, DataDirectory() / name}) {
      const std::optional<std::string> identity = Identity(candidate);
      if (identity) key += *identity;
      found = found || identity.has_value();
    }
    if (!found) return std::nullopt;
  }
  return key;
}

// Catches a file cut short or damaged; four lanes so that it costs little beside the reading.
std::uint64_t Checksum(std::string_view bytes) {
  constexpr std::uint64_t kPrime = 0xFF51AFD7ED558CCDu;
  std::array<std::uint64_t, 4> lanes = {0x9E3779B97F4A7C15u, bytes.size(), 1, 2};
  std::size_t pos = 0;
  for (; pos + 32 <= bytes.size(); pos += 32) {
    for (std::size_t lane = 0; lane < 4; ++lane) {
      std::uint64_t word = 0;
      std::memcpy(&word, bytes.data() + pos + 8 * lane, 8);
      lanes[lane] = ((lanes[lane] ^ word) * kPrime) ^ (lanes[lane] >> 29);
    }
  }
  std::uint64_t hash = lanes[0] ^ (lanes[1] * 3) ^ (lanes[2] * 5) ^ (lanes[3] * 7);
  for (; pos < bytes.size(); ++pos)
    hash = (hash ^ static_cast<unsigned char>(bytes[pos])) * kPrime;
  return hash ^ (hash >> 31);
}

void PutNumber(std::string& out, std::uint64_t value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

bool TakeNumber(std::string_view& in, std::uint64_t& value) {
  if (in.size() < sizeof value) return false;
  std::memcpy(&value, in.data(), sizeof value);
  in.remove_prefix(sizeof value);
  return true;
}

std::string Hex(std::uint64_t value) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string hex(16, '0');
  for (std::size_t i = 16; i-- > 0; value >>= 4) hex[i] = kDigits[value & 15];
  return hex;
}

// The tables in an entry's bytes, when they carry this key and arrive intact.
std::optional<std::string_view> TablesIn(std::string_view bytes, std::string_view key) {
  if (!bytes.starts_with(kMagic)) return std::nullopt;
  std::string_view in = bytes.substr(kMagic.size());
  std::uint64_t key_size = 0, size = 0, checksum = 0;
  if (!TakeNumber(in, key_size) || key_size != key.size() || !in.starts_with(key))
    return std::nullopt;
  in.remove_prefix(key.size());
  if (!TakeNumber(in, size) || !TakeNumber(in, checksum)) return std::nullopt;
  const std::size_t header = bytes.size() - in.size();
  const std::size_t start = (header + kTablesAlign - 1) / kTablesAlign * kTablesAlign;
  if (start > bytes.size() || bytes.size() - start != size) return std::nullopt;
  in = bytes.substr(start);
  if (Checksum(in) != checksum) return std::nullopt;
  return in;
}

}  // namespace

fs::path PhraseCacheDirectory() {
  if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && *cache == '/')
    return fs::path(cache) / "tessaly";
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/')
    return fs::path(home) / ".cache" / "tessaly";
  return {};
}

PhraseCache::PhraseCache(const fs::path& directory, std::string_view config,
                         std::string_view layout) {
  if (directory.empty()) return;
  const std::optional<fs::path> found = FindConfig(config);
  if (!found) return;
  std::optional<std::string> key = KeyOf(*found, layout);
  if (!key) return;
  key_ = std::move(*key);
  file_ = directory / (found->stem().string() + '-' + Hex(Checksum(key_)) + std::string(kSuffix));
}

CachedTables::CachedTables(void* base, std::size_t length, std::string_view tables)
    : base_(base), length_(length), tables_(tables) {}

CachedTables::~CachedTables() {
  ::munmap(base_, length_);
}

// Mapped rather than read: the pages come from the page cache as they are, with no copy and no
// fresh memory to fault in. Entries are only ever replaced by renaming, never written in place.
std::shared_ptr<const CachedTables> PhraseCache::Read() const {
  if (file_.empty()) return nullptr;
  const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  void* base = MAP_FAILED;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
    base = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ,
                  MAP_PRIVATE | MAP_POPULATE, fd, 0);
  ::close(fd);
  if (base == MAP_FAILED) return nullptr;
  const auto length = static_cast<std::size_t>(info.st_size);
  const std::optional<std::string_view> tables =
      TablesIn(std::string_view(static_cast<const char*>(base), length), key_);
  if (!tables) {
    ::munmap(base, length);
    return nullptr;
  }
  return std::make_shared<const CachedTables>(base, length, *tables);
}

void PhraseCache::Write(std::string_view tables) const {
  if (file_.empty()) return;
  std::error_code error;
  const fs::path directory = file_.parent_path();
  if (fs::create_directories(directory, error))
    fs::permissions(directory, fs::perms::owner_all, error);
  if (error) return;
  // Entries of the same configuration under other keys are stale.
  const std::string stem = file_.stem().string();
  const std::string prefix = stem.substr(0, stem.rfind('-') + 1);
  for (const fs::directory_entry& entry : fs::directory_iterator(directory, error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() == prefix.size() + 16 + kSuffix.size() && name.starts_with(prefix) &&
        name.ends_with(kSuffix) && entry.path() != file_)
      fs::remove(entry.path(), error);
  }
  std::string header(kMagic);
  PutNumber(header, key_.size());
  header += key_;
  PutNumber(header, tables.size());
  PutNumber(header, Checksum(tables));
  header.resize((header.size() + kTablesAlign - 1) / kTablesAlign * kTablesAlign, '\0');
  // A file of its own first, renamed over the entry: a reader never sees half of one.
  const fs::path temporary = file_.string() + ".tmp-" + std::to_string(getpid()) + '-' +
                             Hex(std::random_device()());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.write(tables.data(), static_cast<std::streamsize>(tables.size()));
    if (!out.flush()) {
      out.close();
      fs::remove(temporary, error);
      return;
    }
  }
  fs::rename(temporary, file_, error);
  if (error) fs::remove(temporary, error);
}

}  // namespace tessaly

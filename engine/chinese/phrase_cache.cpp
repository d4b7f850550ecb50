#include "engine/chinese/phrase_cache.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <vector>

#include "engine/chinese/opencc_config.h"
#include "engine/chinese/opencc_data.h"
#include "engine/detail/file_reading.h"
#include "engine/errors.h"

namespace tessaly {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMagic = "tessaly phrase tables 2\n";
// The tables start at a multiple of this in the file, so that a mapping of it can be read in
// place.
constexpr std::size_t kTablesAlign = 8;
constexpr std::string_view kSuffix = ".tables";

// An entry larger than this is no entry of ours.
constexpr std::size_t kMaxEntry = std::size_t{1} << 30;
// A temporary file this old was left by a run that died while writing it.
constexpr auto kStaleTemporary = std::chrono::hours(1);

// Path, size, modification time and inode of a file, or nothing when there is no such file.
std::optional<std::string> Identity(const fs::path& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return path.string() + ' ' + std::to_string(info.st_size) + ' ' +
         std::to_string(info.st_mtim.tv_sec) + '.' + std::to_string(info.st_mtim.tv_nsec) + ' ' +
         std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino) + '\n';
}

// The key: the layout, then the identity of the configuration and of each of its dictionaries,
// which are read from the configuration's folder and nowhere else.
std::optional<std::string> KeyOf(const fs::path& config, std::string_view layout) {
  const std::optional<std::string> json = ReadConfiguration(config);
  const std::optional<std::string> config_identity = Identity(config);
  if (!json || !config_identity) return std::nullopt;
  std::vector<fs::path> files;
  try {
    files = detail::DictionaryFiles(
        detail::ParseOpenCcConfig(*json, config.parent_path(), detail::TofuRisk::Include));
  } catch (const Error&) {
    return std::nullopt;
  }
  std::string key = std::string(layout) + '\n' + *config_identity;
  for (const fs::path& file : files) {
    const std::optional<std::string> identity = Identity(file);
    if (!identity) return std::nullopt;
    key += *identity;
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
  for (; pos < bytes.size(); ++pos) hash = (hash ^ static_cast<unsigned char>(bytes[pos])) * kPrime;
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
  const std::optional<fs::path> found = FindConfiguration(config);
  if (!found) return;
  std::optional<std::string> key = KeyOf(*found, layout);
  if (!key) return;
  key_ = std::move(*key);
  const bool tofu_risk = SplitTofuRisk(config).second;
  if (tofu_risk) key_ += kWithTofuRisk;
  // Named after the configuration and its folder, so that entries of the same standard from other
  // data (the system's, the bundled) live side by side instead of replacing each other.
  const std::string folder = Hex(Checksum(found->parent_path().string())).substr(0, 8);
  file_ = directory / (found->stem().string() + (tofu_risk ? "+tofu" : "") + '-' + folder + '-' +
                       Hex(Checksum(key_)) + std::string(kSuffix));
}

namespace {

// A huge page's size on x86-64 and arm64 (4 KiB base pages); only an entry of at least half of
// one asks for them.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

EntryMemory::EntryMemory(std::size_t bytes) {
  if (bytes >= kHugePage / 2) {
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    memory_.reset(std::aligned_alloc(kHugePage, rounded));
    if (memory_) ::madvise(memory_.get(), rounded, MADV_HUGEPAGE);  // advice: may be refused
  }
  if (!memory_) memory_.reset(std::malloc(std::max<std::size_t>(bytes, 1)));
  if (!memory_) throw std::bad_alloc();
}

void EntryMemory::Free::operator()(void* memory) const {
  std::free(memory);
}

CachedTables::CachedTables(EntryMemory memory, std::size_t start, std::size_t size)
    : memory_(std::move(memory)), tables_(memory_.data() + start, size) {}

// Read into memory of our own rather than mapped: a mapped file cut short by another process
// would raise SIGBUS, and one rewritten in place would change under the checks made on it. The
// file must be a regular one (opened without blocking, so a FIFO in its place cannot hold the
// run) and read whole at the size it had when opened.
std::shared_ptr<const CachedTables> PhraseCache::Read() const {
  if (file_.empty()) return nullptr;
  const detail::Descriptor file = detail::OpenForReading(file_.c_str());
  struct stat info {};
  if (file.fd() < 0 || ::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_size <= 0 || static_cast<std::size_t>(info.st_size) > kMaxEntry)
    return nullptr;
  const auto length = static_cast<std::size_t>(info.st_size);
  EntryMemory memory(length);
  if (detail::ReadFully(file.fd(), memory.data(), length) != static_cast<ssize_t>(length))
    return nullptr;
  const std::string_view bytes(memory.data(), length);
  const std::optional<std::string_view> tables = TablesIn(bytes, key_);
  if (!tables) return nullptr;
  const auto start = static_cast<std::size_t>(tables->data() - bytes.data());
  const std::size_t size = tables->size();
  return std::make_shared<const CachedTables>(std::move(memory), start, size);
}

namespace {

// Writes all of `bytes`; false on any failure, a file-size limit's EFBIG included.
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

// Whether a temporary file of this cache was left by a run that is gone: its process no longer
// exists, or it is older than any write takes.
bool Abandoned(const fs::directory_entry& entry) {
  const std::string name = entry.path().filename().string();
  const std::size_t mark = name.find(".tmp-");
  if (mark == std::string::npos) return false;
  std::error_code error;
  const auto age = fs::file_time_type::clock::now() - entry.last_write_time(error);
  if (!error && age > kStaleTemporary) return true;
  const long pid = std::strtol(name.c_str() + mark + 5, nullptr, 10);
  return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Removes the entries of the same configuration under other keys, which are stale, and the
// temporary files of runs that died while writing.
void Tidy(const fs::path& directory, const fs::path& file) {
  const std::string stem = file.stem().string();
  const std::string prefix = stem.substr(0, stem.rfind('-') + 1);
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory, error)) {
    const std::string name = entry.path().filename().string();
    const bool stale = name.size() == prefix.size() + 16 + kSuffix.size() &&
                       name.starts_with(prefix) && name.ends_with(kSuffix) && entry.path() != file;
    if (stale || Abandoned(entry)) fs::remove(entry.path(), error);
  }
}

}  // namespace

namespace detail {

std::optional<std::size_t> ResealEntry(std::string& entry) {
  std::string_view in(entry);
  if (!in.starts_with(kMagic)) return std::nullopt;
  in.remove_prefix(kMagic.size());
  std::uint64_t key_size = 0, size = 0, checksum = 0;
  if (!TakeNumber(in, key_size) || key_size > in.size()) return std::nullopt;
  in.remove_prefix(key_size);
  if (!TakeNumber(in, size) || !TakeNumber(in, checksum) || size > entry.size())
    return std::nullopt;
  const std::size_t start = entry.size() - size;
  checksum = Checksum(std::string_view(entry).substr(start));
  std::memcpy(entry.data() + (entry.size() - in.size() - sizeof checksum), &checksum,
              sizeof checksum);
  return start;
}

}  // namespace detail

void PhraseCache::Write(std::string_view tables) const {
  if (file_.empty()) return;
  std::error_code error;
  const fs::path directory = file_.parent_path();
  if (fs::create_directories(directory, error))
    fs::permissions(directory, fs::perms::owner_all, error);
  if (error) return;
  Tidy(directory, file_);
  std::string header(kMagic);
  // Past a file-size limit a write raises SIGXFSZ, which ends the run: such an entry is not
  // written at all.
  if (struct rlimit limit{}; ::getrlimit(RLIMIT_FSIZE, &limit) == 0 &&
                             limit.rlim_cur != RLIM_INFINITY &&
                             limit.rlim_cur < header.size() + key_.size() + 64 + tables.size())
    return;
  PutNumber(header, key_.size());
  header += key_;
  PutNumber(header, tables.size());
  PutNumber(header, Checksum(tables));
  header.resize((header.size() + kTablesAlign - 1) / kTablesAlign * kTablesAlign, '\0');
  // A file of its own first, renamed over the entry: a reader never sees half of one.
  const fs::path temporary =
      file_.string() + ".tmp-" + std::to_string(getpid()) + '-' + Hex(std::random_device()());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const bool written = WriteAll(fd, header) && WriteAll(fd, tables);
  if (::close(fd) != 0 || !written) {
    fs::remove(temporary, error);
    return;
  }
  fs::rename(temporary, file_, error);
  if (error) fs::remove(temporary, error);
}

}  // namespace tessaly

#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string>

// Reading the files the engine takes from outside (configurations, cache entries, phrase lists),
// none of which may hold a run up or be read without bound.
namespace tessaly::detail {

/// A file descriptor closed on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  /// The descriptor; negative when the open failed (errno says why).
  int fd() const { return fd_; }

 private:
  int fd_;
};

/// Opens `path` for reading without blocking, so that a FIFO in a file's place is seen at once
/// for what it is (fstat) instead of waiting for a writer.
inline Descriptor OpenForReading(const char* path) {
  return Descriptor(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
}

/// Reads up to `size` bytes into `dest`, again where a signal cut a read short; how many it read
/// (fewer only at the end of the file), or -1 with errno set.
inline ssize_t ReadFully(int fd, char* dest, std::size_t size) {
  std::size_t used = 0;
  while (used < size) {
    const ssize_t got = ::read(fd, dest + used, size - used);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  return static_cast<ssize_t>(used);
}

/// Appends up to `limit` bytes of what is left of `fd` to `text`, a block at a time so that a
/// file that says nothing of its size is read without bound on the memory; 0, or the errno of a
/// failed read.
inline int ReadAtMost(int fd, std::size_t limit, std::string& text) {
  constexpr std::size_t kStep = std::size_t{1} << 16;
  while (text.size() < limit) {
    const std::size_t used = text.size();
    const std::size_t want = std::min(kStep, limit - used);
    text.resize(used + want);
    const ssize_t got = ReadFully(fd, text.data() + used, want);
    if (got < 0) {
      const int error = errno;
      text.resize(used);
      return error;
    }
    text.resize(used + static_cast<std::size_t>(got));
    if (static_cast<std::size_t>(got) < want) return 0;  // the end of the file
  }
  return 0;
}

}  // namespace tessaly::detail

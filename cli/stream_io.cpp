#include "cli/stream_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tessaly::cli {
namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;

IoError ReadError(const std::string& path, int error) {
  const std::string name = path == "-" ? "standard input" : "'" + path + "'";
  return IoError{"cannot read " + name + ": " + std::strerror(error)};
}

// Closes the descriptor unless it is standard input.
struct FileCloser {
  int fd;
  ~FileCloser() {
    if (fd != STDIN_FILENO) ::close(fd);
  }
};

}  // namespace

std::string ReadAll(const std::string& path) {
  const int fd = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw ReadError(path, errno);
  const FileCloser closer{fd};

  struct stat info {};
  std::string data;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) data.reserve(info.st_size + 1);
  std::size_t used = 0;
  for (;;) {
    if (data.capacity() - used < kBlockSize / 4) data.reserve(data.capacity() * 2 + kBlockSize);
    data.resize(data.capacity());
    const ssize_t got = ::read(fd, data.data() + used, data.size() - used);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw ReadError(path, errno);
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  data.resize(used);
  return data;
}

void WriteAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put =
        ::write(STDOUT_FILENO, bytes.data(), std::min(bytes.size(), kBlockSize * 8));
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) throw IoError{std::string("cannot write the result: ") + std::strerror(errno)};
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
}

}  // namespace tessaly::cli

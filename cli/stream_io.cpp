#include "cli/stream_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tessaly::cli {

InputFile::InputFile(std::string path)
    : path_(std::move(path)),
      fd_(path_ == "-" ? STDIN_FILENO : ::open(path_.c_str(), O_RDONLY | O_CLOEXEC)) {
  if (fd_ < 0) Fail(errno);
}

InputFile::~InputFile() {
  if (fd_ != STDIN_FILENO) ::close(fd_);
}

void InputFile::Fail(int error) const {
  const std::string name = path_ == "-" ? "standard input" : "'" + path_ + "'";
  throw IoError("cannot read " + name + ": " + std::strerror(error));
}

bool InputFile::ReadChunk(std::string& chunk, std::size_t max_bytes) {
  chunk.clear();
  return AppendChunk(chunk, max_bytes);
}

bool InputFile::AppendChunk(std::string& text, std::size_t max_bytes) {
  const std::size_t start = text.size();
  text.resize(start + max_bytes);
  std::size_t used = 0;
  while (used < max_bytes) {
    const ssize_t got = ::read(fd_, text.data() + start + used, max_bytes - used);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      text.resize(start);
      Fail(errno);
    }
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  text.resize(start + used);
  return used > 0;
}

std::string InputFile::ReadAll() {
  struct stat info {};
  const bool regular = ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
  std::string data(regular ? static_cast<std::size_t>(info.st_size) + 1 : kBlockSize, '\0');
  std::size_t used = 0;
  for (;;) {
    if (used == data.size()) data.resize(2 * data.size());
    const ssize_t got = ::read(fd_, data.data() + used, data.size() - used);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Fail(errno);
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  data.resize(used);
  return data;
}

Output::Output(std::string path) : path_(std::move(path)), fd_(STDOUT_FILENO) {
  if (path_ == "-") return;
  temporary_ = path_ + ".XXXXXX";
  fd_ = ::mkstemp(temporary_.data());
  if (fd_ < 0) throw IoError("cannot write '" + path_ + "': " + std::strerror(errno));
  // mkstemp makes the file private; the result gets the permissions a new file would.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
}

Output::~Output() {
  if (temporary_.empty()) return;
  ::close(fd_);
  ::unlink(temporary_.c_str());
}

void Output::Commit() {
  if (temporary_.empty()) return;
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0 || ::rename(temporary_.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary_.c_str());
    temporary_.clear();
    throw IoError("cannot write '" + path_ + "': " + std::strerror(error));
  }
  temporary_.clear();
}

void Output::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd_, bytes.data(), std::min(bytes.size(), 8 * kBlockSize));
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && errno == EPIPE) throw IoError("");  // the reader has all it wanted
    if (put < 0) {
      const std::string name = temporary_.empty() ? "the result" : "'" + path_ + "'";
      throw IoError("cannot write " + name + ": " + std::strerror(errno));
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
}

}  // namespace tessaly::cli

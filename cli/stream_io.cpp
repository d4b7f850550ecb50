#include "cli/stream_io.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

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

std::size_t InputFile::Size() const {
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  return static_cast<std::size_t>(info.st_size);
}

namespace {

// The one temporary file a run may leave behind, where a signal handler can reach it: a fixed
// buffer and a flag are all such a handler may safely read.
char temporary_path[PATH_MAX + sizeof ".XXXXXX"];
volatile std::sig_atomic_t temporary_pending = 0;

constexpr std::array kCleanupSignals{SIGINT, SIGTERM, SIGHUP};

void RemoveTemporaryAndRaise(int signal) {
  if (temporary_pending != 0) ::unlink(temporary_path);
  ::raise(signal);  // the default action again (SA_RESETHAND): the status shows the signal
}

// Handlers only where the signal is not ignored, as under nohup.
void InstallCleanup() {
  struct sigaction action {};
  action.sa_handler = RemoveTemporaryAndRaise;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (const int signal : kCleanupSignals) sigaddset(&action.sa_mask, signal);
  for (const int signal : kCleanupSignals) {
    struct sigaction old {};
    if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
      ::sigaction(signal, &action, nullptr);
  }
}

// The cleanup signals wait while in scope, so that the handler never sees the path half written,
// nor removes a temporary that has just become the result.
class CleanupSignalsHeld {
 public:
  CleanupSignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kCleanupSignals) sigaddset(&set, signal);
    ::pthread_sigmask(SIG_BLOCK, &set, &old_);
  }
  ~CleanupSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  CleanupSignalsHeld(const CleanupSignalsHeld&) = delete;
  CleanupSignalsHeld& operator=(const CleanupSignalsHeld&) = delete;

 private:
  sigset_t old_;
};

// `path` with its symbolic links followed as far as they lead, to a file that may not exist yet.
std::string FollowLinks(const std::string& path) {
  namespace fs = std::filesystem;
  fs::path target = path;
  std::error_code error;
  for (int hops = 0; fs::is_symlink(fs::symlink_status(target, error)); ++hops) {
    if (hops == 40) throw IoError("cannot write '" + path + "': " + std::strerror(ELOOP));
    const fs::path link = fs::read_symlink(target, error);
    if (error) throw IoError("cannot write '" + path + "': " + error.message());
    target = target.parent_path() / link;
  }
  return target.string();
}

}  // namespace

Output::Output(std::string path) : path_(std::move(path)), fd_(STDOUT_FILENO) {
  if (path_ == "-") return;
  // What is no regular file is opened by its own name: links such as /dev/stdout to a pipe lead
  // to no name that could be opened.
  struct stat old {};
  const bool exists = ::stat(path_.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) {
    target_ = path_;
    OpenInPlace();
  } else {
    target_ = FollowLinks(path_);
    OpenTemporary(exists ? &old : nullptr);
  }
}

// A device, a FIFO or a terminal cannot be replaced, and need not be: it keeps no old content.
void Output::OpenInPlace() {
  fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) Fail(errno);
}

void Output::OpenTemporary(const struct stat* old) {
  const std::string name = target_ + ".XXXXXX";
  if (name.size() >= sizeof temporary_path) Fail(ENAMETOOLONG);
  InstallCleanup();
  {
    const CleanupSignalsHeld held;
    std::memcpy(temporary_path, name.c_str(), name.size() + 1);
    fd_ = ::mkstemp(temporary_path);
    if (fd_ < 0) Fail(errno);
    temporary_pending = 1;
  }
  temporary_ = true;
  // mkstemp makes the file private: the result keeps the old file's owner where it may, and its
  // permissions, or gets those a new file would.
  if (old != nullptr) {
    [[maybe_unused]] const int owned = ::fchown(fd_, old->st_uid, old->st_gid);
    ::fchmod(fd_, old->st_mode & 07777);
    return;
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
}

Output::~Output() {
  if (path_ == "-") return;
  if (fd_ >= 0) ::close(fd_);
  if (!temporary_) return;
  const CleanupSignalsHeld held;
  ::unlink(temporary_path);
  temporary_pending = 0;
}

void Output::Commit() {
  if (path_ == "-") return;
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) Fail(errno);
  if (!temporary_) return;
  const CleanupSignalsHeld held;
  if (::rename(temporary_path, target_.c_str()) != 0) Fail(errno);
  temporary_pending = 0;
  temporary_ = false;
}

void Output::Fail(int error) const {
  throw IoError("cannot write '" + path_ + "': " + std::strerror(error));
}

void Output::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd_, bytes.data(), std::min(bytes.size(), 8 * kBlockSize));
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && errno == EPIPE) throw IoError("");  // the reader has all it wanted
    if (put < 0) {
      const std::string name = path_ == "-" ? "the result" : "'" + path_ + "'";
      throw IoError("cannot write " + name + ": " + std::strerror(errno));
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
}

}  // namespace tessaly::cli

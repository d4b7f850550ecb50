#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tessaly::cli {

/// Failure to read the input or write the output; the message is ready for the user, and empty
/// when there is nothing worth saying (the reader went away).
class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The input: a named file, or standard input for "-".
class InputFile {
 public:
  /// Opens the file; throws IoError when it cannot be opened.
  explicit InputFile(std::string path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  /// Replaces `chunk` with up to `max_bytes` of what follows; false at the end of the input.
  bool ReadChunk(std::string& chunk, std::size_t max_bytes);
  /// The same, appended to `text`, so that a caller gathering blocks copies nothing.
  bool AppendChunk(std::string& text, std::size_t max_bytes);
  /// The size of a regular file; 0 for anything else.
  std::size_t Size() const;

 private:
  [[noreturn]] void Fail(int error) const;

  std::string path_;
  int fd_;
};

/// Where the result goes: standard output, a regular file that appears whole or not at all, or
/// anything else (a device, a FIFO, a terminal) written in place.
class Output {
 public:
  /// Standard output for "-". For a regular file or a new one: a temporary file beside it (beside
  /// the target when `path` is a symbolic link), with the old file's permissions, renamed onto it
  /// by Commit, so a failure never leaves a half-written file and the old file survives; the
  /// temporary is removed also on SIGINT, SIGTERM and SIGHUP. Anything else is opened and written
  /// directly. Throws IoError.
  explicit Output(std::string path);
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  /// Writes all bytes; throws IoError when it cannot.
  void Write(std::string_view bytes);
  /// Puts the file in place; throws IoError when it cannot. Without it the old file stays.
  void Commit();

 private:
  void OpenInPlace();
  void OpenTemporary(const struct stat* old);
  [[noreturn]] void Fail(int error) const;

  std::string path_;    // as given, for messages
  std::string target_;  // what is replaced: `path_` with its symbolic links followed
  bool temporary_ = false;
  int fd_;
};

/// The size of the blocks read and written at once. Small enough that the buffers stay in the
/// cache and take few fresh pages, which cost more here than the extra system calls.
inline constexpr std::size_t kBlockSize = std::size_t{1} << 17;

}  // namespace tessaly::cli

#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include <tessaly/fault.h>

#include "engine/errors.h"

namespace tessaly {

/// The faults of one conversion as they happen, from any number of threads; the first is the one
/// its result carries.
class FaultLog {
 public:
  FaultLog() = default;
  FaultLog(const FaultLog&) = delete;
  FaultLog& operator=(const FaultLog&) = delete;

  /// Adds a fault.
  void Add(Fault fault);
  /// Adds what `error`, raised inside `routine`, means.
  void Add(std::string_view routine, const Error& error);

  /// Forgets every fault.
  void Clear();
  /// The first fault, if any.
  std::optional<Fault> First() const;
  /// Every fault so far, in the order they came.
  std::vector<Fault> All() const;

 private:
  mutable std::mutex mutex_;
  std::vector<Fault> faults_;
};

/// The fault of text that is not well-formed UTF-8 from `offset` of the input on.
Fault MalformedInputFault(std::string_view routine, std::size_t offset);

/// The kind of fault an engine error is.
FaultKind KindOf(const Error& error);

}  // namespace tessaly

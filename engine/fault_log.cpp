#include "engine/fault_log.h"

#include <string>
#include <utility>

namespace tessaly {

void FaultLog::Add(Fault fault) {
  const std::lock_guard lock(mutex_);
  faults_.push_back(std::move(fault));
}

void FaultLog::Add(std::string_view routine, const Error& error) {
  Fault fault;
  fault.routine = routine;
  fault.kind = KindOf(error);
  fault.detail = error.what();
  Add(std::move(fault));
}

std::optional<Fault> FaultLog::First() const {
  const std::lock_guard lock(mutex_);
  if (faults_.empty()) return std::nullopt;
  return faults_.front();
}

void FaultLog::Clear() {
  const std::lock_guard lock(mutex_);
  faults_.clear();
}

std::vector<Fault> FaultLog::All() const {
  const std::lock_guard lock(mutex_);
  return faults_;
}

Fault MalformedInputFault(std::string_view routine, std::size_t offset) {
  return Fault{{}, std::string(routine), FaultKind::MalformedInput, offset,
               "the input is not valid UTF-8"};
}

FaultKind KindOf(const Error& error) {
  if (dynamic_cast<const ChineseMappingUnavailable*>(&error)) return FaultKind::TablesUnavailable;
  if (dynamic_cast<const MalformedText*>(&error)) return FaultKind::MalformedInput;
  if (dynamic_cast<const MappingMismatch*>(&error)) return FaultKind::InternalMismatch;
  return FaultKind::LibraryFailure;
}

}  // namespace tessaly

namespace tessaly {

std::string_view NameOf(FaultKind kind) {
  switch (kind) {
    case FaultKind::MalformedInput:
      return "malformed-input";
    case FaultKind::TablesUnavailable:
      return "tables-unavailable";
    case FaultKind::LibraryFailure:
      return "library-failure";
    case FaultKind::InternalMismatch:
      return "internal-mismatch";
  }
  return "library-failure";
}

std::string Describe(const Fault& fault) {
  std::string line = fault.mode.empty() ? std::string() : fault.mode + ": ";
  switch (fault.kind) {
    case FaultKind::MalformedInput:
      return line + "the input is not valid UTF-8 (byte offset " + std::to_string(fault.offset) +
             ")";
    case FaultKind::TablesUnavailable:
      line += "the dictionaries cannot be loaded";
      break;
    case FaultKind::LibraryFailure:
      line += "the character-set conversion failed";
      break;
    case FaultKind::InternalMismatch:
      line += "the conversion did not cover the text";
      break;
  }
  if (!fault.detail.empty()) line += " (" + fault.detail + ")";
  // The Unicode modes fault under their own name and give nothing; the others give the text.
  return line + (fault.routine == fault.mode ? "; no output" : "; the text was left as it was");
}

}  // namespace tessaly

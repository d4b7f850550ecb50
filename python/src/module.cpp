// tessaly._tessaly: the converter for Python over the shared library's public API. Text crosses
// as UTF-8 copied out of the str objects while the GIL is held; conversions run without it.
#include <pybind11/pybind11.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tessaly/tessaly.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace {

// The exception and warning classes of tessaly/_errors.py, kept for the life of the process.
struct ErrorClasses {
  py::handle conversion_error;
  py::handle loss_error;
  py::handle loss_warning;
  py::handle warn;  // warnings.warn
};

ErrorClasses& Classes() {
  static ErrorClasses classes;
  return classes;
}

// ---------------------------------------------------------------------------------------------
// Text in and out.

// Writes `units` as UTF-8 at `out`; nullptr at a lone surrogate, which UTF-8 cannot hold.
template <typename Unit>
char* EncodeUnits(const Unit* units, Py_ssize_t count, char* out) {
  for (Py_ssize_t i = 0; i < count; ++i) {
    const std::uint32_t c = units[i];
    if (c < 0x80) {
      *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *out++ = static_cast<char>(0xC0 | c >> 6);
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      if (c >= 0xD800 && c < 0xE000) return nullptr;
      *out++ = static_cast<char>(0xE0 | c >> 12);
      *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *out++ = static_cast<char>(0xF0 | c >> 18);
      *out++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
      *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// A str made through Python's old Unicode API gets its compact form on first use.
void MakeReady(PyObject* text) {
#if PY_VERSION_HEX < 0x030C0000
  if (PyUnicode_READY(text) != 0) throw py::error_already_set();
#else
  (void)text;
#endif
}

// Appends the UTF-8 form of a str to `out` straight from its code units, so that no UTF-8 copy
// is made and cached on the object; false, having appended nothing, at a lone surrogate. Reads
// only the object's immutable data, so a thread without the GIL may call it on a ready str
// someone holds a reference to.
bool AppendUtf8Units(PyObject* text, std::string& out) {
  const Py_ssize_t length = PyUnicode_GET_LENGTH(text);
  const void* data = PyUnicode_DATA(text);
  if (PyUnicode_IS_ASCII(text)) {
    out.append(static_cast<const char*>(data), static_cast<std::size_t>(length));
    return true;
  }
  const int kind = PyUnicode_KIND(text);
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(length) * (kind == PyUnicode_1BYTE_KIND ? 2 : kind + 1));
  char* start = out.data() + at;
  char* end = nullptr;
  if (kind == PyUnicode_1BYTE_KIND) {
    end = EncodeUnits(static_cast<const Py_UCS1*>(data), length, start);
  } else if (kind == PyUnicode_2BYTE_KIND) {
    end = EncodeUnits(static_cast<const Py_UCS2*>(data), length, start);
  } else {
    end = EncodeUnits(static_cast<const Py_UCS4*>(data), length, start);
  }
  out.resize(end == nullptr ? at : static_cast<std::size_t>(end - out.data()));
  return end != nullptr;
}

// With the GIL: the codec raises the error Python users know, naming the position.
[[noreturn]] void RaiseUnencodable(PyObject* text) {
  Py_ssize_t size = 0;
  if (PyUnicode_AsUTF8AndSize(text, &size) == nullptr) throw py::error_already_set();
  throw std::logic_error("a surrogate the UTF-8 codec accepted");
}

// With the GIL: AppendUtf8Units, raising UnicodeEncodeError for a lone surrogate.
void AppendUtf8(PyObject* text, std::string& out) {
  if (!AppendUtf8Units(text, out)) RaiseUnencodable(text);
}

py::object TextObject(std::string_view utf8) {
  PyObject* text =
      PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "strict");
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(text);
}

// What a UTF-8 result becomes as a str: its length in code points and its largest one, found
// without the GIL so that making the str with it is an allocation and a copy.
struct TextShape {
  Py_ssize_t length = 0;
  Py_UCS4 max_char = 0;
  bool valid = true;
};

TextShape ShapeOf(std::string_view utf8) {
  TextShape shape;
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const auto* end = p + utf8.size();
  Py_UCS4 max_char = 0;
  while (p < end) {
    const unsigned char lead = *p;
    if (lead < 0x80) {
      ++p;
      ++shape.length;
      // Then eight ASCII bytes at a time: the Latin runs in Chinese text.
      for (std::uint64_t word; end - p >= 8; p += 8, shape.length += 8) {
        std::memcpy(&word, p, 8);
        if ((word & 0x8080808080808080u) != 0) break;
      }
      continue;
    }
    Py_UCS4 c = 0;
    if ((lead & 0xF0) == 0xE0) {  // the three bytes of every Chinese character
      if (end - p < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80) return {0, 0, false};
      c = (lead & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
      if (c < 0x800 || (c >= 0xD800 && c < 0xE000)) return {0, 0, false};
      p += 3;
    } else if (lead >= 0xC2 && lead < 0xE0) {
      if (end - p < 2 || (p[1] & 0xC0) != 0x80) return {0, 0, false};
      c = (lead & 0x1Fu) << 6 | (p[1] & 0x3Fu);
      p += 2;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      if (end - p < 4 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80)
        return {0, 0, false};
      c = (lead & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
      if (c < 0x10000 || c > 0x10FFFF) return {0, 0, false};
      p += 4;
    } else {
      return {0, 0, false};
    }
    max_char = std::max(max_char, c);
    ++shape.length;
  }
  shape.max_char = max_char;
  return shape;
}

template <typename Unit>
void DecodeInto(std::string_view utf8, Unit* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const auto* end = p + utf8.size();
  while (p < end) {
    const unsigned char lead = *p++;
    Py_UCS4 c = lead;
    if (lead >= 0xF0) {
      c = (lead & 0x07u) << 18 | (p[0] & 0x3Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
      p += 3;
    } else if (lead >= 0xE0) {
      c = (lead & 0x0Fu) << 12 | (p[0] & 0x3Fu) << 6 | (p[1] & 0x3Fu);
      p += 2;
    } else if (lead >= 0x80) {
      c = (lead & 0x1Fu) << 6 | (p[0] & 0x3Fu);
      p += 1;
    }
    *out++ = static_cast<Unit>(c);
  }
}

// A new str of the shape of `utf8`, filled already when it is ASCII (the same bytes).
py::object NewText(std::string_view utf8, const TextShape& shape) {
  PyObject* text = PyUnicode_New(shape.length, shape.max_char);
  if (text == nullptr) throw py::error_already_set();
  if (shape.max_char < 0x80) std::memcpy(PyUnicode_DATA(text), utf8.data(), utf8.size());
  return py::reinterpret_steal<py::object>(text);
}

// The str of UTF-8 whose shape is known; malformed UTF-8 raises as Python's codec does.
py::object ShapedText(std::string_view utf8, const TextShape& shape) {
  if (!shape.valid) return TextObject(utf8);
  py::object text = NewText(utf8, shape);
  void* data = PyUnicode_DATA(text.ptr());
  if (shape.max_char >= 0x80 && shape.max_char < 0x100) {
    DecodeInto(utf8, static_cast<Py_UCS1*>(data));
  } else if (shape.max_char >= 0x100 && shape.max_char < 0x10000) {
    DecodeInto(utf8, static_cast<Py_UCS2*>(data));
  } else if (shape.max_char >= 0x10000) {
    DecodeInto(utf8, static_cast<Py_UCS4*>(data));
  }
  return text;
}

// A batch's text result decoded without the GIL: its shape and, when every character is in the
// Basic Multilingual Plane, its code units at `units`, so that the str is an allocation and a
// copy. Otherwise (or for malformed UTF-8) `decoded` is false and ShapedText does the work.
struct DecodedText {
  TextShape shape;
  bool decoded = false;
};

DecodedText DecodeBmp(std::string_view utf8, Py_UCS2* units) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const auto* end = p + utf8.size();
  Py_UCS2* out = units;
  Py_UCS4 max_char = 0;
  while (p < end) {
    const unsigned char lead = *p;
    Py_UCS4 c = lead;
    if (lead < 0x80) {
      *out++ = lead;
      ++p;
      // Then eight ASCII bytes at a time: the Latin runs in Chinese text.
      for (std::uint64_t word; end - p >= 8; p += 8, out += 8) {
        std::memcpy(&word, p, 8);
        if ((word & 0x8080808080808080u) != 0) break;
        std::copy_n(p, 8, out);
      }
      max_char = std::max<Py_UCS4>(max_char, 0x7F);
      continue;
    }
    if ((lead & 0xF0) == 0xE0) {
      if (end - p < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80) break;
      c = (lead & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
      if (c < 0x800 || (c >= 0xD800 && c < 0xE000)) break;
      p += 3;
    } else if (lead >= 0xC2 && lead < 0xE0) {
      if (end - p < 2 || (p[1] & 0xC0) != 0x80) break;
      c = (lead & 0x1Fu) << 6 | (p[1] & 0x3Fu);
      p += 2;
    } else {
      break;  // beyond the plane, or malformed
    }
    max_char = std::max(max_char, c);
    *out++ = static_cast<Py_UCS2>(c);
  }
  if (p != end) return {ShapeOf(utf8), false};
  return {{out - units, max_char, true}, true};
}

// The str of a decoded text.
py::object DecodedObject(std::string_view utf8, const TextShape& shape, const Py_UCS2* units) {
  py::object text = NewText(utf8, shape);
  void* data = PyUnicode_DATA(text.ptr());
  if (shape.max_char >= 0x100) {
    std::memcpy(data, units, static_cast<std::size_t>(shape.length) * sizeof(Py_UCS2));
  } else if (shape.max_char >= 0x80) {
    std::copy_n(units, shape.length, static_cast<Py_UCS1*>(data));
  }
  return text;
}

py::object BytesObject(std::string_view bytes) {
  PyObject* object = PyBytes_FromStringAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size()));
  if (object == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(object);
}

std::string TypeName(py::handle object) {
  return Py_TYPE(object.ptr())->tp_name;
}

// ---------------------------------------------------------------------------------------------
// Losses and faults, as Python warnings and exceptions.

struct Loss {
  std::string_view kind;
  std::size_t count;
  std::size_t first_offset;
  std::optional<std::size_t> index;  // the batch item it was first seen in
  std::string message;
};

// Every loss of one report, a line each in the words tessaly-cli uses. `target`: the encoding
// whose lacking characters became "?"; `chars`: the lost pieces are characters, not bytes.
void DescribeLosses(const tessaly::LossReport& report,
                    const std::array<std::optional<std::size_t>, tessaly::kLossKindCount>& items,
                    std::string_view target, bool chars, std::vector<Loss>& out) {
  for (std::size_t k = 0; k < tessaly::kLossKindCount; ++k) {
    const auto kind = static_cast<tessaly::LossKind>(k);
    const tessaly::LossRecord& r = report[kind];
    if (r.count == 0) continue;
    const std::string where = items[k] ? " of item " + std::to_string(*items[k]) : std::string();
    std::string message = tessaly::Describe(
        kind, r, {target, chars, where, "convert bytes to keep them as they are"});
    out.push_back({tessaly::NameOf(kind), r.count, r.first_offset, items[k], std::move(message)});
  }
}

py::object IndexObject(std::optional<std::size_t> index) {
  return index ? py::object(py::int_(*index)) : py::object(py::none());
}

[[noreturn]] void RaiseFault(const tessaly::Fault& fault, std::optional<std::size_t> index) {
  std::string message = tessaly::Describe(fault);
  if (index) message = "item " + std::to_string(*index) + ": " + message;
  const py::object error = Classes().conversion_error(
      message, py::arg("kind") = tessaly::NameOf(fault.kind), py::arg("mode") = fault.mode,
      py::arg("routine") = fault.routine, py::arg("offset") = fault.offset,
      py::arg("detail") = fault.detail, py::arg("index") = IndexObject(index));
  PyErr_SetObject(Classes().conversion_error.ptr(), error.ptr());
  throw py::error_already_set();
}

// Under strict, the first loss as LossError naming them all; else a LossWarning each.
void DeliverLosses(const std::vector<Loss>& losses, bool strict) {
  if (losses.empty()) return;
  if (strict) {
    std::string message = losses.front().message;
    for (std::size_t i = 1; i < losses.size(); ++i) message += "; " + losses[i].message;
    const Loss& first = losses.front();
    const py::object error = Classes().loss_error(
        message, py::arg("count") = first.count, py::arg("kind") = first.kind,
        py::arg("first_offset") = first.first_offset, py::arg("index") = IndexObject(first.index));
    PyErr_SetObject(Classes().loss_error.ptr(), error.ptr());
    throw py::error_already_set();
  }
  for (const Loss& loss : losses) {
    // Issued from C, a warning at stack level 1 points at the Python line that called.
    Classes().warn(Classes().loss_warning(loss.message, py::arg("count") = loss.count,
                                          py::arg("kind") = loss.kind,
                                          py::arg("first_offset") = loss.first_offset,
                                          py::arg("index") = IndexObject(loss.index)),
                   py::arg("stacklevel") = 1);
  }
}

// ---------------------------------------------------------------------------------------------
// The converter.

std::string KeyString(const py::tuple& key, std::size_t i) {
  return py::cast<std::string>(key[i]);
}

class PyConverter {
 public:
  // `key`: the options as tessaly/__init__.py normalises them, which is also how a converter
  // pickles: (mode, encoding, data, phrases, phrase_text, separator, deletions, newlines,
  // strict, seed, cache).
  explicit PyConverter(py::tuple key) : key_(std::move(key)) {
    if (key_.size() != 11) throw py::value_error("a converter's key has 11 options");
    tessaly::Options options;
    options.mode = KeyString(key_, 0);
    options.encoding = KeyString(key_, 1);
    options.data = KeyString(key_, 2);
    options.phrases = KeyString(key_, 3);
    options.phrase_text = KeyString(key_, 4);
    options.separator = KeyString(key_, 5);
    options.deletions = KeyString(key_, 6);
    options.newlines = KeyString(key_, 7);
    strict_ = py::cast<bool>(key_[8]);
    if (!key_[9].is_none()) options.seed = py::cast<std::uint32_t>(key_[9]);
    const bool default_cache = key_[10].is_none();
    if (!default_cache) options.cache_directory = KeyString(key_, 10);
    {
      // Loading a standard's dictionaries the first time takes a while: other threads run.
      py::gil_scoped_release release;
      if (default_cache) options.cache_directory = tessaly::DefaultCacheDirectory();
      converter_.emplace(options);
    }
    const tessaly::ModeDescription& mode = converter_->mode();
    std::string_view working = converter_->encoding();
    for (const tessaly::EncodingDescription& encoding : tessaly::Encodings())
      if (encoding.name == working) working = encoding.label;
    target_ = mode.output_encoding.empty() ? working : mode.output_encoding;
  }

  const tessaly::Converter& converter() const { return *converter_; }

  // The same conversion on the calling thread alone, long texts too (made on first use; the
  // dictionaries are shared).
  const tessaly::Converter& single_thread() const {
    std::call_once(single_made_, [this] {
      tessaly::Options options = converter_->options();
      options.threads = 1;
      single_.emplace(options);
    });
    return *single_;
  }
  const py::tuple& key() const { return key_; }
  bool strict() const { return strict_; }

  // A fault raises ConversionError; losses warn, or raise LossError under strict.
  void Check(const tessaly::Result& result, bool text, std::optional<std::size_t> index) const {
    if (result.fault) RaiseFault(*result.fault, index);
    if (result.losses.empty() && result.input_losses.empty()) return;
    std::vector<Loss> losses;
    std::array<std::optional<std::size_t>, tessaly::kLossKindCount> items;
    items.fill(index);
    Describe(result.input_losses, result.losses, items, items, text, losses);
    DeliverLosses(losses, strict_);
  }

  void Describe(const tessaly::LossReport& input_losses, const tessaly::LossReport& losses,
                const std::array<std::optional<std::size_t>, tessaly::kLossKindCount>& input_items,
                const std::array<std::optional<std::size_t>, tessaly::kLossKindCount>& items,
                bool text, std::vector<Loss>& out) const {
    const tessaly::ModeDescription& mode = converter_->mode();
    const bool chars = text || mode.reads == tessaly::Reads::Listing;
    // Characters the text's own encoding lacks are named after it, not after the result's.
    DescribeLosses(input_losses, input_items, mode.text_encoding, chars, out);
    DescribeLosses(losses, items, target_, chars, out);
  }

 private:
  py::tuple key_;
  std::optional<tessaly::Converter> converter_;
  mutable std::once_flag single_made_;
  mutable std::optional<tessaly::Converter> single_;
  bool strict_ = false;
  std::string_view target_;  // the encoding whose lacking characters become "?"
};

// The calling thread's buffer for a single text's UTF-8, kept from call to call.
std::string& ScratchBuffer() {
  thread_local std::string buffer;
  if (buffer.capacity() > (std::size_t{1} << 20)) buffer = std::string();
  buffer.clear();
  return buffer;
}

// UTF-8 text through `converter` without the GIL, with the shape of the result's str.
tessaly::Result ConvertReleased(const tessaly::Converter& converter, std::string_view utf8,
                                TextShape& shape) {
  py::gil_scoped_release release;
  tessaly::Result out = converter.ConvertText(utf8);
  shape = ShapeOf(out.bytes);
  return out;
}

py::object Convert(const PyConverter& self, py::handle input) {
  PyObject* object = input.ptr();
  if (PyUnicode_Check(object)) {
    MakeReady(object);
    std::string_view utf8;
    std::string* scratch = nullptr;
    if (PyUnicode_IS_ASCII(object)) {
      utf8 = {static_cast<const char*>(PyUnicode_DATA(object)),
              static_cast<std::size_t>(PyUnicode_GET_LENGTH(object))};
    } else {
      scratch = &ScratchBuffer();
      AppendUtf8(object, *scratch);
      utf8 = *scratch;
    }
    TextShape shape;
    const tessaly::Result converted = ConvertReleased(self.converter(), utf8, shape);
    self.Check(converted, true, std::nullopt);
    return ShapedText(converted.bytes, shape);
  }
  if (PyObject_CheckBuffer(object) == 0)
    throw py::type_error("convert() takes str or bytes, not " + TypeName(input));
  Py_buffer view;
  if (PyObject_GetBuffer(object, &view, PyBUF_SIMPLE) != 0) throw py::error_already_set();
  tessaly::Result result;
  try {
    py::gil_scoped_release release;
    result = self.converter().Convert(
        std::string_view(static_cast<const char*>(view.buf), static_cast<std::size_t>(view.len)));
  } catch (...) {
    PyBuffer_Release(&view);
    throw;
  }
  PyBuffer_Release(&view);
  self.Check(result, false, std::nullopt);
  return BytesObject(result.bytes);
}

// UTF-8 bytes converted as text on the calling thread alone, the str of the result: a block of a
// file needs no str of its own on the way in. None where the bytes are not UTF-8, so that the
// caller's decoding raises the error Python users know.
py::object ConvertUtf8Text(const PyConverter& self, const py::bytes& data) {
  const std::string_view utf8(PyBytes_AS_STRING(data.ptr()),
                              static_cast<std::size_t>(PyBytes_GET_SIZE(data.ptr())));
  TextShape shape;
  const tessaly::Result converted = ConvertReleased(self.single_thread(), utf8, shape);
  if (converted.fault && converted.fault->kind == tessaly::FaultKind::MalformedInput)
    return py::none();
  self.Check(converted, true, std::nullopt);
  return ShapedText(converted.bytes, shape);
}

// ---------------------------------------------------------------------------------------------
// Batches.
//
// A batch is cut into chunks of about kChunkBytes of input. It holds a reference to each of its
// items while it lasts (those of a list, which another thread may change, one by one), and str
// and bytes are immutable, so each chunk's UTF-8 is copied out of its objects
// by the thread that converts it, without the GIL. Only a bytearray, which another thread may
// resize, makes the calling thread copy every chunk with the GIL held first (the helpers convert
// the chunks it has copied meanwhile). Every few chunks that are done in order, the calling
// thread takes the GIL back to make their results, so the one part that needs the GIL overlaps
// the helpers' conversions instead of adding to them.

enum class ItemKind : std::uint8_t { None, Text, Bytes };

constexpr std::size_t kChunkBytes = std::size_t{1} << 16;
// Results are made once this many chunks are done, so that the GIL is taken back seldom.
constexpr std::size_t kBuildEvery = 16;
// Buffers kept for reuse: about what the chunks converted or waiting to be built hold.
constexpr std::size_t kSpareBuffers = 2 * kBuildEvery + 8;

struct Chunk {
  std::size_t begin = 0;  // the chunk's first item
  std::size_t end = 0;
  std::string input;
  std::vector<std::size_t> starts;         // one more than the items
  std::optional<std::size_t> unencodable;  // the first item UTF-8 cannot hold; nothing converted
  tessaly::BatchResult converted;          // notes index the items from `begin`
  std::vector<DecodedText> texts;          // each item's, for text
  std::unique_ptr<Py_UCS2[]> units;        // the decoded texts' code units, one after another
  std::exception_ptr error;
  std::atomic<bool> done{false};
};

// The batch shared between the calling thread and its helpers.
class Batch {
 public:
  // With the GIL: the items of `sequence`, a list or a tuple held while the batch lasts. Raises
  // TypeError at an item that is not str, bytes, bytearray or None.
  explicit Batch(PyObject* sequence)
      : items_(PySequence_Fast_ITEMS(sequence)),
        kinds_(static_cast<std::size_t>(PySequence_Fast_GET_SIZE(sequence))) {
    if (PyList_Check(sequence)) owned_.reserve(kinds_.size());
    try {
      PlanChunks(kinds_.size(), PyList_Check(sequence));
    } catch (...) {
      for (PyObject* item : owned_) Py_DECREF(item);
      throw;
    }
    if (!owned_.empty()) items_ = owned_.data();
  }
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;
  // With the GIL.
  ~Batch() {
    for (std::size_t i = released_; i < owned_.size(); ++i) Py_DECREF(owned_[i]);
  }

  // With the GIL, once chunk `k` is built: its items' references, where the batch took them.
  void Release(const Chunk& chunk) {
    if (owned_.empty()) return;
    for (std::size_t i = released_; i < chunk.end; ++i) Py_DECREF(owned_[i]);
    released_ = std::max(released_, chunk.end);
  }

  std::size_t chunk_count() const { return chunk_count_; }
  std::size_t bytes() const { return bytes_; }
  const std::vector<ItemKind>& kinds() const { return kinds_; }
  Chunk& chunk(std::size_t k) { return chunks_[k]; }
  PyObject* item(std::size_t i) const { return items_[i]; }
  bool gathers_with_gil() const { return gathers_with_gil_; }

  // With the GIL, for a batch that holds a bytearray: copies chunk `k`'s items out of their
  // objects, and lets the helpers have it.
  void GatherWithGil(std::size_t k) {
    Gather(chunks_[k]);
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      gathered_ = k + 1;
    }
    gathered_changed_.notify_all();
  }

  // A cleared buffer whose memory an earlier chunk used, else a new one: memory a chunk freed
  // would often go back to the system and fault in again for the next.
  std::string TakeBuffer() {
    const std::lock_guard<std::mutex> lock(buffers_mutex_);
    if (buffers_.empty()) return {};
    std::string buffer = std::move(buffers_.back());
    buffers_.pop_back();
    return buffer;
  }

  void GiveBuffer(std::string buffer) {
    buffer.clear();
    const std::lock_guard<std::mutex> lock(buffers_mutex_);
    if (buffers_.size() < kSpareBuffers) buffers_.push_back(std::move(buffer));
  }

  // Ends the helpers' waits for chunks that will never be gathered.
  void Abandon() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      abandoned_ = true;
    }
    gathered_changed_.notify_all();
  }

  // The next chunk nobody converts yet, once it is gathered; nullopt when none is left.
  std::optional<std::size_t> Claim() {
    const std::size_t k = next_.fetch_add(1);
    if (k >= chunk_count_) return std::nullopt;
    if (!gathers_with_gil_) return k;
    std::unique_lock<std::mutex> lock(mutex_);
    gathered_changed_.wait(lock, [&] { return gathered_ > k || abandoned_; });
    if (gathered_ <= k) return std::nullopt;
    return k;
  }

  void Convert(const tessaly::Converter& converter, std::size_t k) {
    Chunk& chunk = chunks_[k];
    try {
      if (!gathers_with_gil_) Gather(chunk);
      if (chunk.unencodable) {
        chunk.done.store(true, std::memory_order_release);
        return;
      }
      chunk.converted.bytes = TakeBuffer();
      chunk.converted.bytes.reserve(chunk.input.size() + chunk.input.size() / 4 + 64);
      chunk.converted.ends.reserve(chunk.end - chunk.begin);
      std::vector<std::string_view> run;
      // Neighbouring items of one kind convert in one call; None gives no output.
      for (std::size_t i = chunk.begin; i < chunk.end;) {
        const ItemKind kind = kinds_[i];
        std::size_t to = i;
        for (; to < chunk.end && kinds_[to] == kind; ++to) {
          const std::size_t j = to - chunk.begin;
          run.emplace_back(std::string_view(chunk.input)
                               .substr(chunk.starts[j], chunk.starts[j + 1] - chunk.starts[j]));
        }
        if (kind == ItemKind::None) {
          chunk.converted.ends.insert(chunk.converted.ends.end(), to - i,
                                      chunk.converted.bytes.size());
        } else {
          converter.ConvertBatch(
              run, kind == ItemKind::Text ? tessaly::Input::Text : tessaly::Input::Bytes,
              chunk.converted);
        }
        run.clear();
        i = to;
      }
      Decode(chunk);
    } catch (...) {
      chunk.error = std::current_exception();
    }
    GiveBuffer(std::move(chunk.input));
    chunk.done.store(true, std::memory_order_release);
  }

  // Claims and converts chunks until none is left.
  void Work(const tessaly::Converter& converter) {
    while (const auto k = Claim()) Convert(converter, *k);
  }

 private:
  // The chunk's items as one buffer of UTF-8 and bytes; stops at a str that UTF-8 cannot hold.
  void Gather(Chunk& chunk) {
    chunk.input = TakeBuffer();
    chunk.starts.reserve(chunk.end - chunk.begin + 1);
    for (std::size_t i = chunk.begin; i < chunk.end; ++i) {
      PyObject* item = items_[i];
      chunk.starts.push_back(chunk.input.size());
      if (kinds_[i] == ItemKind::Text) {
        if (!AppendUtf8Units(item, chunk.input)) {
          chunk.unencodable = i;
          return;
        }
      } else if (PyBytes_Check(item)) {
        chunk.input.append(PyBytes_AS_STRING(item),
                           static_cast<std::size_t>(PyBytes_GET_SIZE(item)));
      } else if (PyByteArray_Check(item)) {
        chunk.input.append(PyByteArray_AS_STRING(item),
                           static_cast<std::size_t>(PyByteArray_GET_SIZE(item)));
      }
    }
    chunk.starts.push_back(chunk.input.size());
  }

  // Each text item decoded for its str, here without the GIL.
  void Decode(Chunk& chunk) const {
    const std::string_view bytes = chunk.converted.bytes;
    chunk.texts.resize(chunk.end - chunk.begin);
    chunk.units = std::make_unique_for_overwrite<Py_UCS2[]>(bytes.size());
    std::size_t from = 0;
    Py_UCS2* units = chunk.units.get();
    for (std::size_t j = 0; j < chunk.texts.size(); ++j) {
      const std::size_t to = chunk.converted.ends[j];
      if (kinds_[chunk.begin + j] == ItemKind::Text) {
        chunk.texts[j] = DecodeBmp(bytes.substr(from, to - from), units);
        if (chunk.texts[j].decoded) units += chunk.texts[j].shape.length;
      }
      from = to;
    }
  }

  // Chunk boundaries from an upper bound of each item's UTF-8 size, known without encoding.
  // `own`: the items are a list's, taken one by one here.
  void PlanChunks(std::size_t count, bool own) {
    std::vector<std::size_t> bounds{0};
    std::size_t in_chunk = 0;
    for (std::size_t i = 0; i < count; ++i) {
      PyObject* item = items_[i];
      if (own) owned_.push_back(Py_NewRef(item));
      std::size_t size = 0;
      if (item == Py_None) {
        kinds_[i] = ItemKind::None;
      } else if (PyUnicode_Check(item)) {
        kinds_[i] = ItemKind::Text;
        MakeReady(item);
        const auto length = static_cast<std::size_t>(PyUnicode_GET_LENGTH(item));
        size = PyUnicode_IS_ASCII(item) ? length : length * (PyUnicode_KIND(item) + 1);
      } else if (PyBytes_Check(item)) {
        kinds_[i] = ItemKind::Bytes;
        size = static_cast<std::size_t>(PyBytes_GET_SIZE(item));
      } else if (PyByteArray_Check(item)) {
        kinds_[i] = ItemKind::Bytes;
        gathers_with_gil_ = true;
        size = static_cast<std::size_t>(PyByteArray_GET_SIZE(item));
      } else {
        throw py::type_error("convert_batch() item " + std::to_string(i) +
                             " is not str, bytes or None but " + TypeName(item));
      }
      bytes_ += size;
      in_chunk += size;
      if (in_chunk >= kChunkBytes) {
        bounds.push_back(i + 1);
        in_chunk = 0;
      }
    }
    if (bounds.back() != count) bounds.push_back(count);
    chunk_count_ = bounds.size() - 1;
    chunks_ = std::make_unique<Chunk[]>(chunk_count_);
    for (std::size_t k = 0; k < chunk_count_; ++k) {
      chunks_[k].begin = bounds[k];
      chunks_[k].end = bounds[k + 1];
    }
  }

  PyObject** items_;
  std::vector<PyObject*> owned_;  // references taken to a list's items
  std::size_t released_ = 0;      // owned_ up to here is released
  std::vector<ItemKind> kinds_;
  std::size_t bytes_ = 0;
  std::size_t chunk_count_ = 0;
  std::unique_ptr<Chunk[]> chunks_;
  std::atomic<std::size_t> next_{0};
  std::mutex buffers_mutex_;
  std::vector<std::string> buffers_;
  std::mutex mutex_;
  std::condition_variable gathered_changed_;
  std::size_t gathered_ = 0;
  bool abandoned_ = false;
  bool gathers_with_gil_ = false;  // a bytearray is among the items
};

unsigned UsableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return std::max(1u, std::thread::hardware_concurrency());
}

// A thread is worth starting for this much input at least.
constexpr std::size_t kBytesPerThread = std::size_t{1} << 18;

std::size_t ThreadCount(const py::object& threads, const Batch& batch) {
  std::size_t count = 1;
  if (threads.is_none()) {
    count = std::min<std::size_t>(UsableCores(),
                                  std::max<std::size_t>(1, batch.bytes() / kBytesPerThread));
  } else {
    const long asked = py::cast<long>(threads);
    if (asked < 1) throw py::value_error("threads must be at least 1, or None for every core");
    count = static_cast<std::size_t>(asked);
  }
  return std::max<std::size_t>(1, std::min(count, batch.chunk_count()));
}

// The helper threads of one batch, joined however the batch ends.
class Helpers {
 public:
  Helpers(Batch& batch, const tessaly::Converter& converter, std::size_t count) : batch_(batch) {
    try {
      for (std::size_t t = 0; t < count; ++t)
        threads_.emplace_back([&batch, &converter] { batch.Work(converter); });
    } catch (const std::system_error&) {
      // Fewer threads than asked: those there are do the work.
    }
  }
  ~Helpers() { Join(); }
  void Join() {
    if (threads_.empty()) return;
    batch_.Abandon();
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
  }

 private:
  Batch& batch_;
  std::vector<std::thread> threads_;
};

// Losses of a whole batch: each kind counted over every item, the first one found named with
// the item it is in.
struct BatchLosses {
  tessaly::LossReport input_losses;
  tessaly::LossReport losses;
  std::array<std::optional<std::size_t>, tessaly::kLossKindCount> input_items;
  std::array<std::optional<std::size_t>, tessaly::kLossKindCount> items;

  static void Add(const tessaly::LossReport& from, std::size_t index, tessaly::LossReport& into,
                  std::array<std::optional<std::size_t>, tessaly::kLossKindCount>& where) {
    for (std::size_t k = 0; k < tessaly::kLossKindCount; ++k) {
      const auto kind = static_cast<tessaly::LossKind>(k);
      const tessaly::LossRecord& record = from[kind];
      if (record.count == 0) continue;
      if (!where[k]) {
        into[kind] = record;
        where[k] = index;
      } else {
        into[kind].count += record.count;
      }
    }
  }
};

// With the GIL: the results of a converted chunk into the list.
void Build(Batch& batch, Chunk& chunk, PyObject* results) {
  if (chunk.unencodable) RaiseUnencodable(batch.item(*chunk.unencodable));
  const std::string_view bytes = chunk.converted.bytes;
  std::size_t from = 0;
  const Py_UCS2* units = chunk.units.get();
  for (std::size_t i = chunk.begin; i < chunk.end; ++i) {
    const std::size_t j = i - chunk.begin;
    const std::size_t to = chunk.converted.ends[j];
    const std::string_view out = bytes.substr(from, to - from);
    from = to;
    PyObject* item = nullptr;
    switch (batch.kinds()[i]) {
      case ItemKind::None:
        item = Py_NewRef(Py_None);
        break;
      case ItemKind::Text: {
        const DecodedText& text = chunk.texts[j];
        if (text.decoded) {
          item = DecodedObject(out, text.shape, units).release().ptr();
          units += text.shape.length;
        } else {
          item = ShapedText(out, text.shape).release().ptr();
        }
        break;
      }
      case ItemKind::Bytes:
        item = BytesObject(out).release().ptr();
        break;
    }
    PyList_SET_ITEM(results, static_cast<Py_ssize_t>(i), item);
  }
  batch.Release(chunk);
  // What is left of a built chunk is its notes; its buffers serve the next chunks.
  batch.GiveBuffer(std::move(chunk.converted.bytes));
  chunk.converted.ends = std::vector<std::size_t>();
  chunk.texts = std::vector<DecodedText>();
  chunk.units.reset();
  chunk.starts = std::vector<std::size_t>();
}

py::list ConvertBatch(const PyConverter& self, py::handle texts, const py::object& threads) {
  PyObject* sequence =
      PySequence_Fast(texts.ptr(), "convert_batch() takes a sequence of str, bytes or None");
  if (sequence == nullptr) throw py::error_already_set();
  const py::object held = py::reinterpret_steal<py::object>(sequence);
  const Py_ssize_t count = PySequence_Fast_GET_SIZE(sequence);
  // The list is private until it is returned, so it may hold no item until it is whole.
  py::list results(count);
  Batch batch(sequence);
  const std::size_t thread_count = ThreadCount(threads, batch);
  // One thread asked for is one thread in all: a long item does not spread over more.
  const tessaly::Converter& converter =
      !threads.is_none() && py::cast<long>(threads) == 1 ? self.single_thread() : self.converter();
  Helpers helpers(batch, converter, thread_count - 1);
  if (batch.gathers_with_gil())
    for (std::size_t k = 0; k < batch.chunk_count(); ++k) batch.GatherWithGil(k);
  std::size_t built = 0;
  const auto done = [&batch](std::size_t k) {
    return batch.chunk(k).done.load(std::memory_order_acquire);
  };
  const auto build_ready = [&] {
    for (; built < batch.chunk_count() && done(built); ++built) {
      Chunk& chunk = batch.chunk(built);
      if (chunk.error) std::rethrow_exception(chunk.error);
      Build(batch, chunk, results.ptr());
    }
  };
  {
    py::gil_scoped_release release;
    for (;;) {
      std::size_t ready = 0;
      while (built + ready < batch.chunk_count() && ready < kBuildEvery && done(built + ready))
        ++ready;
      if (ready == kBuildEvery) {
        py::gil_scoped_acquire acquire;
        build_ready();
        continue;
      }
      const auto k = batch.Claim();
      if (!k) break;
      batch.Convert(converter, *k);
    }
    helpers.Join();
  }
  build_ready();
  BatchLosses losses;
  bool any_text = false;
  for (std::size_t k = 0; k < batch.chunk_count(); ++k) {
    const Chunk& chunk = batch.chunk(k);
    for (const auto& [item, result] : chunk.converted.notes) {
      const std::size_t index = chunk.begin + item;
      if (result.fault) RaiseFault(*result.fault, index);
      BatchLosses::Add(result.input_losses, index, losses.input_losses, losses.input_items);
      BatchLosses::Add(result.losses, index, losses.losses, losses.items);
    }
  }
  if (!losses.input_losses.empty() || !losses.losses.empty()) {
    // A batch of bytes only describes bytes; any text in it makes the pieces characters.
    any_text = std::find(batch.kinds().begin(), batch.kinds().end(), ItemKind::Text) !=
               batch.kinds().end();
    std::vector<Loss> described;
    self.Describe(losses.input_losses, losses.losses, losses.input_items, losses.items, any_text,
                  described);
    DeliverLosses(described, self.strict());
  }
  return results;
}

// ---------------------------------------------------------------------------------------------
// Files.

constexpr std::size_t kFileBlock = std::size_t{1} << 20;

struct FileFailure {
  int error = 0;
  std::string path;
};

// The temporary file a result is written to beside its destination; removed unless renamed.
class TemporaryFile {
 public:
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }

  bool Create(const std::string& destination) {
    std::string name = destination + ".XXXXXX";
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) return false;
    path_ = std::move(name);
    return true;
  }

  int fd() const { return fd_; }

  bool Write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t put = ::write(fd_, bytes.data(), bytes.size());
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
  }

  // Durable, then in place of `destination`.
  bool Commit(const std::string& destination) {
    if (::fsync(fd_) != 0) return false;
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) return false;
    if (::rename(path_.c_str(), destination.c_str()) != 0) return false;
    path_.clear();
    return true;
  }

 private:
  int fd_ = -1;
  std::string path_;
};

// The process's umask without changing it (umask(2) would, for every thread at once).
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("Umask:", 0) == 0)
      return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  return 022;
}

// A replaced file keeps its permissions and, where the user may, its owner; a new one gets
// those any new file would.
void SetPermissions(int fd, const std::string& destination) {
  struct stat old {};
  if (::stat(destination.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid);
    ::fchmod(fd, old.st_mode & 07777);
    return;
  }
  ::fchmod(fd, 0666 & ~CurrentUmask());
}

[[noreturn]] void RaiseOsError(const FileFailure& failure) {
  errno = failure.error;
  PyErr_SetFromErrnoWithFilename(PyExc_OSError, failure.path.c_str());
  throw py::error_already_set();
}

class InputFile {
 public:
  ~InputFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Open(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd_ >= 0;
  }
  std::optional<std::size_t> Size() const {
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<std::size_t>(info.st_size);
  }
  // Fills `block` with up to its capacity; false at the end or on an error (errno set).
  bool Read(std::string& block, bool& failed) {
    block.resize(kFileBlock);
    std::size_t got = 0;
    while (got < block.size()) {
      const ssize_t n = ::read(fd_, block.data() + got, block.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        failed = true;
        return false;
      }
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    block.resize(got);
    return got != 0;
  }

 private:
  int fd_ = -1;
};

void ConvertFile(const PyConverter& self, const std::string& source, const std::string& destination,
                 bool raw) {
  tessaly::Stream stream =
      self.converter().Open(raw ? tessaly::Input::Bytes : tessaly::Input::Text);
  const bool reads = self.converter().mode().reads != tessaly::Reads::Nothing;
  TemporaryFile output;
  InputFile input;
  FileFailure failure;
  tessaly::Result result;
  bool interrupted = false;
  {
    py::gil_scoped_release release;
    const auto fail = [&failure](const std::string& path) {
      failure = {errno, path};
      return false;
    };
    const auto run = [&]() -> bool {
      if (reads && !input.Open(source)) return fail(source);
      if (!output.Create(destination)) return fail(destination);
      if (!reads) return true;
      if (const auto size = input.Size()) stream.Reserve(*size);
      std::string block;
      std::string converted;
      bool failed = false;
      while (input.Read(block, failed)) {
        converted.clear();
        stream.Feed(block, converted);
        if (!output.Write(converted)) return fail(destination);
        // A long file can be interrupted (Ctrl+C) between two blocks.
        py::gil_scoped_acquire acquire;
        if (PyErr_CheckSignals() != 0) {
          interrupted = true;
          return false;
        }
      }
      if (failed) return fail(source);
      return true;
    };
    if (run()) {
      result = stream.Finish();
      if (!output.Write(result.bytes)) fail(destination);
    }
  }
  if (interrupted) throw py::error_already_set();
  if (failure.error != 0) RaiseOsError(failure);
  if (result.fault) RaiseFault(*result.fault, std::nullopt);
  const bool lost = !result.losses.empty() || !result.input_losses.empty();
  // Under strict a loss is a failure, so the destination stays as it was.
  if (lost && self.strict()) self.Check(result, !raw, std::nullopt);
  bool committed = false;
  {
    py::gil_scoped_release release;
    SetPermissions(output.fd(), destination);
    committed = output.Commit(destination);
    if (!committed) failure = {errno, destination};
  }
  if (!committed) RaiseOsError(failure);
  if (lost) self.Check(result, !raw, std::nullopt);
}

// The converter behind `self`. One whose __init__ raised (reachable still, from the traceback's
// frames) or never ran holds no value, and pybind11 would hand a method uninitialised memory
// for it; so every method of the class starts here.
const PyConverter& Made(py::handle self) {
  if (!py::isinstance<PyConverter>(self))
    throw py::type_error("a tessaly.Converter's method called on " + TypeName(self));
  auto* instance = reinterpret_cast<py::detail::instance*>(self.ptr());
  const py::detail::value_and_holder held =
      instance->get_value_and_holder(py::detail::get_type_info(typeid(PyConverter)));
  if (!held.holder_constructed())
    throw py::value_error(
        "this tessaly.Converter was never made: its __init__ raised or was not called");
  return *held.value_ptr<PyConverter>();
}

py::list ModeNames() {
  py::list names;
  for (const tessaly::ModeDescription& mode : tessaly::Modes())
    names.append(std::string(mode.name));
  return names;
}

py::list EncodingNames() {
  py::list names;
  for (const tessaly::EncodingDescription& encoding : tessaly::Encodings())
    names.append(std::string(encoding.name));
  return names;
}

py::dict ModeInfo(const std::string& name) {
  for (const tessaly::ModeDescription& mode : tessaly::Modes()) {
    if (mode.name != name) continue;
    static constexpr std::array<const char*, 4> kReads = {"text", "any-text", "listing", "nothing"};
    py::dict info;
    info["name"] = std::string(mode.name);
    info["description"] = std::string(mode.description);
    info["reads"] = kReads[static_cast<std::size_t>(mode.reads)];
    info["writes_listing"] = mode.writes_listing;
    info["takes_phrases"] = mode.takes_phrases;
    return info;
  }
  throw py::value_error("no mode '" + name + "'");
}

}  // namespace

PYBIND11_MODULE(_tessaly, m) {
  m.doc() = "The native part of the tessaly package; use the package itself.";
  py::options options;
  options.disable_function_signatures();

  const py::module_ errors = py::module_::import("tessaly._errors");
  ErrorClasses& classes = Classes();
  classes.conversion_error = py::object(errors.attr("ConversionError")).release();
  classes.loss_error = py::object(errors.attr("LossError")).release();
  classes.loss_warning = py::object(errors.attr("LossWarning")).release();
  classes.warn = py::object(py::module_::import("warnings").attr("warn")).release();

  // A word the library does not know is the caller's value; so is a phrase file it cannot use
  // (one that cannot be opened is refused as OSError before it gets here).
  py::register_exception_translator([](std::exception_ptr error) {
    try {
      if (error) std::rethrow_exception(error);
    } catch (const tessaly::InvalidOption& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const tessaly::UserPhrasesError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    }
  });

  py::class_<PyConverter>(m, "_Converter")
      // A second __init__ on a made converter is ignored by pybind11: it never changes.
      .def(py::init<py::tuple>(), py::arg("key"))
      .def(
          "convert", [](py::handle self, py::handle data) { return Convert(Made(self), data); },
          py::arg("data"),
          "convert(data)\n--\n\n"
          "Converts a str (UTF-8 text, as tessaly-cli without --raw) and returns a str, or\n"
          "bytes of the working encoding (as tessaly-cli --raw) and returns bytes. The GIL\n"
          "is released while it converts.")
      .def(
          "convert_batch",
          [](py::handle self, py::handle texts, const py::object& threads) {
            return ConvertBatch(Made(self), texts, threads);
          },
          py::arg("texts"), py::kw_only(), py::arg("threads") = py::none(),
          "convert_batch(texts, *, threads=None)\n--\n\n"
          "Converts every item of a sequence of str, bytes or None and returns a list of\n"
          "the results in the same order; None stays None. The items are converted without\n"
          "the GIL on `threads` threads (None: every usable core, one for small batches;\n"
          "threads=1: the calling thread alone, a long item too),\n"
          "in runs of neighbouring items of about 64 KiB each. Losses of the whole batch\n"
          "warn once per kind, naming the item of the first; a fault raises ConversionError.")
      .def(
          "_convert_utf8",
          [](py::handle self, const py::bytes& data) { return ConvertUtf8Text(Made(self), data); },
          py::arg("data"))
      .def("_convert_file",
           [](py::handle self, const std::string& source, const std::string& destination,
              bool raw) { ConvertFile(Made(self), source, destination, raw); })
      .def_property_readonly("_key", [](py::handle self) { return Made(self).key(); })
      .def_property_readonly(
          "mode", [](py::handle self) { return std::string(Made(self).converter().mode().name); },
          "The mode's name.")
      .def_property_readonly(
          "encoding",
          [](py::handle self) { return std::string(Made(self).converter().encoding()); },
          "The working encoding's name (an alias given resolved).")
      .def_property_readonly(
          "strict", [](py::handle self) { return Made(self).strict(); },
          "Whether a loss raises LossError instead of warning.");

  m.def("modes", &ModeNames, "modes()\n--\n\nThe names of every mode, in tessaly-cli's order.");
  m.def("encodings", &EncodingNames,
        "encodings()\n--\n\nThe names of every working encoding, the library's default first.");
  m.def("mode_info", &ModeInfo, py::arg("name"),
        "mode_info(name)\n--\n\nOne mode as a dict: name, description, reads (text, any-text,\n"
        "listing, nothing), writes_listing, takes_phrases.");
  m.attr("library_version") = std::string(tessaly::Version());
  // The data a converter reads unless told otherwise, as its version names it.
  const std::string data = tessaly::DataVersion("");
  m.attr("data_version") = data.empty() ? std::string("bundled") : "bundled:opencc-" + data;
#ifdef TESSALY_PY_OPENCC_VERSION
  m.attr("opencc_version") = TESSALY_PY_OPENCC_VERSION;
#else
  m.attr("opencc_version") = py::none();
#endif
}

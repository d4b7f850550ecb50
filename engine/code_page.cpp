#include "engine/code_page.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <new>

namespace tessaly {
namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

void ThrowOnFailure(UErrorCode status, const char* what) {
  // Running out of memory is no fault of the text: let it reach whoever can tell the user.
  if (status == U_MEMORY_ALLOCATION_ERROR) throw std::bad_alloc();
  if (U_FAILURE(status)) throw CodePageError(std::string(what) + ": " + u_errorName(status));
}

// Writes the default character for each character the code page lacks, and counts it. ICU's own
// substitute callback would drop default-ignorable characters (U+200B and the like) without a
// trace; here they become "?" like every other character that cannot be written.
void CountingSubstitute(const void* context, UConverterFromUnicodeArgs* args, const UChar*, int32_t,
                        UChar32, UConverterCallbackReason reason, UErrorCode* status) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close and clone carry no character
  ++*static_cast<std::size_t*>(const_cast<void*>(context));
  *status = U_ZERO_ERROR;
  ucnv_cbFromUWriteSub(args, 0, status);
}

// Room for the next stretch of a conversion's output: the worst case of what is left, but at most
// a megabyte, so that a large text's output does not zero twice the memory it will use.
std::size_t Stretch(std::size_t worst_case) {
  return std::min<std::size_t>(worst_case + 1, std::size_t{1} << 20);
}

class IcuCodePage final : public CodePage {
 public:
  explicit IcuCodePage(std::string canonical_name) : name_(std::move(canonical_name)) {}

  std::u16string ToUtf16(std::string_view bytes) const override {
    Converter converter = Open();
    std::u16string out;
    out.reserve(bytes.size() + 1);  // no supported table decodes a byte into two UTF-16 units
    const char* source = bytes.data();
    const char* const source_end = source + bytes.size();
    for (;;) {
      const std::size_t written = out.size();
      out.resize(written + Stretch(static_cast<std::size_t>(source_end - source)));
      UChar* target = reinterpret_cast<UChar*>(out.data()) + written;
      UErrorCode status = U_ZERO_ERROR;
      ucnv_toUnicode(converter.get(), &target, reinterpret_cast<UChar*>(out.data()) + out.size(),
                     &source, source_end, nullptr, true, &status);
      out.resize(static_cast<std::size_t>(target - reinterpret_cast<UChar*>(out.data())));
      if (status != U_BUFFER_OVERFLOW_ERROR) {
        ThrowOnFailure(status, "decoding");
        return out;
      }
    }
  }

  bool LivesForever() const override { return true; }

  std::string FromUtf16(std::u16string_view text, std::size_t* substituted) const override {
    Converter converter = Open();
    std::size_t count = 0;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(converter.get(), CountingSubstitute, &count, nullptr, nullptr, &status);
    ThrowOnFailure(status, "setting the substitution");

    std::string out;
    out.reserve(text.size() * 2 + 1);  // CJK text in a double-byte code page; UTF-8 grows past it
    const std::size_t max_char = ucnv_getMaxCharSize(converter.get());
    const UChar* source = reinterpret_cast<const UChar*>(text.data());
    const UChar* const source_end = source + text.size();
    for (;;) {
      const std::size_t written = out.size();
      out.resize(written + Stretch(static_cast<std::size_t>(source_end - source) * max_char));
      char* target = out.data() + written;
      status = U_ZERO_ERROR;
      ucnv_fromUnicode(converter.get(), &target, out.data() + out.size(), &source, source_end,
                       nullptr, true, &status);
      out.resize(static_cast<std::size_t>(target - out.data()));
      if (status != U_BUFFER_OVERFLOW_ERROR) break;
    }
    ThrowOnFailure(status, "encoding");
    if (substituted != nullptr) *substituted = count;
    return out;
  }

 private:
  // A converter carries state between calls, so each call opens its own; ICU caches the tables.
  Converter Open() const {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(name_.c_str(), &status));
    ThrowOnFailure(status, name_.c_str());
    ucnv_setFallback(converter.get(), false);
    ucnv_setSubstChars(converter.get(), "?", 1, &status);
    ThrowOnFailure(status, "setting the default character");
    return converter;
  }

  std::string name_;
};

}  // namespace

const CodePage& GbkCodePage() {
  static const IcuCodePage gbk("windows-936-2000");
  return gbk;
}

const CodePage& Big5CodePage() {
  static const IcuCodePage big5("windows-950-2000");
  return big5;
}

const CodePage& IcuCodePageNamed(const char* canonical_name) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<IcuCodePage>> pages;
  const std::lock_guard lock(mutex);
  auto& page = pages[canonical_name];
  if (!page) page = std::make_unique<IcuCodePage>(canonical_name);
  return *page;
}

const CodePage& Utf8CodePage() {
  static const IcuCodePage utf8("UTF-8");
  return utf8;
}

}  // namespace tessaly

#include "engine/chinese_text.h"

#include <unicode/utf8.h>

#include <array>
#include <mutex>
#include <vector>

#include "engine/char_codec.h"
#include "engine/chinese_mapping.h"
#include "engine/detail/chinese_routines.h"
#include "engine/phrase_matcher.h"
#include "engine/text_boundary.h"

namespace tessaly {

/// Which characters an encoding holds: a bit per BMP character, the codec for the rest.
class HeldCharacters {
 public:
  explicit HeldCharacters(Encoding encoding) : codec_(CharCodec::For(encoding)) {
    for (char32_t c = 0; c < 0x10000; ++c)
      if (codec_->Encode(c).held) bmp_[c >> 6] |= std::uint64_t{1} << (c & 63);
  }

  bool Holds(char32_t c) const {
    if (c < 0x10000) return (bmp_[c >> 6] >> (c & 63)) & 1;
    return codec_->Encode(c).held;
  }

  /// The first character of well-formed UTF-8 text the encoding lacks, from `pos`; npos if none.
  std::size_t FirstLacking(std::string_view utf8, std::size_t pos = 0) const {
    const auto* data = reinterpret_cast<const std::uint8_t*>(utf8.data());
    const auto length = static_cast<std::int64_t>(utf8.size());
    for (auto i = static_cast<std::int64_t>(pos); i < length;) {
      if (data[i] < 0x80) {  // ASCII, which every working encoding holds
        ++i;
        continue;
      }
      const std::int64_t start = i;
      UChar32 c = 0;
      U8_NEXT(data, i, length, c);
      if (c < 0 || !Holds(static_cast<char32_t>(c))) return static_cast<std::size_t>(start);
    }
    return std::string_view::npos;
  }

  static std::shared_ptr<const HeldCharacters> For(Encoding encoding) {
    // GB18030 and UTF-8 hold every character.
    if (encoding == Encoding::Gb18030 || encoding == Encoding::Utf8) return nullptr;
    static std::mutex mutex;
    static std::array<std::shared_ptr<const HeldCharacters>, 6> sets;
    const std::lock_guard lock(mutex);
    auto& set = sets[static_cast<std::size_t>(encoding)];
    if (!set) set = std::make_shared<const HeldCharacters>(encoding);
    return set;
  }

 private:
  std::shared_ptr<const CharCodec> codec_;
  std::array<std::uint64_t, 0x10000 / 64> bmp_{};
};

ChineseTextConversion::ChineseTextConversion(std::string_view config, std::string_view routine,
                                             Encoding encoding, FaultReporter& reporter)
    : config_(config), routine_(routine), encoding_(encoding), reporter_(reporter) {
  try {
    held_ = HeldCharacters::For(encoding);
    matcher_ = PhraseMatcher::Load(config_);
  } catch (...) {
    matcher_.reset();
    reporter_.ReportFault(std::string(routine_) + " 出错", "出错");
  }
}

ChineseTextConversion::~ChineseTextConversion() = default;

void ChineseTextConversion::Convert(std::string_view utf8, std::size_t offset, std::string& out,
                                    LossReport& losses) const {
  std::string buffer;
  const std::string_view text = Substitute(utf8, offset, buffer, losses);
  if (!matcher_) {
    out.append(text);
    return;
  }
  const std::size_t start = out.size();
  out += matcher_->Convert(text);
  // A converted character the encoding lacks keeps its source: only the exact path knows which.
  if (held_ && held_->FirstLacking(out, start) != std::string_view::npos) {
    out.resize(start);
    ConvertExactly(text, out);
  }
}

// Characters the encoding lacks become "?", as they do on the way into the encoding.
std::string_view ChineseTextConversion::Substitute(std::string_view utf8, std::size_t offset,
                                                   std::string& buffer, LossReport& losses) const {
  if (!held_) return utf8;
  std::size_t lacking = held_->FirstLacking(utf8);
  if (lacking == std::string_view::npos) return utf8;
  buffer.assign(utf8.substr(0, lacking));
  while (lacking != std::string_view::npos) {
    const auto lead = static_cast<unsigned char>(utf8[lacking]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    losses.Add(LossKind::Unmappable, offset + lacking, utf8.substr(lacking, length));
    buffer += '?';
    const std::size_t next = held_->FirstLacking(utf8, lacking + length);
    buffer.append(utf8.substr(lacking + length, next == std::string_view::npos
                                                    ? std::string_view::npos
                                                    : next - lacking - length));
    lacking = next;
  }
  return buffer;
}

// Through the working encoding, as the mode itself converts.
void ChineseTextConversion::ConvertExactly(std::string_view utf8, std::string& out) const {
  const AnsiText bytes = Utf8TextToAnsi(utf8, LineBreaks::AsIs, encoding_).text;
  const AnsiText converted =
      detail::ConvertChineseWith(bytes, reporter_, routine_, StandardMapper(config_), encoding_);
  out += AnsiToUtf8Text(converted, LineBreaks::AsIs, encoding_);
}

}  // namespace tessaly

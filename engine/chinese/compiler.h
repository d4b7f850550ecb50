#pragma once

// Compiling an OpenCC configuration's dictionaries, read through libopencc, into the phrase
// matcher's tables.
#include <filesystem>
#include <memory>
#include <string>

#include "engine/chinese/tables.h"
#include "engine/chinese/user_phrases.h"

namespace tessaly::detail {

/// The tables of configuration `config` (a bare name is looked up in OpenCC's data directory),
/// with `user`'s phrases tried first where it segments and where its chain begins when given;
/// throws ChineseMappingUnavailable when it cannot be read or does not fit the tables.
std::unique_ptr<const PhraseTables> Compile(const std::string& config,
                                            const UserPhrases* user = nullptr);

/// Whether `c` is an ideographic description character (U+2FF0 to U+2FFF), which starts a
/// sequence OpenCC 1.4 passes over as one unit.
bool IsIdsOperator(char32_t c);

/// Whether configuration `config` is read with OpenCC 1.4's rules (ideographic description
/// sequences as units): every one but those of the system's OpenCC 1.1 data.
bool ReadsAsOpenCc14(const std::filesystem::path& config);

/// The code points of dictionary text; throws ChineseMappingUnavailable, naming `config`, at
/// text that is not well-formed UTF-8 or holds a zero.
std::u32string DecodeDictionaryText(const std::string& config, const std::string& text);

}  // namespace tessaly::detail

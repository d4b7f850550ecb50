#pragma once

#include <span>
#include <string_view>

#include "engine/conversion.h"

namespace tessaly::ui {

/// Where a help text's "{}" comes from: bytes that only the mode itself can spell.
enum class HelpExample {
  None,
  Big5Phrase,       ///< 中華人民共和國 in BIG5
  WebAddressArray,  ///< the maker's web address, " = ", and its character array
};

/// How the window shows one mode: its radio in the form, the radio's label and the help text a
/// click on it writes. Labels and help texts are UTF-8, translated in the context "Mode".
struct ModeFace {
  ConversionMode mode;
  int radio_id;            ///< the radio's id in the mode group
  std::string_view radio;  ///< the radio's object name in the form
  std::string_view label;
  std::string_view help;  ///< "\n" breaks; "{}" where the example goes
  HelpExample example = HelpExample::None;
};

/// How the window shows one separator style: its radio in the form.
struct SeparatorFace {
  SeparatorStyle style;
  int radio_id;            ///< the radio's id in the separator group
  std::string_view radio;  ///< the radio's object name in the form
};

/// Every mode the window has a radio for, in the order of the radio ids.
std::span<const ModeFace> ModeFaces();

/// The window's face of a mode, or nullptr when it has no radio.
const ModeFace* FaceOf(ConversionMode mode);

/// The mode a radio id selects: Unselected for no radio (0 or -1), the reserved ids 1012 to 1018
/// and any other id that is not a mode radio's.
ConversionMode ModeOfRadio(int radio_id);

/// Every separator radio, in the order of the radio ids.
std::span<const SeparatorFace> SeparatorFaces();

/// The style a separator radio id selects: Unselected for any id that is not a separator's.
SeparatorStyle SeparatorOfRadio(int radio_id);

}  // namespace tessaly::ui

#pragma once

// The steps of a conversion, in the order RunConversion takes them.
#include "engine/conversion.h"  // IWYU pragma: export
#include "engine/modes.h"       // IWYU pragma: export
#include "engine/separators.h"  // IWYU pragma: export
#include "engine/strip.h"       // IWYU pragma: export

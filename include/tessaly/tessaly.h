#pragma once

// Everything a program needs to convert with Tessaly.
#include "tessaly/converter.h"  // IWYU pragma: export
#include "tessaly/errors.h"     // IWYU pragma: export
#include "tessaly/fault.h"      // IWYU pragma: export
#include "tessaly/losses.h"     // IWYU pragma: export
#include "tessaly/utf8.h"       // IWYU pragma: export

#pragma once

// What the shared library exports: it is built with every other symbol hidden.
#if defined(__GNUC__)
#define TESSALY_API __attribute__((visibility("default")))
#else
#define TESSALY_API
#endif

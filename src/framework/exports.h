// What the library shows to its host: the command entry and the two error classes
// of the framework. Everything else stays inside (the library builds with hidden
// visibility; on Windows only marked names are exported).
#pragma once

#if defined(_WIN32)
#if defined(VANTOR_BUILDING_LIBRARY)
#define VANTOR_EXPORT __declspec(dllexport)
#else
#define VANTOR_EXPORT __declspec(dllimport)
#endif
#else
#define VANTOR_EXPORT __attribute__((visibility("default")))
#endif

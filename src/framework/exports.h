// What the library shows to its host, declared once in the public header
// include/vantor.h: the command entry and the two error classes of the framework.
// Everything else stays inside (the library builds with hidden visibility; on
// Windows only what is marked, or listed in the export file, is exported).
#pragma once

#if defined(VANTOR_BUILDING_LIBRARY) && defined(_WIN32)
#if defined(VANTOR_MICROSOFT_ABI)
// The members are exported under Microsoft's decorated names by src/abi/microsoft's
// export file, which also names modproc; nothing carries GCC's names out.
#define VANTOR_API
#else
#define VANTOR_API __declspec(dllexport)
#endif
#elif !defined(_WIN32)
#define VANTOR_API __attribute__((visibility("default")))
#endif

#include <vantor.h>

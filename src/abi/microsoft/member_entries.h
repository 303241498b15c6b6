// The exported members of the two framework classes as a host built with Microsoft's
// C++ ABI calls them: references passed as pointers, and a constructor returns `this`.
// On 32-bit x86 `this` comes in ECX and the callee pops the stack arguments (thiscall);
// x64 code has one calling convention for every function, with `this` as the first
// argument. Each entry does what the member does; the export file (vantor.def,
// vantor64.def) exports them under the decorated names. The throw description hands
// the copy and the destructor to the host's run-time.
#pragma once

#include "framework/pellerrs.h"

#if defined(__i386__)
#define VANTOR_THISCALL __attribute__((thiscall))
#else
#define VANTOR_THISCALL
#endif

extern "C" {

VANTOR_THISCALL pellgameapi::pellerrsexception* vantorExceptionConstruct(pellgameapi::pellerrsexception* self);
VANTOR_THISCALL pellgameapi::pellerrsexception* vantorExceptionCopy(pellgameapi::pellerrsexception* self,
                                                                     pellgameapi::pellerrsexception* other);
VANTOR_THISCALL pellgameapi::pellerrsexception* vantorExceptionAssign(
    pellgameapi::pellerrsexception* self, const pellgameapi::pellerrsexception* other);
VANTOR_THISCALL void vantorExceptionDestroy(pellgameapi::pellerrsexception* self);
VANTOR_THISCALL pellgameapi::pellerrs* vantorErrorsAssign(pellgameapi::pellerrs* self,
                                                          const pellgameapi::pellerrs* other);
}

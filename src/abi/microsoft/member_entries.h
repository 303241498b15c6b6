// The exported members of the two framework classes as a host built with Microsoft's
// C++ ABI calls them on 32-bit x86: `this` in ECX, the callee pops the stack arguments
// (thiscall), references passed as pointers, and a constructor returns `this`. Each
// entry does what the member does; vantor.def exports them under the decorated names.
// The throw description hands the copy and the destructor to the host's run-time.
#pragma once

#include "framework/pellerrs.h"

#define VANTOR_THISCALL __attribute__((thiscall))

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

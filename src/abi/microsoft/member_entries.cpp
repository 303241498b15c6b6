#include "abi/microsoft/member_entries.h"

#include <new>

using pellgameapi::pellerrs;
using pellgameapi::pellerrsexception;

namespace {

// The default constructor is protected: a host reaches it from a class of its own
// derived from pellerrsexception, and so does this entry.
struct newException : pellerrsexception {};
static_assert(sizeof(newException) == sizeof(pellerrsexception));

}  // namespace

pellerrsexception* vantorExceptionConstruct(pellerrsexception* self) { return new (self) newException; }

pellerrsexception* vantorExceptionCopy(pellerrsexception* self, pellerrsexception* other) {
  return new (self) pellerrsexception(*other);
}

pellerrsexception* vantorExceptionAssign(pellerrsexception* self, const pellerrsexception* other) {
  return &(*self = *other);
}

void vantorExceptionDestroy(pellerrsexception* self) { self->~pellerrsexception(); }

pellerrs* vantorErrorsAssign(pellerrs* self, const pellerrs* other) { return &(*self = *other); }

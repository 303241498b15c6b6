// Hosts of Microsoft's C++ ABI: the exception is raised the way that ABI's own throw
// raises it, through _CxxThrowException of the C run-time the DLL already imports
// (msvcrt.dll), with a description of the thrown type. The host's run-time finds the
// matching catch clause by the type's name, copies the object for a catch by value
// with the copy constructor named here and destroys it with the destructor named here,
// after the handler. The object lives in this frame until then.
//
// The exception passes the library's own frames (this one, reporterror, modproc)
// without running their destructors: GCC's frames register nothing with the system's
// unwinder. None of them holds a lock or owns memory when the exception is thrown.
#include <cstdint>

#include "abi/microsoft/member_entries.h"
#include "framework/host_throw.h"

// msvcrt.dll's throw: raises the exception and never returns.
extern "C" [[noreturn]] __attribute__((stdcall)) void _CxxThrowException(void* object, const void* throwInfo);

namespace pellgameapi {

namespace {

// The run-time's description of a thrown type, as 32-bit Microsoft-ABI code lays it out.
struct TypeDescriptor {
  const void* vftable;  // the host's run-time compares names only, so none is needed
  void* spare;
  char name[36];
};

struct ThisDisplacement {
  int32_t memberOffset;
  int32_t virtualBaseTableOffset;  // -1: no virtual base
  int32_t virtualBaseOffset;
};

struct CatchableType {
  uint32_t properties;  // 0: a class, copied with copyFunction
  const TypeDescriptor* type;
  ThisDisplacement thisDisplacement;
  int32_t size;
  const void* copyFunction;  // thiscall copy constructor
};

struct CatchableTypeArray {
  int32_t count;
  const CatchableType* types[1];
};

struct ThrowInfo {
  uint32_t attributes;  // 0: neither const nor volatile
  const void* unwindFunction;  // thiscall destructor
  const void* forwardCompat;
  const CatchableTypeArray* catchableTypes;
};

// The decorated name of class pellgameapi::pellerrsexception, as a host's catch clause names it.
constexpr TypeDescriptor exceptionType = {nullptr, nullptr, ".?AVpellerrsexception@pellgameapi@@"};
static_assert(sizeof exceptionType.name == sizeof ".?AVpellerrsexception@pellgameapi@@");

const CatchableType exceptionCatchable = {
    0, &exceptionType, {0, -1, 0}, sizeof(pellerrsexception), reinterpret_cast<const void*>(&vantorExceptionCopy)};
const CatchableTypeArray exceptionCatchables = {1, {&exceptionCatchable}};
const ThrowInfo exceptionThrowInfo = {0, reinterpret_cast<const void*>(&vantorExceptionDestroy), nullptr,
                                      &exceptionCatchables};

}  // namespace

void throwToHost(pellerrsexception& report) {
  pellerrsexception thrown(report);
  _CxxThrowException(&thrown, &exceptionThrowInfo);
}

}  // namespace pellgameapi

// Hosts of Microsoft's C++ ABI: the exception is raised the way that ABI's own throw
// raises it, through _CxxThrowException of the C run-time the DLL already imports
// (msvcrt.dll), with a description of the thrown type. The host's run-time finds the
// matching catch clause by the type's name, copies the object for a catch by value
// with the copy constructor named here and destroys it with the destructor named here,
// after the handler. The object lives in this frame until then.
//
// The exception passes the library's own frames (this one, reporterror, modproc)
// without running their destructors: on 32-bit x86 GCC's frames register nothing with
// the system's unwinder, and on x64 the system's unwinder passes them by their unwind
// tables alone, since none of them has a cleanup or a handler (package-windows checks
// that in the DLL's unwind data). None of them holds a lock or owns memory when the
// exception is thrown.
#include <cstdint>
#include <new>

#include "abi/microsoft/member_entries.h"
#include "framework/host_throw.h"

// msvcrt.dll's throw: raises the exception and never returns.
#if defined(__i386__)
extern "C" [[noreturn]] __attribute__((stdcall)) void _CxxThrowException(void* object, const void* throwInfo);
#else
extern "C" [[noreturn]] void _CxxThrowException(void* object, const void* throwInfo);
// The throw description of x64 code, in read-only data below.
extern "C" const char vantorExceptionThrowInfo[];
#endif

namespace pellgameapi {

namespace {

static_assert(sizeof(pellerrsexception) == 4100, "the throw description below states the size");

// The run-time's description of a thrown type: two pointer-sized fields and the name.
struct TypeDescriptor {
  const void* vftable;  // the host's run-time compares names only, so none is needed
  void* spare;
  char name[36];
};

// The decorated name of class pellgameapi::pellerrsexception, as a host's catch clause
// names it. (The x64 description below refers to it by its assembler name.)
[[gnu::used]] constexpr TypeDescriptor exceptionType __asm__("vantorExceptionType") = {
    nullptr, nullptr, ".?AVpellerrsexception@pellgameapi@@"};
static_assert(sizeof exceptionType.name == sizeof ".?AVpellerrsexception@pellgameapi@@");

#if defined(__i386__)

// The rest of the throw description as 32-bit Microsoft-ABI code lays it out, with
// plain pointers.
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

const CatchableType exceptionCatchable = {
    0, &exceptionType, {0, -1, 0}, sizeof(pellerrsexception), reinterpret_cast<const void*>(&vantorExceptionCopy)};
const CatchableTypeArray exceptionCatchables = {1, {&exceptionCatchable}};
const ThrowInfo exceptionThrowInfo = {0, reinterpret_cast<const void*>(&vantorExceptionDestroy), nullptr,
                                      &exceptionCatchables};

const void* const throwDescription = &exceptionThrowInfo;

#else

// On x64 the rest of the description holds no pointers: each reference is a 32-bit
// offset from the image base of the module that holds it, which the run-time finds
// from the description's own address. The linker fixes such an offset (.rva), so the
// description is constant data, laid out here field by field as 64-bit Microsoft-ABI
// code lays it out.
__asm__(R"(
        .section .rdata, "dr"
        .p2align 2
vantorExceptionCatchable:           # CatchableType
        .long 0                     #   properties: a class, copied with the copy function
        .rva vantorExceptionType    #   type
        .long 0, -1, 0              #   this displacement: no virtual base
        .long 4100                  #   size of pellerrsexception
        .rva vantorExceptionCopy    #   copy constructor
vantorExceptionCatchables:          # CatchableTypeArray
        .long 1                     #   count
        .rva vantorExceptionCatchable
vantorExceptionThrowInfo:           # ThrowInfo
        .long 0                     #   attributes: neither const nor volatile
        .rva vantorExceptionDestroy #   unwind function: the destructor
        .long 0                     #   forward compatibility: none
        .rva vantorExceptionCatchables
        .text
)");

const void* const throwDescription = vantorExceptionThrowInfo;

#endif

}  // namespace

// The thrown object is made in raw storage of this frame: from the throw on, the host's
// run-time owns it and destroys it after the handler. A local object would also give
// this frame a cleanup, and with it a handler of GCC's run-time that the system's
// unwinder would call on the way to the host's catch.
void throwToHost(pellerrsexception& report) {
  alignas(pellerrsexception) unsigned char storage[sizeof(pellerrsexception)];
  _CxxThrowException(new (storage) pellerrsexception(report), throwDescription);
}

}  // namespace pellgameapi

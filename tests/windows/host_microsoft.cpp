// The start of the test host built with clang for Microsoft's C++ ABI, for the main
// vantor.dll, without the Microsoft SDK: what that compiler's own start-up code and
// run-time library would give the program, the host provides here.
#include <vantor.h>

#include "host_scenario.h"
#include "host_system.h"

using pellgameapi::pellerrsexception;

extern "C" {

// Tells the linker that the program uses floating point; nothing reads it here.
int _fltused = 0;

// The table of type_info's virtual functions, which the type descriptors of the
// host's catch clauses point at. The run-time matches a catch clause by the type's
// name and calls none of them.
const void* typeInfoFunctions[1] __asm__("??_7type_info@@6B@") = {nullptr};

struct StartupInfo {
  int newMode;
};
int __getmainargs(int* argc, char*** argv, char*** environment, int expandWildcards, StartupInfo* info);
__declspec(dllimport) void __stdcall ExitProcess(unsigned int exitCode);

// The exported constructors called as what they are in this ABI: functions that take
// `this` (on 32-bit x86 in ECX, popping their stack arguments; on x64, where __thiscall
// means nothing, as the first argument) and return `this`.
#if defined(_M_X64)
#define DEFAULT_CONSTRUCTOR_NAME "??0pellerrsexception@pellgameapi@@IEAA@XZ"
#define COPY_CONSTRUCTOR_NAME "??0pellerrsexception@pellgameapi@@QEAA@AEAV01@@Z"
#else
#define DEFAULT_CONSTRUCTOR_NAME "??0pellerrsexception@pellgameapi@@IAE@XZ"
#define COPY_CONSTRUCTOR_NAME "??0pellerrsexception@pellgameapi@@QAE@AAV01@@Z"
#endif
pellerrsexception* __thiscall exportedDefaultConstructor(pellerrsexception* self) __asm__(DEFAULT_CONSTRUCTOR_NAME);
pellerrsexception* __thiscall exportedCopyConstructor(pellerrsexception* self, pellerrsexception* other)
    __asm__(COPY_CONSTRUCTOR_NAME);

// The program's entry (lld-link /entry:hostStart).
void hostStart() {
  int argc = 0;
  char** argv = nullptr;
  char** environment = nullptr;
  StartupInfo info = {0};
  __getmainargs(&argc, &argv, &environment, 0, &info);
  int status = runHost(argc, argv);
  fflush(nullptr);
  ExitProcess(static_cast<unsigned int>(status));
}
}

// Code built by Microsoft's compiler may use the `this` that a constructor returns
// instead of the one it passed.
void checkMemberConventions() {
  alignas(4) static unsigned char first[sizeof(pellerrsexception)];
  alignas(4) static unsigned char second[sizeof(pellerrsexception)];
  memset(first, 0xab, sizeof first);
  auto* constructed = reinterpret_cast<pellerrsexception*>(first);
  check(exportedDefaultConstructor(constructed) == constructed && constructed->text[0] == 0 &&
            constructed->text[4095] == 0 && constructed->reserved == 0,
        "the default constructor returns this and clears the object");
  memcpy(constructed->text, "copied", sizeof "copied");
  auto* copy = reinterpret_cast<pellerrsexception*>(second);
  check(exportedCopyConstructor(copy, constructed) == copy && strcmp(copy->text, "copied") == 0,
        "the copy constructor returns this");
}

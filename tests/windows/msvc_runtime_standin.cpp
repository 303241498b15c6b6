// What the static part of Microsoft's C run-time gives a program that Visual C++
// builds, for building the examples without Microsoft's SDK (build_examples.sh puts it
// into the libcmt.lib that the compiler asks for): the console program's entry, which
// calls main with its arguments and ends the process through exit, and the few symbols
// the compiler's code refers to. The rest of the C run-time comes from msvcr90.dll,
// whose __CxxFrameHandler3 runs the program's catch clauses.
#pragma comment(lib, "msvcr90")
#pragma comment(lib, "kernel32")

#ifdef _WIN64
typedef unsigned long long uintptr;
#else
typedef unsigned int uintptr;
#endif

extern "C" {

// Tells the linker that the program uses floating point; nothing reads it here.
int _fltused = 0;

// The table of type_info's virtual functions, which the type descriptors of the
// program's catch clauses point at; the run-time matches them by name only.
const void* typeInfoFunctions[1] __asm__("??_7type_info@@6B@") = {0};

// The stack cookie of /GS (the compiler's default), pointer-sized, and its check.
uintptr __security_cookie = 0xbb40e64eu;
__declspec(dllimport) void __cdecl abort();
void __fastcall __security_check_cookie(uintptr cookie) {
  if (cookie != __security_cookie) abort();
}

struct StartupInfo {
  int newMode;
};
__declspec(dllimport) int __cdecl __getmainargs(int* argc, char*** argv, char*** environment,
                                                int expandWildcards, StartupInfo* info);
__declspec(dllimport) void __cdecl exit(int status);
int __cdecl main(int argc, char** argv);

void __cdecl mainCRTStartup() {
  int argc = 0;
  char** argv = 0;
  char** environment = 0;
  StartupInfo info = {0};
  __getmainargs(&argc, &argv, &environment, 0, &info);
  exit(main(argc, argv));
}
}

// The test host's scenarios, one source for both hosts: the one built with the
// MinGW-w64 GCC for the GCC-ABI vantor.dll, and the one built with clang for Microsoft's
// C++ ABI for the main vantor.dll. Each host adds only its start and the checks that
// only its ABI has (host_gcc.cpp, host_microsoft.cpp).
#pragma once

// Runs the scenario named by argv[1]; the process's exit code.
int runHost(int argc, char** argv);

// Prints "ok: WHAT" or "FAILED: WHAT"; a failure makes the scenario fail.
void check(bool ok, const char* what);

// Calls the DLL's exported members the way this host's C++ ABI defines them, at the
// level of registers and return values that plain C++ does not show.
void checkMemberConventions();

// The start of the test host built with the MinGW-w64 GCC, for the GCC-ABI vantor.dll
// (32-bit and 64-bit).
#include "host_scenario.h"

// GCC's code calls the exported members just as the library's own code does, so the
// scenario's plain C++ covers their conventions.
void checkMemberConventions() {}

int main(int argc, char** argv) { return runHost(argc, argv); }

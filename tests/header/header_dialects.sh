#!/usr/bin/env bash
# Compiles a host's use of include/vantor.h in every dialect a game may be built in,
# with every compiler family that builds hosts: C89 and C99 (uses_header.c), C++98,
# C++11 and C++20 (uses_header.cpp; in C++20 also included inside extern "C"), each
# with warnings as errors and pedantic, by GCC and clang for this machine, the
# MinGW-w64 GCC for 32-bit Windows, and clang-cl for Microsoft's ABI on 32-bit and
# 64-bit Windows. Each object must call modproc by the name the DLL exports for its
# language: the plain name from C, the C++ name from C++, which compilers of
# Microsoft's ABI never assume not to throw.
#
#   header_dialects.sh INCLUDE_DIR
#
# A compiler that is missing is skipped with a note; with CI=true it fails the test.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
include=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

first_of() {
  local name
  for name in "$@"; do
    command -v "$name" >/dev/null 2>&1 && { echo "$name"; return; }
  done
}
nm_tool=$(first_of llvm-nm llvm-nm-16 llvm-nm-15 llvm-nm-14 nm)
clang_cl=$(first_of clang-cl clang-cl-16 clang-cl-15 clang-cl-14)
mingw_cc=$(first_of i686-w64-mingw32-gcc-win32 i686-w64-mingw32-gcc)
mingw_cxx=$(first_of i686-w64-mingw32-g++-win32 i686-w64-mingw32-g++)

failures=0 compiled=0 missing=()

# check FAMILY LANGUAGE STANDARD EXPECTED_NAME COMPILER ARGS...: compiles and compares
# the names by which the object refers to modproc with the one expected, leaving out
# what the target adds to every name (import prefix, leading underscore).
check() {
  local family=$1 language=$2 standard=$3 expected=$4 compiler=$5
  shift 5
  local object=$work/$family-$standard.o references
  if ! "$compiler" "$@" >"$work/log" 2>&1; then
    echo "FAILED: $family $standard does not compile:" >&2
    sed 's/^/  /' "$work/log" >&2
    failures=$((failures + 1))
    return
  fi
  mv "$work/out.o" "$object"
  references=$("$nm_tool" -u "$object" | awk '{print $NF}' | grep modproc |
    sed -e 's/^__imp_//' -e 's/^_*//' | sort -u | tr '\n' ' ')
  if [ "$references" != "$expected " ]; then
    echo "FAILED: $family $standard ($language) calls ${references:-nothing}instead of $expected" >&2
    failures=$((failures + 1))
    return
  fi
  compiled=$((compiled + 1))
  echo "ok: $family $standard calls $expected" >&2
}

# gnu_family FAMILY CC CXX C_NAME CXX_NAME [FLAGS...]
gnu_family() {
  local family=$1 cc=$2 cxx=$3 c_name=$4 cxx_name=$5 standard
  shift 5
  if [ -z "$cc" ] || [ -z "$cxx" ]; then
    missing+=("$family")
    return
  fi
  local common=(-pedantic -Wall -Wextra -Werror -I"$include" -c -o "$work/out.o" "$@")
  for standard in c89 c99; do
    check "$family" C "$standard" "$c_name" "$cc" -std=$standard "${common[@]}" "$here/uses_header.c"
  done
  for standard in c++98 c++11 c++20; do
    check "$family" C++ "$standard" "$cxx_name" "$cxx" -std=$standard "${common[@]}" "$here/uses_header.cpp"
  done
  check "$family" C++ "c++20-in-extern-C" "$cxx_name" "$cxx" -std=c++20 -DINCLUDE_IN_EXTERN_C "${common[@]}" \
    "$here/uses_header.cpp"
}

gnu_family gcc "$(first_of gcc)" "$(first_of g++)" modproc Z7modprociPvj
gnu_family clang "$(first_of clang)" "$(first_of clang++)" modproc Z7modprociPvj
gnu_family mingw-gcc "$mingw_cc" "$mingw_cxx" modproc Z7modprociPvj

# clang-cl as a Visual C++ project uses it: /EHsc, /W4; the dialect through /clang:. For
# 32-bit and 64-bit Windows, whose C++ names of modproc differ in the pointer's E.
if [ -n "$clang_cl" ]; then
  for target in i686:'?modproc@@YAXHPAXI@Z' x86_64:'?modproc@@YAXHPEAXI@Z'; do
    family=clang-cl-${target%%:*} cxx_name=${target#*:}
    # Paths that begin with / would read as options: -I, -Fo and -- keep them paths.
    cl_common=(--target="${target%%:*}-pc-windows-msvc" /nologo /W4 /WX /clang:-pedantic -I"$include" /c
      -Fo"$work/out.o")
    for standard in c89 c99; do
      check "$family" C "$standard" modproc "$clang_cl" "/clang:-std=$standard" "${cl_common[@]}" \
        /TC -- "$here/uses_header.c"
    done
    for standard in c++98 c++11 c++20; do
      check "$family" C++ "$standard" "$cxx_name" "$clang_cl" "/clang:-std=$standard" /EHsc \
        "${cl_common[@]}" /TP -- "$here/uses_header.cpp"
    done
    check "$family" C++ "c++20-in-extern-C" "$cxx_name" "$clang_cl" /clang:-std=c++20 /EHsc \
      -DINCLUDE_IN_EXTERN_C "${cl_common[@]}" /TP -- "$here/uses_header.cpp"
  done
else
  missing+=(clang-cl)
fi

if [ ${#missing[@]} -ne 0 ]; then
  if [ "${CI:-}" = true ]; then
    echo "FAILED: no compiler for ${missing[*]}" >&2
    failures=$((failures + 1))
  else
    echo "skipped: no compiler for ${missing[*]}" >&2
  fi
fi
echo "$compiled compiled as expected, $failures failed" >&2
[ $failures -eq 0 ]

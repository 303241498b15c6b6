#!/usr/bin/env bash
# Builds the package's examples exactly as its manual (README.txt, section 5) says, so
# that the manual and the examples cannot go stale: every build line of the manual is
# taken from it and run, in a copy of the package as a game developer has it.
#
#   build_examples.sh PACKAGE_DIR OUT_DIR
#
# Makes three copies of the package, each with the programs beside the DLLs they need
# in the folders that run_wine_test.sh --examples takes:
#   OUT_DIR/msvc/win32/, OUT_DIR/msvc/win64/       the Visual C++ lines (cl), run with
#                                                  clang-cl for each bitness
#   OUT_DIR/msvc-od/win32/, OUT_DIR/msvc-od/win64/ the same unoptimised (/Od for /O2),
#                                                  where they catch
#   OUT_DIR/mingw/win32/mingw-hosts/, OUT_DIR/mingw/win64/mingw-hosts/
#                                                  the MinGW-w64 lines of each bitness
#
# There is no Microsoft SDK here, so cl is clang-cl for the Microsoft target, linking
# with lld-link, and its environment stands in for the SDK, as a Developer Command
# Prompt for x86 or x64 sets it: INCLUDE names mingw-w64's Windows headers (CL adds
# what they need to read as a Microsoft compiler's), LIB holds mingw-w64's import
# libraries under the SDK's names, msvcr90's for the C run-time, and
# msvc_runtime_standin.cpp as the static C run-time the compiler asks for
# (libcmt.lib); for x86 LINK turns off the safe exception handler tables, which
# mingw-w64's import libraries lack. The lines themselves are run as the manual writes
# them, with / for \ in paths: the cl lines in win32 and in win64, the lines of each
# MinGW-w64 compiler in the folder of its bitness.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
package=$(cd "$1" && pwd)
out=$2

first_of() {
  local name
  for name in "$@"; do
    command -v "$name" >/dev/null 2>&1 && { echo "$name"; return; }
  done
}
clang_cl=$(first_of clang-cl clang-cl-16 clang-cl-15 clang-cl-14)
llvm_lib=$(first_of llvm-lib llvm-lib-16 llvm-lib-15 llvm-lib-14)
if [ -z "$clang_cl" ] || [ -z "$llvm_lib" ] || [ ! -d /usr/i686-w64-mingw32/include ] ||
  [ ! -d /usr/x86_64-w64-mingw32/include ]; then
  echo "examples: FAILED: clang-cl, llvm-lib and the i686 and x86_64 mingw-w64 headers are needed" >&2
  exit 1
fi

mapfile -t cl_lines < <(sed -n 's/^    \(cl .*\)$/\1/p' "$package/README.txt")
mapfile -t mingw32_lines < <(sed -n 's/^    \(i686-w64-mingw32-g[c+][c+] .*\)$/\1/p' "$package/README.txt")
mapfile -t mingw64_lines < <(sed -n 's/^    \(x86_64-w64-mingw32-g[c+][c+] .*\)$/\1/p' "$package/README.txt")
if [ ${#cl_lines[@]} -ne 2 ] || [ ${#mingw32_lines[@]} -ne 2 ] || [ ${#mingw64_lines[@]} -ne 2 ]; then
  echo "examples: FAILED: the manual should give two cl lines and two lines for each MinGW-w64" \
    "compiler, not ${#cl_lines[@]}, ${#mingw32_lines[@]} and ${#mingw64_lines[@]}" >&2
  exit 1
fi

rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)

# sdk ARCH: the stand-in SDK's libraries for i686 or x86_64, in $out/sdk-ARCH.
sdk() {
  local arch=$1 sdk=$out/sdk-$1 name
  mkdir -p "$sdk"
  "$clang_cl" --target="$arch-pc-windows-msvc" /nologo /O2 /GS- /W4 /WX /c -Fo"$sdk/standin.obj" -- \
    "$here/msvc_runtime_standin.cpp"
  "$llvm_lib" /nologo /out:"$sdk/libcmt.lib" "$sdk/standin.obj"
  printf '!<arch>\n' >"$sdk/oldnames.lib"  # the compiler asks for it; nothing is needed from it
  for name in kernel32 user32 dsound msvcr90; do
    cp "/usr/$arch-w64-mingw32/lib/lib$name.a" "$sdk/$name.lib"
  done
}
sdk i686
sdk x86_64

# run DIR LINE...: runs each line in DIR, echoing it.
run() {
  local dir=$1 line
  shift
  for line in "$@"; do
    echo "examples: in ${dir#"$out"/}: $line" >&2
    (cd "$dir" && eval "$line") || { echo "examples: FAILED: $line" >&2; exit 1; }
  done
}

# cl as the Developer Command Prompt of the architecture in $arch (i686 or x86_64) has it.
arch=
cl() {
  local define=-D_X86_ link=/safeseh:no
  [ "$arch" = i686 ] || define=-D_AMD64_ link=
  INCLUDE=/usr/$arch-w64-mingw32/include LIB=$out/sdk-$arch \
    CL="$define -D__USE_MINGW_ANSI_STDIO=0 /clang:-fgnuc-version=4.2.1 /W4 /WX" LINK=$link \
    "$clang_cl" --target="$arch-pc-windows-msvc" -fuse-ld=lld /nologo "$@"
}

# Every warning is an error: the examples are what game developers copy. cl takes its
# extra options from CL, the MinGW-w64 compilers from these wrappers.
for compiler in {i686,x86_64}-w64-mingw32-{gcc,g++}; do
  eval "$compiler() { command $compiler -Wall -Wextra -Werror \"\$@\"; }"
done

unoptimised=()
for line in "${cl_lines[@]//\\//}"; do
  [[ $line == *" /EHsc "* ]] && unoptimised+=("${line// \/O2 / /Od }")
done
for copy in msvc msvc-od mingw; do
  cp -r "$package" "$out/$copy"
done
for arch in i686 x86_64; do
  bits=win32
  [ "$arch" = i686 ] || bits=win64
  run "$out/msvc/$bits" "${cl_lines[@]//\\//}"
  run "$out/msvc-od/$bits" "${unoptimised[@]}"
done
run "$out/mingw/win32" "${mingw32_lines[@]}"
run "$out/mingw/win64" "${mingw64_lines[@]}"
rm -rf "$out"/sdk-*

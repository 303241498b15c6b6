#!/usr/bin/env bash
# Builds the package's examples exactly as its manual (README.txt, section 5) says, so
# that the manual and the examples cannot go stale: every build line of the manual is
# taken from it and run, in a copy of the package as a game developer has it.
#
#   build_examples.sh PACKAGE_DIR OUT_DIR
#
# Makes three folders, each holding the programs beside the DLLs they need, for
# run_wine_test.sh --examples:
#   OUT_DIR/msvc/               the Visual C++ lines (cl), run with clang-cl
#   OUT_DIR/msvc-od/            the same unoptimised (/Od for /O2), where they catch
#   OUT_DIR/mingw/mingw-hosts/  the MinGW-w64 lines
#
# There is no Microsoft SDK here, so cl is clang-cl for the Microsoft target, linking
# with lld-link, and its environment stands in for the SDK, as a Developer Command
# Prompt sets it: INCLUDE names mingw-w64's Windows headers (CL adds what they need to
# read as a Microsoft compiler's), LIB holds mingw-w64's import libraries under the
# SDK's names, msvcr90's for the C run-time, and msvc_runtime_standin.cpp as the
# static C run-time the compiler asks for (libcmt.lib); LINK turns off the safe
# exception handler tables, which mingw-w64's import libraries lack. The lines
# themselves are run as the manual writes them, with / for \ in paths.
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
mingw_root=/usr/i686-w64-mingw32
if [ -z "$clang_cl" ] || [ -z "$llvm_lib" ] || [ ! -d "$mingw_root/include" ]; then
  echo "examples: FAILED: clang-cl, llvm-lib and the i686 mingw-w64 headers are needed" >&2
  exit 1
fi

mapfile -t cl_lines < <(sed -n 's/^  \(cl .*\)$/\1/p' "$package/README.txt")
mapfile -t mingw_lines < <(sed -n 's/^  \(i686-w64-mingw32-g[c+][c+] .*\)$/\1/p' "$package/README.txt")
if [ ${#cl_lines[@]} -ne 2 ] || [ ${#mingw_lines[@]} -ne 2 ]; then
  echo "examples: FAILED: the manual should give two cl lines and two MinGW-w64 lines," \
    "not ${#cl_lines[@]} and ${#mingw_lines[@]}" >&2
  exit 1
fi

rm -rf "$out"
mkdir -p "$out/sdk"
sdk=$(cd "$out/sdk" && pwd)
"$clang_cl" --target=i686-pc-windows-msvc /nologo /O2 /GS- /W4 /WX /c -Fo"$sdk/standin.obj" -- \
  "$here/msvc_runtime_standin.cpp"
"$llvm_lib" /nologo /out:"$sdk/libcmt.lib" "$sdk/standin.obj"
printf '!<arch>\n' >"$sdk/oldnames.lib"  # the compiler asks for it; nothing is needed from it
for name in kernel32 user32 dsound msvcr90; do
  cp "$mingw_root/lib/lib$name.a" "$sdk/$name.lib"
done

# run DIR LINE...: runs each line in a copy of the package at DIR, echoing it.
run() {
  local dir=$1 line
  shift
  cp -r "$package" "$dir"
  for line in "$@"; do
    echo "examples: in $(basename "$dir"): $line" >&2
    (cd "$dir" && eval "$line") || { echo "examples: FAILED: $line" >&2; exit 1; }
  done
}

cl() {
  INCLUDE=$mingw_root/include LIB=$sdk CL="-D_X86_ -D__USE_MINGW_ANSI_STDIO=0 /clang:-fgnuc-version=4.2.1" \
    LINK=/safeseh:no "$clang_cl" --target=i686-pc-windows-msvc -fuse-ld=lld /nologo "$@"
}

run "$out/msvc" "${cl_lines[@]//\\//}"
unoptimised=()
for line in "${cl_lines[@]//\\//}"; do
  [[ $line == *" /EHsc "* ]] && unoptimised+=("${line// \/O2 / /Od }")
done
run "$out/msvc-od" "${unoptimised[@]}"
run "$out/mingw" "${mingw_lines[@]}"
rm -rf "$sdk"

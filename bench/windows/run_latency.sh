#!/usr/bin/env bash
# Times every command of the Windows plug-in under Wine, with Wine's real DirectSound
# playing into the null sink of a private PulseAudio server, and prints the tables.
#
#   run_latency.sh [--64] [--rounds N] --bench VANTOR_BENCH PACKAGE_DIR... -- SONG.xm...
#
# Each PACKAGE_DIR holds a vantor.dll (and any DLL it needs) as a game developer gets
# it; all are 32-bit, or 64-bit with --64. The latency host (latency_host.cpp) is built
# with the mingw-w64 toolchain into build/bench-windows32 (or 64) and runs in a folder
# of its own beside each DLL in turn, once per song, the packages interleaved song by
# song so that they share the machine's moods. VANTOR_BENCH (the Linux benchmark)
# prints the tables: least/median/most milliseconds per song and command.
#
# Under qemu-user (32-bit programs on a kernel that runs none) every time is inflated
# by the emulation; the 64-bit build under wine64 runs natively. VANTOR_LATENCY_KEEP=DIR
# keeps the host's raw output (times0.txt, times1.txt, ... in the order of the packages).
set -euo pipefail
cd "$(dirname "$0")/../.."

bits=32 rounds=20 bench='' packages=() songs=()
while [ $# -gt 0 ]; do
  case $1 in
    --64) bits=64 ;;
    --rounds) rounds=$2; shift ;;
    --bench) bench=$(realpath "$2"); shift ;;
    --)
      shift
      for song in "$@"; do songs+=("$(realpath "$song")"); done
      break
      ;;
    *) packages+=("$(realpath "$1")") ;;
  esac
  shift
done
if [ -z "$bench" ] || [ ${#packages[@]} -eq 0 ] || [ ${#songs[@]} -eq 0 ]; then
  echo "usage: $0 [--64] [--rounds N] --bench VANTOR_BENCH PACKAGE_DIR... -- SONG.xm..." >&2
  exit 2
fi

if [ "$bits" = 64 ]; then
  triplet=x86_64-w64-mingw32
  wine_loader=$(command -v wine64 2>/dev/null || { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; } || true)
  export WINEARCH=win64 WINELOADER=$wine_loader
else
  triplet=i686-w64-mingw32
  wine_loader=$(command -v wine || true)
  export WINEARCH=win32
fi
for tool in "$wine_loader" wineserver pulseaudio pactl; do
  command -v "$tool" >/dev/null 2>&1 || { echo "latency: ${tool:-wine} is missing" >&2; exit 1; }
done

build=build/bench-windows$bits/host
cmake -S bench/windows -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-$triplet.cmake" >/dev/null
cmake --build "$build" >/dev/null
host_exe=$PWD/$build/latency_host.exe

work=$(mktemp -d)
pulse_pid=
export WINEPREFIX=$PWD/build/bench-windows$bits/wineprefix
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -z "$pulse_pid" ] || kill "$pulse_pid" 2>/dev/null || true
  if [ -n "${VANTOR_LATENCY_KEEP:-}" ]; then
    mkdir -p "$VANTOR_LATENCY_KEEP" && cp "$work"/times*.txt "$VANTOR_LATENCY_KEEP/" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A private sound server, as in the Wine test.
. tests/support/private_pulseaudio.sh
start_private_pulseaudio "$work" latency || exit 1

unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "latency: creating the Wine prefix $WINEPREFIX" >&2
  "$wine_loader" wineboot -i >/dev/null 2>&1
  wineserver -w
fi
wineserver -k 2>/dev/null || true
wineserver -p

windows_path() { local path=$1; echo "Z:${path//\//\\}"; }
for index in "${!packages[@]}"; do
  mkdir -p "$work/app$index"
  cp "${packages[$index]}"/*.dll "$host_exe" "$work/app$index/"
done
echo "latency: the $bits-bit plug-in under $wine_loader, $rounds rounds per song"
echo "machine load (1-minute average) at the start: $(cut -d' ' -f1 /proc/loadavg)"
for song in "${songs[@]}"; do
  echo "  $(basename "$song")" >&2
  for index in "${!packages[@]}"; do
    (cd "$work/app$index" && timeout 1800 "$wine_loader" latency_host.exe "$rounds" "$(windows_path "$song")") \
      >>"$work/times$index.txt" 2>"$work/host.err" ||
      { cat "$work/host.err" >&2; echo "latency: the host failed with ${packages[$index]}" >&2; exit 1; }
  done
done
echo "machine load (1-minute average) at the end: $(cut -d' ' -f1 /proc/loadavg)"
echo
echo "What Wine's threads cost here (least/median/most of $rounds):"
(cd "$work/app0" && "$wine_loader" latency_host.exe "$rounds" --threads) | sed 's/^/  /'
for index in "${!packages[@]}"; do
  "$bench" --latency-table "$work/times$index.txt" "${packages[$index]}/vantor.dll, $bits-bit, under Wine"
done

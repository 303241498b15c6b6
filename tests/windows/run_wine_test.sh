#!/usr/bin/env bash
# Runs the Windows test host under Wine with real DirectSound and checks what was heard;
# also commands from two threads at once, and unloading the library with a song loaded.
#
#   run_wine_test.sh [--errors-host EXE]... [--examples DIR]... PACKAGE_DIR HOST_EXE SONG.xm REFERENCE.wav
#   run_wine_test.sh --can-run-32 PACKAGE_DIR HOST_EXE
#
# PACKAGE_DIR holds vantor.dll (and its runtime DLL) as a game developer gets them;
# HOST_EXE is the test host built the same way. Both are 32-bit or both 64-bit
# Windows programs, and Wine runs them in a prefix of the same kind. The host checks
# exception mode and message-box mode, then plays SONG through the plug-in while
# parecord records the null sink of a private PulseAudio server that takes Wine's
# sound; compare_audio.py checks the recording against REFERENCE, the same song
# rendered by the Linux build of the same sources (at least 10 s of it).
#
# In the same session: --errors-host names another build of the test host, whose
# exception-mode scenario must pass too; --examples names a folder with the package's
# examples built (build_examples.sh) beside the DLLs they need. Each example must play
# SONG and end with 0, and, given a song that does not exist, report it as a fatal
# error: play_song catches the exception by type, prints the message and ends with 1;
# play_song_dynamic, in message-box mode, ends with 69.
#
# --can-run-32 tells whether this machine runs 32-bit Windows programs under Wine:
# exit 0 when it does, printing "native" or "emulated", else 1 with the reason.
#
# Where the kernel runs no 32-bit programs, qemu-user can run Wine's 32-bit half
# (registered for 32-bit x86 programs with binfmt_misc; ./scripts/setup --test does that).
# Emulated Wine plays its sound seconds late, by a varying amount, and may lose a
# moment of it, so the clock cannot place the host's phases in the recording: the
# sound is then judged by content alone (compare_audio.py --content), value for value.
# Elsewhere the clock also places the phases, and each is judged by what it should
# hold: the song value for value, sound 20 dB quieter, or silence.
#
# With CI=true every missing piece is a failure; elsewhere the test says what is
# missing and skips. The Wine prefix is kept (VANTOR_WINEPREFIX, by default next to
# the host) because creating one takes a while. VANTOR_WINE_KEEP=DIR keeps the
# recordings and the host's output there.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3

# The machine type in a PE file's header, four hex digits: 014c for 32-bit x86, 8664 for x86-64.
pe_machine() {
  local header
  header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx2 -j$((header + 4)) -N2 "$1" | tr -d ' '
}

# Wine's loader for 64-bit programs (Debian keeps it out of PATH).
wine64_loader() {
  command -v wine64 2>/dev/null || { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; } || true
}

# Whether 32-bit programs run here through qemu-user, registered with binfmt_misc.
emulated_32() {
  [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386
}

# 32-bit Windows code needs a kernel that runs 32-bit x86 code (or qemu-user in its
# place), and Wine's 32-bit half. The last word has a trivial run of the 32-bit host.
can_run_32() {
  local package=$1 host_exe=$2
  if ! command -v wine >/dev/null 2>&1 || ! timeout 60 wine --version >/dev/null 2>&1; then
    echo "32-bit Wine cannot start: the kernel runs no 32-bit programs (IA-32 emulation is off) and no qemu-user is registered for them, or wine32 is missing"
    return 1
  fi
  # The host needs the compiler's runtime DLL beside it, as the plug-in does.
  local status=0 prefix=${VANTOR_WINEPREFIX:-$(dirname "$host_exe")/wineprefix32} app
  app=$(mktemp -d)
  cp "$package"/*.dll "$host_exe" "$app/"
  (cd "$app" && WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    timeout 300 wine "$(basename "$host_exe")" >/dev/null 2>&1) || status=$?
  rm -rf "$app"
  if [ $status -ne 2 ]; then  # the host without arguments shows its usage and ends with 2
    echo "32-bit Wine does not run a 32-bit program here (the trivial run ended with $status)"
    return 1
  fi
  if emulated_32; then echo emulated; else echo native; fi
}

if [ "${1:-}" = --can-run-32 ]; then
  [ $# -eq 3 ] || { echo "usage: $0 --can-run-32 PACKAGE_DIR HOST_EXE" >&2; exit 2; }
  can_run_32 "$(realpath "$2")" "$(realpath "$3")"
  exit
fi

errors_hosts=() example_dirs=()
while [ $# -gt 0 ]; do
  case $1 in
    --errors-host) errors_hosts+=("$(realpath "$2")"); shift 2 ;;
    --examples) example_dirs+=("$(cd "$2" && pwd)"); shift 2 ;;
    *) break ;;
  esac
done
[ $# -eq 4 ] || {
  echo "usage: $0 [--errors-host EXE]... [--examples DIR]... PACKAGE_DIR HOST_EXE SONG.xm REFERENCE.wav" >&2
  exit 2
}
package=$(cd "$1" && pwd)
host_exe=$(realpath "$2")
song=$(realpath "$3")
reference=$(realpath "$4")

unavailable() {
  if [ "${CI:-}" = true ]; then
    echo "wine test: FAILED: $*" >&2
    exit 1
  fi
  echo "wine test: SKIPPED: $*" >&2
  exit 0
}

case $(pe_machine "$package/vantor.dll"):$(pe_machine "$host_exe") in
  014c:014c)
    bits=32 wine_loader=$(command -v wine || true)
    export WINEARCH=win32
    ;;
  8664:8664)
    bits=64 wine_loader=$(wine64_loader)
    export WINEARCH=win64 WINELOADER=$wine_loader
    ;;
  *)
    echo "wine test: FAILED: vantor.dll and the host are not both 32-bit or both 64-bit Windows programs" >&2
    exit 1
    ;;
esac

missing=()
[ -n "$wine_loader" ] || missing+=("wine (the $bits-bit loader)")
for tool in wineserver pulseaudio parecord pactl; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
"$python" -c 'import numpy' 2>/dev/null || missing+=("python3-numpy")
[ ${#missing[@]} -eq 0 ] || unavailable "missing ${missing[*]} (./scripts/setup --test installs them as root)"
if ! "$wine_loader" --version >/dev/null 2>&1; then
  unavailable "$bits-bit Wine cannot start here"
fi
wine() { "$wine_loader" "$@"; }

work=$(mktemp -d)
pulse_pid= recorder_pid=
export WINEPREFIX=${VANTOR_WINEPREFIX:-$(dirname "$host_exe")/wineprefix$bits}
cleanup() {
  [ -z "$recorder_pid" ] || kill "$recorder_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  [ -z "$pulse_pid" ] || kill "$pulse_pid" 2>/dev/null || true
  if [ -n "${VANTOR_WINE_KEEP:-}" ]; then
    mkdir -p "$VANTOR_WINE_KEEP" && cp "$work"/*.wav "$work"/*.out "$work"/*.err "$VANTOR_WINE_KEEP/" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

. "$here/../support/private_pulseaudio.sh"
start_private_pulseaudio "$work" "wine test: FAILED" || exit 1

# No display is needed: without one, Wine's user32 has no window driver, so the
# message box of message-box mode cannot open and MessageBoxA returns at once; the
# plug-in then ends the process with 69 as after a click on OK.
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
echo "wine test: the $bits-bit build under $wine_loader ($WINEARCH prefix $WINEPREFIX)" >&2
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine test: creating the Wine prefix" >&2
  started=$(date +%s)
  wine wineboot -i >/dev/null 2>&1
  wineserver -w
  echo "wine test: prefix created in $(($(date +%s) - started)) s" >&2
fi
# One Wine session for every run below. A server of this prefix may still linger from
# a run just before (--can-run-32 leaves one for a few seconds), and -p fails then.
wineserver -k 2>/dev/null || true
wineserver -p

# The folder a game developer gets, with the host beside the plug-in.
app=$work/app
mkdir -p "$app"
cp "$package"/*.dll "$host_exe" "$app/"
host=$app/$(basename "$host_exe")
windows_path() { local path=$1; echo "Z:${path//\//\\}"; }

# Runs a program in its folder, by name: run_program NAME DIR EXE ARGS...; its output
# goes to $work/NAME.out. Exit code 139 is Wine's own loader killed by SIGSEGV: a fault
# in Windows code, the plug-in's included, ends the program with the low byte of its
# exception code instead. Wine does that now and then on a busy machine (seen in
# message-box mode, whose end of the process comes while Wine still starts its desktop
# process), so such a run is made once more (not while a recording runs:
# RETRY_WINE_CRASH=0).
run_program() {
  local name=$1 dir=$2 exe=$3 attempt status
  shift 3
  for attempt in 1 2; do
    set +e
    (cd "$dir" && timeout 900 "$wine_loader" "$exe" "$@") >"$work/$name.out" 2>"$work/$name.err"
    status=$?
    set -e
    sed "s/^/  $name: /" "$work/$name.out" >&2
    [ $status -eq 139 ] && [ "$attempt" = 1 ] && [ "${RETRY_WINE_CRASH:-1}" = 1 ] || break
    echo "wine test: Wine itself crashed in $name (exit code 139); running it once more" >&2
  done
  return $status
}

# Runs one scenario of the host.
run_host() {
  local name=$1; shift
  run_program "$name" "$app" "$host" "$@"
}

# Runs an example with a song and expects its exit code, and text (if any) in its output.
run_example() {
  local name=$1 dir=$2 exe=$3 song=$4 expected=$5 text=$6 status=0
  run_program "$name" "$dir" "$exe" "$song" || status=$?
  if [ $status -ne "$expected" ] || { [ -n "$text" ] && ! grep -qF "$text" "$work/$name.out"; }; then
    cat "$work/$name.err" >&2
    echo "wine test: FAILED: $name ended with $status (not $expected) or did not print: $text" >&2
    return 1
  fi
}

# Records the sink while the host runs a scenario, then checks the recording: by the
# host's phases on the clock (CLOCK_CHECKS; none where the clock cannot place them) and
# by content, value for value (CONTENT_CHECKS).
run_heard() {
  local name=$1 clock_checks=$2 content_checks=$3; shift 3
  local start
  start=$(date +%s.%N)
  parecord --device=vantor_sink.monitor --rate=44100 --channels=2 --format=s16le \
    --file-format=wav "$work/$name.wav" &
  recorder_pid=$!
  # The recorder takes a moment to connect: the host starts once sound data (0.2 s of
  # it) reaches the file, so that the recording holds the start of the song.
  local waited
  for waited in $(seq 100); do
    [ "$(stat -c %s "$work/$name.wav" 2>/dev/null || echo 0)" -lt 35324 ] || break
    sleep 0.1
  done
  [ "$waited" -lt 100 ] || { echo "wine test: FAILED: parecord records nothing" >&2; return 1; }
  local status=0
  RETRY_WINE_CRASH=0 run_host "$name" "$@" || status=$?
  sleep 0.5
  kill -INT "$recorder_pid"
  wait "$recorder_pid" || true
  recorder_pid=
  if [ $status -ne 0 ]; then
    cat "$work/$name.err" >&2
    echo "wine test: FAILED: the host's $name scenario ended with $status" >&2
    return 1
  fi
  local heard=0
  # shellcheck disable=SC2086 # the checks hold several options
  if [ -n "$clock_checks" ]; then
    "$python" "$here/compare_audio.py" --recording "$work/$name.wav" --recording-start "$start" \
      --phases "$work/$name.out" --reference "$reference" $clock_checks | sed "s/^/  heard: /" >&2 || heard=1
  fi
  # shellcheck disable=SC2086
  "$python" "$here/compare_audio.py" --content --recording "$work/$name.wav" --reference "$reference" \
    $content_checks | sed "s/^/  heard by content: /" >&2 || heard=1
  return $heard
}

failures=0
run_host errors errors || { echo "wine test: FAILED: exception mode" >&2; failures=$((failures + 1)); }
status=0
run_host msgbox msgbox || status=$?
if [ $status -ne 69 ]; then
  echo "wine test: FAILED: message-box mode ended with $status, not 69" >&2
  failures=$((failures + 1))
fi
for extra in "${errors_hosts[@]}"; do
  cp "$extra" "$app/"
  run_program "errors-$(basename "$extra" .exe)" "$app" "$app/$(basename "$extra")" errors || {
    echo "wine test: FAILED: exception mode, $(basename "$extra")" >&2
    failures=$((failures + 1))
  }
done
for dir in "${example_dirs[@]}"; do
  flavour=$(basename "$(dirname "$dir")")-$(basename "$dir")
  if [ ! -f "$dir/play_song.exe" ] && [ ! -f "$dir/play_song_dynamic.exe" ]; then
    echo "wine test: FAILED: no examples in $dir" >&2
    failures=$((failures + 1))
  fi
  if [ -f "$dir/play_song.exe" ]; then
    run_example "$flavour-play_song" "$dir" play_song.exe "$(windows_path "$song")" 0 "playing it again" ||
      failures=$((failures + 1))
    run_example "$flavour-play_song-missing" "$dir" play_song.exe missing.xm 1 \
      "no music: vantor; failed while loading file 'missing.xm'" || failures=$((failures + 1))
  fi
  if [ -f "$dir/play_song_dynamic.exe" ]; then
    run_example "$flavour-play_song_dynamic" "$dir" play_song_dynamic.exe "$(windows_path "$song")" 0 \
      "playing it again" || failures=$((failures + 1))
    run_example "$flavour-play_song_dynamic-missing" "$dir" play_song_dynamic.exe missing.xm 69 "" ||
      failures=$((failures + 1))
  fi
done
play_clock="--match full,focus,restart,memory --quieter half:restart --silent stopped,reloaded,silent,end"
selftest_clock="--match full --quieter half:full --silent stopped"
# By content: heard from the start at full, focus and restart; half is the quiet part;
# stopped, reloaded with silent, and end are the silences.
play_content="--starts 2 --quiet-seconds 1 --gaps 2"
selftest_content="--starts 1 --quiet-seconds 1 --gaps 1"
how=
if [ "$bits" = 32 ] && emulated_32; then
  play_clock= selftest_clock=
  echo "wine test: Wine runs under qemu-user emulation: what was heard is judged by content alone" >&2
  how=", Wine under qemu-user"
fi
# On a busy machine the sound path (Wine's mixer, the sound server, the recorder) may
# drop or mangle sound for a moment; a second run tells that from a fault of the plug-in.
if ! run_heard play "$play_clock" "$play_content" play "$(windows_path "$song")" &&
  { echo "wine test: what was heard did not pass; playing once more" >&2
    ! run_heard play "$play_clock" "$play_content" play "$(windows_path "$song")"; }; then
  failures=$((failures + 1))
  # Tells whether Wine's DirectSound plays at all: the host's own signal, without the plug-in.
  echo "wine test: for comparison, DirectSound without the plug-in:" >&2
  reference=$work/selftest-reference.wav
  run_heard selftest "$selftest_clock" "$selftest_content" selftest "$(windows_path "$work")" || true
fi

# Two threads giving overlapping commands, then one play heard from its start; and
# rounds of unloading the library with its song loaded.
overlap_clock="--match full --silent end"
[ -n "$play_clock" ] || overlap_clock=
if ! run_heard overlap "$overlap_clock" "--starts 1" overlap "$(windows_path "$song")" &&
  { echo "wine test: what was heard after the overlapping commands did not pass; once more" >&2
    ! run_heard overlap "$overlap_clock" "--starts 1" overlap "$(windows_path "$song")"; }; then
  failures=$((failures + 1))
fi
unload_how=()
[ -z "$how" ] || unload_how=(--emulated)
run_host unload unload "$(windows_path "$song")" ${unload_how[@]+"${unload_how[@]}"} || {
  echo "wine test: FAILED: unloading the library" >&2
  failures=$((failures + 1))
}

if [ $failures -ne 0 ]; then
  echo "wine test: FAILED ($failures)" >&2
  exit 1
fi
echo "wine test: passed ($bits-bit build$how)" >&2

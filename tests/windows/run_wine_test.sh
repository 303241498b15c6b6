#!/usr/bin/env bash
# Runs the Windows test host under Wine with real DirectSound and checks what was heard.
#
#   run_wine_test.sh PACKAGE_DIR HOST_EXE [SONG.xm REFERENCE.wav]
#
# PACKAGE_DIR holds vantor.dll and libgcc_s_dw2-1.dll as a game developer gets them.
# A private PulseAudio server with a null sink takes Wine's sound; parecord records
# the sink's monitor while the host plays, and compare_audio.py checks the recording
# against the reference: the song rendered by the Linux build of the same sources
# (at least 10 s of it). Without SONG and REFERENCE the host's own DirectSound
# self-test is checked instead, and so it is while vantor.dll has no modproc yet.
#
# With CI=true every missing piece is a failure; elsewhere the test says what is
# missing and skips. The Wine prefix is kept (VANTOR_WINEPREFIX, by default next to
# the package) because creating one takes long.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 2 ] || { echo "usage: $0 PACKAGE_DIR HOST_EXE [SONG.xm REFERENCE.wav]" >&2; exit 2; }
package=$(cd "$1" && pwd)
host_exe=$(realpath "$2")
song=${3:+$(realpath "$3")}
reference=${4:+$(realpath "$4")}
python=/usr/bin/python3

unavailable() {
  if [ "${CI:-}" = true ]; then
    echo "wine test: FAILED: $*" >&2
    exit 1
  fi
  echo "wine test: SKIPPED: $*" >&2
  exit 0
}

missing=()
for tool in wine wineserver pulseaudio parecord pactl i686-w64-mingw32-objdump; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
"$python" -c 'import numpy' 2>/dev/null || missing+=("python3-numpy")
[ ${#missing[@]} -eq 0 ] || unavailable "missing ${missing[*]} (./scripts/setup installs them as root)"

# 32-bit Windows code needs a kernel that runs 32-bit x86 code. Under qemu-user
# emulation Wine starts single-threaded programs, but its processes that start threads
# (DirectSound among them) crash.
# VANTOR_WINE_EMULATED=1 tries all the same, to see how far it gets.
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 &&
  [ "${VANTOR_WINE_EMULATED:-}" != 1 ]; then
  unavailable "32-bit programs run here only through qemu-user (the kernel has no IA32 emulation), where Wine's threads crash"
fi
if ! wine --version >/dev/null 2>&1; then
  unavailable "wine cannot start: this kernel does not run 32-bit programs (IA32 emulation is off)"
fi

work=$(mktemp -d)
pulse_pid= recorder_pid=
export WINEPREFIX=${VANTOR_WINEPREFIX:-$package/../wineprefix}
cleanup() {
  [ -z "$recorder_pid" ] || kill "$recorder_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  [ -z "$pulse_pid" ] || kill "$pulse_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A private sound server: nothing of the machine's own sound setup takes part.
mkdir -p "$work/run" "$work/home"
chmod 700 "$work/run"
XDG_RUNTIME_DIR=$work/run HOME=$work/home pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --disallow-exit --use-pid-file=no --log-target=stderr \
  -L "module-null-sink sink_name=vantor_sink rate=44100 channels=2 format=s16le" \
  -L "module-native-protocol-unix auth-anonymous=1 socket=$work/pulse.socket" \
  2>"$work/pulseaudio.log" &
pulse_pid=$!
export PULSE_SERVER=unix:$work/pulse.socket
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.2; done
pactl info >/dev/null 2>&1 || { cat "$work/pulseaudio.log" >&2; echo "wine test: FAILED: PulseAudio did not start" >&2; exit 1; }
pactl set-default-sink vantor_sink

export WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine test: creating the Wine prefix $WINEPREFIX" >&2
  wineboot -i >/dev/null 2>&1
fi
wineserver -p  # one Wine session for every run below

# The folder a game developer gets, with the host beside the plug-in.
app=$work/app
mkdir -p "$app"
cp "$package"/*.dll "$host_exe" "$app/"
host=$app/$(basename "$host_exe")
windows_path() { local path=$1; echo "Z:${path//\//\\}"; }

# Runs one scenario of the host; its output goes to $work/NAME.out.
run_host() {
  local name=$1; shift
  set +e
  (cd "$app" && timeout 900 wine "$host" "$@") >"$work/$name.out" 2>"$work/$name.err"
  local status=$?
  set -e
  sed "s/^/  $name: /" "$work/$name.out" >&2
  return $status
}

# Records the sink while the host runs a scenario, then checks the recording.
run_heard() {
  local name=$1 reference=$2 checks=$3; shift 3
  local start
  start=$(date +%s.%N)
  parecord --device=vantor_sink.monitor --rate=44100 --channels=2 --format=s16le \
    --file-format=wav "$work/$name.wav" &
  recorder_pid=$!
  local status=0
  run_host "$name" "$@" || status=$?
  sleep 0.5
  kill -INT "$recorder_pid"
  wait "$recorder_pid" || true
  recorder_pid=
  if [ $status -ne 0 ]; then
    cat "$work/$name.err" >&2
    echo "wine test: FAILED: the host's $name scenario ended with $status" >&2
    return 1
  fi
  # shellcheck disable=SC2086 # checks holds several options
  "$python" "$here/compare_audio.py" --recording "$work/$name.wav" --recording-start "$start" \
    --phases "$work/$name.out" --reference "${reference:-$work/$name-reference.wav}" $checks
}

failures=0
if i686-w64-mingw32-objdump -p "$package/vantor.dll" | grep -qw modproc; then
  run_host errors errors || { echo "wine test: FAILED: exception mode" >&2; failures=$((failures + 1)); }
  status=0
  run_host msgbox msgbox || status=$?
  if [ $status -ne 69 ]; then
    echo "wine test: FAILED: message-box mode ended with $status, not 69" >&2
    failures=$((failures + 1))
  fi
  if [ -n "$song" ] && [ -n "$reference" ]; then
    run_heard play "$reference" \
      "--match full,restart,memory --quieter half:restart --silent stopped,reloaded,silent" \
      play "$(windows_path "$song")" || failures=$((failures + 1))
  else
    [ "${CI:-}" != true ] || { echo "wine test: FAILED: no song and reference to play" >&2; exit 1; }
    echo "wine test: no song and reference given: playback not checked" >&2
  fi
else
  echo "wine test: vantor.dll has no modproc yet: checking DirectSound with the host's self-test" >&2
  run_heard selftest "$work/selftest-reference.wav" \
    "--match full --quieter half:full --silent stopped" selftest "$(windows_path "$work")" ||
    failures=$((failures + 1))
fi

if [ $failures -ne 0 ]; then
  echo "wine test: FAILED ($failures)" >&2
  exit 1
fi
echo "wine test: passed" >&2

#!/usr/bin/env bash
# The web stage: builds the module and the page (./scripts/build-web), installs the
# test driver locked by package-lock.json (npm ci), and runs the Node tests of the
# module and the headless-Chromium tests of the page, with a private PulseAudio
# server whose null sink gives Chromium a sound output.
#   tests/web/run_web_tests.sh    (from the top of the repository, after the release build)
set -euo pipefail
cd "$(dirname "$0")/../.."

work=$(mktemp -d)
pulse_pid=
cleanup() {
  [ -z "$pulse_pid" ] || kill "$pulse_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

./scripts/build-web
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)

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
pactl info >/dev/null 2>&1 || { cat "$work/pulseaudio.log" >&2; echo "web: FAILED: PulseAudio did not start" >&2; exit 1; }
pactl set-default-sink vantor_sink

node --test tests/web/

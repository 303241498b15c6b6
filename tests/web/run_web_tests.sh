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

. tests/support/private_pulseaudio.sh
start_private_pulseaudio "$work" "web: FAILED" || exit 1

node --test tests/web/

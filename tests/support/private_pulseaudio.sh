# A private PulseAudio server for the tests and benchmarks that play sound (the Wine
# test and latency bench, the browser tests): nothing of the machine's own sound setup
# takes part, and its null sink plays in real time at vantor's rate. Sourced; then
#   start_private_pulseaudio WORK NAME
# starts it with its files under the folder WORK, sets pulse_pid (the caller's
# cleanup kills it) and PULSE_SERVER, and makes the null sink the default; when the
# server does not start it shows the server's log and "NAME: PulseAudio did not start"
# and returns 1.
start_private_pulseaudio() {
  local work=$1 name=$2
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
  pactl info >/dev/null 2>&1 || { cat "$work/pulseaudio.log" >&2; echo "$name: PulseAudio did not start" >&2; return 1; }
  pactl set-default-sink vantor_sink
}

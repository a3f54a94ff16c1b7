# A private PulseAudio server with a null sink, for scripts that need sound
# without a sound card. Source this file, then:
#   pulse_start DIR   starts the server with its socket at DIR/native and
#                     exports PULSE_SERVER, PULSE_SINK, PULSE_PID and, when
#                     unset or not writable, XDG_RUNTIME_DIR and HOME under DIR
#   pulse_stop        ends that server (by its pid)
# The sink's monitor, "$PULSE_SINK.monitor", records what was played.
# Works as root: the server is not daemonized and needs no session bus.

pulse_start() {
  local dir=$1
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  # The server and its clients keep their state under these; a private
  # folder keeps them away from any desktop session's server.
  if [[ -z ${XDG_RUNTIME_DIR:-} || ! -w ${XDG_RUNTIME_DIR:-/nonexistent} ]]; then
    export XDG_RUNTIME_DIR=$dir
  fi
  if [[ -z ${HOME:-} || ! -w ${HOME:-/nonexistent} || $(id -u) == 0 ]]; then
    mkdir -p "$dir/home"
    export HOME=$dir/home
  fi
  chmod 700 "$XDG_RUNTIME_DIR"
  export PULSE_SINK=${PULSE_SINK:-rivek_null}
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    --disable-shm=yes --log-target=stderr \
    --load="module-null-sink sink_name=$PULSE_SINK norewinds=1" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
    >"$dir/server.log" 2>&1 &
  export PULSE_PID=$!
  export PULSE_SERVER=unix:$dir/native
  local _
  for _ in $(seq 250); do
    if [[ -S $dir/native ]] && pactl info >/dev/null 2>&1; then
      return 0
    fi
    if ! kill -0 "$PULSE_PID" 2>/dev/null; then
      echo "pulse_start: the sound server ended; its log:" >&2
      cat "$dir/server.log" >&2
      return 1
    fi
    sleep 0.02
  done
  echo "pulse_start: the sound server did not answer within 5 s" >&2
  return 1
}

pulse_stop() {
  [[ -n ${PULSE_PID:-} ]] || return 0
  kill "$PULSE_PID" 2>/dev/null || true
  wait "$PULSE_PID" 2>/dev/null || true
  unset PULSE_PID
}

# Source this: a private X display (Xvfb + openbox) and a private PulseAudio server
# with a null sink, for tests and benchmarks that run the real programs.
#   e2e_start_display; e2e_start_audio; ...; e2e_stop_audio; e2e_stop_display
# Everything lives under $E2E_DIR (default: a fresh temporary folder).

E2E_DIR=${E2E_DIR:-$(mktemp -d /tmp/zampolo-e2e.XXXXXX)}
E2E_SINK=zsink

e2e_start_display() {
  local n
  for n in $(seq 90 130); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || break
  done
  export DISPLAY=:$n
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >"$E2E_DIR/xvfb.log" 2>&1 &
  E2E_XVFB_PID=$!
  local i
  for i in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
  xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start" >&2; return 1; }
  openbox --sm-disable >"$E2E_DIR/openbox.log" 2>&1 &
  E2E_WM_PID=$!
  # Wait for the window manager to own the screen.
  for i in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
  done
  unset QT_QPA_PLATFORM
}

e2e_stop_display() {
  [ -n "${E2E_WM_PID:-}" ] && kill "$E2E_WM_PID" 2>/dev/null
  [ -n "${E2E_XVFB_PID:-}" ] && kill "$E2E_XVFB_PID" 2>/dev/null
  wait "${E2E_WM_PID:-}" "${E2E_XVFB_PID:-}" 2>/dev/null
  E2E_WM_PID=; E2E_XVFB_PID=
}

e2e_start_audio() {
  export PULSE_RUNTIME_PATH=$E2E_DIR/pulse
  export PULSE_SERVER=unix:$PULSE_RUNTIME_PATH/native
  export PULSE_COOKIE=$E2E_DIR/pulse-cookie
  export PULSE_SINK=$E2E_SINK
  mkdir -p "$PULSE_RUNTIME_PATH" "$E2E_DIR/home"
  chmod 700 "$PULSE_RUNTIME_PATH"
  HOME=$E2E_DIR/home XDG_CONFIG_HOME=$E2E_DIR/home/.config \
  pulseaudio --daemonize=yes --system=false -n --exit-idle-time=-1 --use-pid-file=yes \
    --log-target=file:"$E2E_DIR/pulse.log" \
    --load="module-null-sink sink_name=$E2E_SINK rate=44100 channels=2 format=s16le norewinds=1" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$PULSE_RUNTIME_PATH/native" \
    || { echo "pulseaudio did not start" >&2; return 1; }
  local i
  for i in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
  pactl set-default-sink "$E2E_SINK"
}

e2e_stop_audio() {
  local pidfile=${PULSE_RUNTIME_PATH:-/nonexistent}/pid
  [ -f "$pidfile" ] || return 0
  local pid; pid=$(cat "$pidfile")
  [ "$(cat /proc/"$pid"/comm 2>/dev/null)" = pulseaudio ] && kill -TERM "$pid"
  local i
  for i in $(seq 50); do [ -d /proc/"$pid" ] || break; sleep 0.1; done
}

# Records the sink's monitor into $1.raw until e2e_stop_recording.
e2e_start_recording() {
  parec --raw --device="$E2E_SINK.monitor" --format=s16le --rate=44100 --channels=2 \
        --latency-msec=20 >"$1.raw" &
  E2E_REC_PID=$!
  E2E_REC_OUT=$1
  local i
  for i in $(seq 300); do [ -s "$1.raw" ] && break; sleep 0.01; done
}

e2e_stop_recording() {
  sleep 0.6 # the last fragment reaches parec
  kill -INT "$E2E_REC_PID" 2>/dev/null; wait "$E2E_REC_PID" 2>/dev/null
  sox -q -t raw -r 44100 -e signed-integer -b 16 -c 2 -L "$E2E_REC_OUT.raw" "$E2E_REC_OUT.wav"
  rm -f "$E2E_REC_OUT.raw"
}

# The id of the first visible window whose name matches $1, waiting up to 10 s.
e2e_wait_window() {
  local i id
  for i in $(seq 200); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.05
  done
  return 1
}

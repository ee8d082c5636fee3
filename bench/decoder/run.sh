#!/bin/bash
# Decoder benchmarks: every figure beside mpg123's for the same files in the same run.
#   bench/decoder/run.sh [BUILD_DIR]      (default build; needs bench_gettime and mp3seq)
# Uses the shared audio harness: a private PulseAudio server with a null sink, a
# recorder of its monitor and an analyser that finds each song by its tone.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
tools=${AUDIO_TOOLS:-$root/../shared/tools/audio}
bin=$build/bench/decoder
work=$build/bench/decoder/data
mkdir -p "$work"
for t in bench_gettime mp3seq; do
  [ -x "$bin/$t" ] || { echo "build $t first: cmake --build $build --target $t" >&2; exit 2; }
done

echo "== mp3gettime on a 20-minute VBR file without a Xing header (warm cache)"
long=$work/long_vbr_nohdr.mp3
if [ ! -s "$long" ]; then
  sox -n -r 44100 -c 2 -b 16 "$work/long.wav" synth 1200 pinknoise vol 0.3 \
      synth 1200 sine amod 0.05 50
  lame --quiet -V 2 -t "$work/long.wav" "$long.part" && mv "$long.part" "$long"
  rm -f "$work/long.wav"
fi
"$bin/bench_gettime" "$long" 15

"$tools/start_pulse.sh" >/dev/null
. "$tools/env.sh"
py=$AH_PY
songs=$work/tones
[ -s "$songs/t880.mp3" ] || "$tools/make_tones.sh" "$songs" 20 440 660 880 >/dev/null
a=$songs/t440.mp3 b=$songs/t660.mp3 c=$songs/t880.mp3

gap() { # prefix -- command...: the gap between the two songs, in ms
  local out=$1; shift
  POST_S=1 "$tools/record.sh" "$out" "$@" >/dev/null 2>&1
  "$py" "$tools/analyze.py" "$out.wav" --json | "$py" -c \
    'import json,sys; r=json.load(sys.stdin); print(" ".join(f"{g:.2f}" for g in r["gaps_ms"]) or "none")'
}
echo
echo "== gap at a song change, two 20 s songs on the null sink (ms)"
lib=$(gap "$work/rec_lib" -- "$bin/mp3seq" --tail 2500 "$a" "$b")
one=$(gap "$work/rec_mpg123" -- mpg123 -q -o pulse "$a" "$b")
each=$(gap "$work/rec_each" --each 2 -- mpg123 -q -o pulse "$a" "$b")
echo "MP3.DLL (player's path: end message, gettime, new thread): $lib  (target <= 5)"
echo "mpg123, one process:                                      $one"
echo "mpg123, one process per song:                             $each"

echo
echo "== CPU (user + sys, all threads) per minute of playback, three 40 s songs, best of 2"
long_songs=$work/tones40
[ -s "$long_songs/t880.mp3" ] || "$tools/make_tones.sh" "$long_songs" 40 440 660 880 >/dev/null
set -- "$long_songs/t440.mp3" "$long_songs/t660.mp3" "$long_songs/t880.mp3"
cpu() { # command...: CPU seconds per minute of sound (2 minutes played)
  "$py" "$tools/cpurun.py" --out "$work/cpu.json" -- "$@" >/dev/null 2>&1
  "$py" -c 'import json,sys; print("%.3f" % (json.load(open(sys.argv[1]))["total_cpu_s"] / 2))' "$work/cpu.json"
}
ours=() theirs=()
for _ in 1 2; do
  ours+=("$(cpu "$bin/mp3seq" --tail 0 "$@")")
  theirs+=("$(cpu mpg123 -q -o pulse "$@")")
done
"$py" -c 'import sys; o=min(map(float,sys.argv[1:3])); t=min(map(float,sys.argv[3:5])); print(f"MP3.DLL {o:.3f} s/min, mpg123 {t:.3f} s/min, ratio {o/t:.2f}x (target <= 1)")' "${ours[@]}" "${theirs[@]}"

echo
echo "== stop latency on the null sink: mp3stop to the end message (ms)"
"$bin/mp3seq" --stop-after 1500 --tail 0 "$a" "$b" "$c" "$a" "$b" "$c" "$a" "$b" "$c" "$a" \
  2>/dev/null | awk '{print $3}' | sort -n | awk '{v[NR]=$1} END {printf "median %.2f, max %.2f over %d stops (target <= 50)\n", v[int((NR+1)/2)], v[NR], NR}'

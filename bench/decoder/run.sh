#!/bin/bash
# Decoder benchmarks: every figure beside mpg123's for the same files in the same run.
#   bench/decoder/run.sh [BUILD_DIR]      (default build; needs bench_gettime and mp3seq)
# mp3gettime against libmpg123's full scan, then playback on a private PulseAudio
# server with a null sink, recorded (tests/e2e/e2elib.py, as the end-to-end tests do).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
bin=$build/bench/decoder
work=$build/bench/decoder/data
mkdir -p "$work"
for t in bench_gettime mp3seq; do
  [ -x "$bin/$t" ] || { echo "build $t first: cmake --build $build --target $t" >&2; exit 2; }
done

long=$work/long_vbr_nohdr.mp3
if [ ! -s "$long" ]; then
  sox -n -r 44100 -c 2 -b 16 "$work/long.wav" synth 1200 pinknoise vol 0.3 \
      synth 1200 sine amod 0.05 50
  lame --quiet -V 2 -t "$work/long.wav" "$long.part" && mv "$long.part" "$long"
  rm -f "$work/long.wav"
fi
echo "== mp3gettime on a 20-minute VBR file without a Xing header (warm cache)"
"$bin/bench_gettime" "$long" 15

# An ordinary song with an Info header, and four of them joined end to end.
song=$work/song_info.mp3
if [ ! -s "$song" ]; then
  sox -n -r 44100 -c 2 -b 16 "$work/song.wav" synth 240 pinknoise vol 0.3 \
      synth 240 sine amod 0.1 40
  lame --quiet -V 2 "$work/song.wav" "$song.part" && mv "$song.part" "$song"
  rm -f "$work/song.wav"
fi
[ -s "$work/joined4.mp3" ] || cat "$song" "$song" "$song" "$song" > "$work/joined4.mp3"
echo
echo "== mp3gettime on a 4-minute VBR song with an Info header (warm cache)"
"$bin/bench_gettime" "$song" 15
echo
echo "== mp3gettime on four such songs joined end to end (warm cache)"
"$bin/bench_gettime" "$work/joined4.mp3" 15
echo
# What is no song is refused at once: a 20-second CD-quality WAV file named .mp3.
[ -s "$work/wav.mp3" ] || sox -n -r 44100 -c 2 -b 16 -t wav "$work/wav.mp3" synth 20 \
    pinknoise vol 0.3 synth 20 sine amod 0.3 30 fade 0 20 5
echo "== mp3gettime on a 20-second WAV file named .mp3 (warm cache; libmpg123 times noise)"
"$bin/bench_gettime" "$work/wav.mp3" 15
echo
exec /usr/bin/python3 "$here/decoder_bench.py" --bin "$bin" --work "$work/play" "${@:2}"

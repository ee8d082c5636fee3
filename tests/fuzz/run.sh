#!/usr/bin/env bash
# run.sh BUILD_DIR SECONDS: seeds made with sox and lame, and the decoder tests' songs,
# files as people have them, files that are no MPEG audio and damaged songs (made into
# the build tree as the tests make them), then each fuzz target for half the seconds.
# Fails on a crash, a leak, a hang (-timeout), runaway memory or a broken rule.
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR SECONDS}; seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
corpus=$build/fuzz-corpus
mkdir -p "$corpus"
if [ -z "$(ls -A "$corpus")" ]; then
  tmp=$(mktemp -d)
  sox -q -n -r 44100 -c 2 -b 16 "$tmp/s.wav" synth 0.3 sine 440
  sox -q -n -r 22050 -c 1 -b 16 "$tmp/m.wav" synth 0.3 sine 660
  lame --quiet -b 128 "$tmp/s.wav" "$corpus/cbr.mp3"
  lame --quiet -V 2 "$tmp/s.wav" "$corpus/vbr.mp3"
  lame --quiet -V 5 -t "$tmp/m.wav" "$corpus/vbr-noheader.mp3"
  lame --quiet -b 32 "$tmp/m.wav" "$corpus/mono22.mp3"
  cp "$here/../decoder/data/"*.mp3 "$corpus/" 2>/dev/null || true
  find "$corpus" -type d -empty -delete
  mkdir -p "$corpus"
  rm -rf "$tmp"
fi
# Made once and kept, as the tests keep them; an older corpus gains them too.
fixtures=$build/tests/decoder/fixtures
mkdir -p "$build/tests/decoder"
flock "$fixtures.lock" /usr/bin/python3 "$here/../decoder/make_fixtures.py" "$fixtures"
cp "$fixtures/"*.mp3 "$fixtures/corpus/"* "$fixtures/rules/"* "$corpus/"
half=$(( seconds / 2 ))
common=(-max_total_time="$half" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1
work=$(mktemp -d)
cp "$corpus"/* "$work/" 2>/dev/null || true
"$build/dist/decoder_scan_fuzz" "${common[@]}" -max_len=262144 "$work"
"$build/dist/decoder_play_fuzz" "${common[@]}" -max_len=65536 "$work"
rm -rf "$work"
echo "fuzzing: no crash, leak, hang or runaway memory in ${seconds} s"

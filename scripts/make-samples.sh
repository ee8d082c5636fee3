#!/usr/bin/env bash
# make-samples.sh DIR: a few short sample songs (distinct tones) to try the player with.
# Run by the build; quick, and it leaves existing songs alone.
set -euo pipefail
dir=${1:?usage: make-samples.sh DIR}
mkdir -p "$dir"
declare -A songs=(
  ["Canción en La.mp3"]="pluck A3 pluck E4 pluck A4"
  ["Canción en Do.mp3"]="pluck C4 pluck G4 pluck E5"
  ["Canción en Mi.mp3"]="pluck E3 pluck B3 pluck G#4"
  ["Canción en Sol.mp3"]="pluck G3 pluck D4 pluck B4"
)
for name in "${!songs[@]}"; do
  [ -s "$dir/$name" ] && continue
  tmp=$(mktemp --suffix=.wav)
  # shellcheck disable=SC2086
  sox -q -n -r 44100 -c 2 -b 16 "$tmp" synth 12 ${songs[$name]} tremolo 2 40 fade 0.1 12 1.5 vol 0.6
  lame --quiet -b 128 "$tmp" "$dir/$name.part" && mv "$dir/$name.part" "$dir/$name"
  rm -f "$tmp"
done

#!/usr/bin/env bash
# Times ombrix-decode against mpg123 and ffmpeg on generated files (five minutes of music-like
# material in the formats people actually have) and runs the stage benchmarks.
# Usage: bench/run.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-build}"
build="$(cd "$build" && pwd)"
work="$build/bench-files"
mkdir -p "$work"

if [ ! -f "$work/music.wav" ]; then
  "$build/tools/demo-song" --seconds 300 "$work/music.wav"
fi
make_file() {  # name, command...
  local name="$1"; shift
  [ -f "$work/$name" ] || "$@"
}
make_file cbr128.mp3 lame --quiet -b 128 "$work/music.wav" "$work/cbr128.mp3"
make_file cbr320.mp3 lame --quiet -b 320 "$work/music.wav" "$work/cbr320.mp3"
make_file vbr-v2.mp3 lame --quiet -V 2 "$work/music.wav" "$work/vbr-v2.mp3"
make_file mpeg2-22k-64.mp3 lame --quiet --resample 22.05 -b 64 "$work/music.wav" "$work/mpeg2-22k-64.mp3"
make_file mp2-192.mp2 twolame --quiet -b 192 "$work/music.wav" "$work/mp2-192.mp2"

python3 "$here/compare.py" --decoder "$build/tools/ombrix-decode" \
  "$work/cbr128.mp3" "$work/cbr320.mp3" "$work/vbr-v2.mp3" "$work/mpeg2-22k-64.mp3" "$work/mp2-192.mp2"

for b in "$build"/bench/*/*-bench; do
  [ -x "$b" ] && "$b" --benchmark_min_time=0.2
done
exit 0

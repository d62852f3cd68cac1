#!/usr/bin/env bash
# bench/program.sh [BUILD_DIR]: the player beside Audacious, Qmmp and mpg123, as a desktop runs
# them (../shared/tools/play-bench.sh: private Xvfb, D-Bus and a PulseAudio null sink).
# Prints one line per run: time to the first window, CPU and wake-ups of the player and of the
# sound server over 30 s of playing a 192 kbit/s MP3 of generated music, and resident memory.
#   ombrix(shown)   the window stays up while it plays
#   ombrix(hidden)  a start with files hides the window to the tray (the default; without a
#                   tray, as under the bench's bare Xvfb, the window stays shown)
#   ombrix(unmapped) the shown window taken off the screen (xdotool windowunmap), as a
#                   minimised or covered window is under a window manager
#   decode          ombrix-decode --play at the default latency target
# Needs (not installed by `make`): audacious, qmmp, mpg123, lame, pulseaudio, pulseaudio-utils,
# dbus, bc, xdotool, imagemagick. Peers that are missing are skipped. RUNS (default 2).
set -euo pipefail
build=$(realpath "${1:-build}")
here=$(cd "$(dirname "$0")" && pwd)
bench=$(realpath "$here/../../shared/tools/play-bench.sh")
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
"$build/tools/demo-song" --seconds 120 "$work/music.wav" >/dev/null
lame --quiet -b 192 "$work/music.wav" "$work/song.mp3"
song=$work/song.mp3
mkdir -p "$work/shown" "$work/hidden"
printf '[option]\r\nglbhide=0\r\n' > "$work/shown/ombrix player.ini"
runs=${RUNS:-2}

for i in $(seq "$runs"); do
  OMBRIX_HOME=$work/shown bash "$bench" "ombrix(shown)" "$build/bin/ombrix" "$song"
  OMBRIX_HOME=$work/hidden bash "$bench" "ombrix(hidden)" "$build/bin/ombrix" "$song"
  POST='xdotool search --pid $p | xargs -r -n1 xdotool windowunmap' \
    OMBRIX_HOME=$work/shown bash "$bench" "ombrix(unmapped)" "$build/bin/ombrix" "$song"
  bash "$bench" decode "$build/tools/ombrix-decode" --play "$song"
  if command -v audacious >/dev/null; then
    POST='audtool playback-play' bash "$bench" audacious audacious "$song"
  fi
  if command -v qmmp >/dev/null; then
    bash "$bench" qmmp qmmp "$song"
  fi
  if command -v mpg123 >/dev/null; then
    bash "$bench" mpg123 mpg123 -q -o pulse "$song"
  fi
done

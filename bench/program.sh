#!/usr/bin/env bash
# bench/program.sh [BUILD_DIR]: the player program beside Audacious and Qmmp, as a desktop runs
# them (../shared/tools/play-bench.sh: private Xvfb, D-Bus and a PulseAudio null sink).
# Prints one line per run: time to the first window, CPU of the player and of the sound server
# over 30 s of playing a 128 kbit/s MP3, and resident memory.
# Needs (not installed by `make`): audacious qmmp pulseaudio pulseaudio-utils dbus bc xdotool
# imagemagick. Peers that are missing are skipped.
set -euo pipefail
build=$(realpath "${1:-build}")
here=$(cd "$(dirname "$0")" && pwd)
bench=$(realpath "$here/../../shared/tools/play-bench.sh")
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
"$build/tools/demo-song" --seconds 120 "$work/music.wav" >/dev/null
lame --quiet -b 128 "$work/music.wav" "$work/song.mp3"
song=$work/song.mp3
# The window stays shown while it plays (by default a start with files hides it to the tray).
export OMBRIX_HOME=$work/home
mkdir -p "$OMBRIX_HOME"
printf '[option]\r\nglbhide=0\r\n' > "$OMBRIX_HOME/ombrix player.ini"
runs=${RUNS:-2}

for i in $(seq "$runs"); do
  SDL_AUDIODRIVER=dummy bash "$bench" "ombrix(sdl-dummy)" "$build/bin/ombrix" "$song"
  SDL_AUDIODRIVER=pulseaudio bash "$bench" "ombrix(pulse)" "$build/bin/ombrix" "$song"
  if command -v audacious >/dev/null; then
    POST='audtool playback-play' bash "$bench" audacious audacious "$song"
  fi
  if command -v qmmp >/dev/null; then
    bash "$bench" qmmp qmmp "$song"
  fi
done

#!/usr/bin/env bash
# Photographs the player as a user first sees it: the built program, started with the demo
# playlist and its default settings on a virtual X display (xvfb-run), is taken with ImageMagick's
# `import -window root` once it plays, and the picture is cut down to the window.
#
# Usage: scripts/screenshot.sh BUILD_DIR OUTPUT.png
# The README's picture is refreshed with: scripts/screenshot.sh build docs/screenshot.png
# (the app tests write one into the build folder with the same script).
set -euo pipefail

if [ "${1:-}" = "--on-display" ]; then
  # Second stage, inside xvfb-run: start the player, wait until it plays, photograph the screen.
  build=$2 out=$3 work=$4
  home=$work/home
  mkdir -p "$home"
  OMBRIX_INSTANCE="ombrix-screenshot-$$" SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb \
    "$build/bin/ombrix" --home "$home" "$build/data/demo/demo.dmp" >"$work/player.log" 2>&1 &
  player=$!
  trap 'kill "$player" 2>/dev/null || true; wait "$player" 2>/dev/null || true' EXIT
  # The session marker names the song once one plays (its second line).
  for _ in $(seq 1 300); do
    if [ -f "$home/running.state" ] && [ -n "$(sed -n 2p "$home/running.state")" ]; then
      break
    fi
    kill -0 "$player" 2>/dev/null || { cat "$work/player.log" >&2; exit 1; }
    sleep 0.1
  done
  [ -n "$(sed -n 2p "$home/running.state" 2>/dev/null)" ] ||
    { echo "the player did not start playing" >&2; exit 1; }
  # Let the display show a few seconds of the song (time, scrolling title, level meter).
  sleep 3
  import -window root "$work/root.png"
  # The screen's background is black (-br): what is left after trimming it is the window.
  convert "$work/root.png" -trim +repage "$out"
  exit 0
fi

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR OUTPUT.png" >&2
  exit 64
fi
for tool in xvfb-run import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)" >&2; exit 69; }
done
build=$(realpath "$1")
out=$(realpath -m "$2")
[ -x "$build/bin/ombrix" ] && [ -f "$build/data/demo/demo.dmp" ] ||
  { echo "$build has no built player or demo playlist" >&2; exit 66; }
mkdir -p "$(dirname "$out")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
xvfb-run -a -s "-screen 0 640x480x24 -br -nolisten tcp" \
  bash "$(realpath "$0")" --on-display "$build" "$out" "$work"

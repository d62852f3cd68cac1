#!/usr/bin/env bash
# bench/visuals.sh [BUILD_DIR]: the player with a visual plug-in running, beside Qmmp with its
# analyser, as a desktop runs them (../shared/tools/play-bench.sh: private Xvfb, D-Bus and a
# PulseAudio null sink), 192 kbit/s MP3 of generated music.
#   ombrix(default)   the panel's own picture, no plug-in
#   ombrix(plasma)    a fresh home: the sample background plug-in on the panel's screen
#   ombrix(bars)      plasma, and the sample visualisation in its window (opened by xdotool
#                     through the panel's plug-in menu)
#   qmmp(analyzer)    Qmmp with its analyser plug-in enabled
# play-bench measures the player's own process; the plug-in host is a process of its own, so
# its CPU over the same 30 s is printed after each ombrix line (host_cpu_pct).
# Needs (not installed by `make`): qmmp, lame, pulseaudio, pulseaudio-utils, dbus, bc, xdotool.
set -euo pipefail
build=$(realpath "${1:-build}")
here=$(cd "$(dirname "$0")" && pwd)
bench=$(realpath "$here/../../shared/tools/play-bench.sh")
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
"$build/tools/demo-song" --seconds 120 "$work/music.wav" >/dev/null
lame --quiet -b 192 "$work/music.wav" "$work/song.mp3"
song=$work/song.mp3
hz=$(getconf CLK_TCK)
runs=${RUNS:-2}

# CPU of the player's plug-in hosts (its children) over 30 s, from about when play-bench starts
# measuring (its window, then 10 s of warm-up).
hosts() {
  local sum=0 t player
  player=$(pgrep -n -x ombrix || true)
  [ -n "$player" ] || { echo 0; return; }
  for p in $(pgrep -P "$player" -x ombrix-plugin-h || true); do
    t=$(awk '{print $14+$15}' /proc/"$p"/stat 2>/dev/null || echo 0); sum=$((sum + t))
  done
  echo "$sum"
}
# The second look comes before play-bench ends the player (after its own 30 s).
measureHosts() {
  sleep 10.5; local a; a=$(hosts); sleep 29; local b; b=$(hosts)
  echo "  host_cpu_pct=$(echo "scale=2; ($b - $a) * 100 / $hz / 29" | bc)"
}
home() {  # a fresh home of its own, window kept shown; $1 = glbbg
  local h; h=$(mktemp -d -p "$work")
  printf '[option]\r\nglbhide=0\r\nglbbg=%s\r\n' "$1" > "$h/ombrix player.ini"
  echo "$h"
}
ampMenu='xdotool mousemove 384 90 click 1; sleep 0.7; xdotool mousemove 450 144; sleep 0.7;
  xdotool mousemove 540 144; sleep 0.5; xdotool mousemove 560 145; sleep 0.3; xdotool click 1'

for i in $(seq "$runs"); do
  OMBRIX_HOME=$(home 0) bash "$bench" "ombrix(default)" "$build/bin/ombrix" "$song"
  measureHosts & m=$!
  OMBRIX_HOME=$(home 2) bash "$bench" "ombrix(plasma)" "$build/bin/ombrix" "$song"; wait $m
  measureHosts & m=$!
  POST=$ampMenu OMBRIX_HOME=$(home 2) bash "$bench" "ombrix(bars)" "$build/bin/ombrix" "$song"
  wait $m
  if command -v qmmp >/dev/null; then
    bash "$bench" "qmmp(analyzer)" bash -c 'mkdir -p "$HOME/.qmmp" &&
      printf "[Visualization]\nenabled_plugins=analyzer\n" > "$HOME/.qmmp/qmmprc" &&
      exec qmmp "$0"' "$song"
  fi
done

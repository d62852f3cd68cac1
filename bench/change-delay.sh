#!/usr/bin/env bash
# How soon a listener hears a change made while a song plays: the equaliser and an effect (vocal
# cancelling). Runs a private PulseAudio server with a null sink, records its monitor with
# parec, and sets where the left side changes against where the right side's stream volume,
# changed at the same moment and applied by the server at once, did.
#
#   bench/change-delay.sh BUILD_DIR [LATENCY_MS]
set -euo pipefail
build=$(cd "$1" && pwd)
tool=$build/bench/change-delay/ombrix-change-delay
work=$(mktemp -d)
pulse=""
cleanup() {
  [ -n "$pulse" ] && kill "$pulse" 2>/dev/null && wait "$pulse" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work/home XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
pulseaudio -n --daemonize=no --exit-idle-time=-1 -L module-null-sink \
  -L module-native-protocol-unix >"$work/pulse.log" 2>&1 &
pulse=$!
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done

# Ten seconds of a 440 Hz tone, the same on both sides (so that vocal cancelling silences it).
python3 - "$work/tone.wav" <<'PY'
import math, struct, sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
    frames = bytearray()
    for i in range(44100 * 10):
        v = int(16000 * math.sin(2 * math.pi * 440 * i / 44100))
        frames += struct.pack("<hh", v, v)
    w.writeframes(bytes(frames))
PY
lame --quiet -b 192 "$work/tone.wav" "$work/tone.mp3"

for change in eq vocal; do
  parec -d null.monitor --raw --format=s16le --rate=44100 --channels=2 --latency-msec=1000 \
    >"$work/rec.raw" & rec=$!
  sleep 0.5
  "$tool" "$work/tone.mp3" "$change" 3 >"$work/out.txt" & tool_pid=$!
  sleep 2
  [ "$change" = eq ] && pactl list sinks | sed -n 's/^\s*Latency: .*configured \([0-9]*\) usec/\1/p' | head -1 >"$work/sink.txt"
  wait "$tool_pid"
  sleep 0.3
  kill "$rec"; wait "$rec" 2>/dev/null || true
  heard=$(sed -n 's/heard_ms_at_change=//p' "$work/out.txt")
  python3 - "$work/rec.raw" "$heard" "$change" <<'PY'
import array, sys
pcm = array.array("h"); pcm.frombytes(open(sys.argv[1], "rb").read())
heard_ms, change = int(sys.argv[2]), sys.argv[3]
win = 221  # 5 ms
def changed_at(side):
    s = pcm[side::2]
    start = next(i for i, v in enumerate(s) if abs(v) > 1000)
    steady = max(abs(v) for v in s[start + 44100:start + 44100 + win])
    i = start + 44100
    while i + win < len(s) and max(abs(v) for v in s[i:i + win]) > steady * 0.7:
        i += win
    return start, i
start, left = changed_at(0)
_, right = changed_at(1)
ms = lambda n: n * 1000 / 44100
print(f"{change:6s} volume heard {ms(right - start) - heard_ms:+.0f} ms after the reported position; "
      f"{change} heard {ms(left - right):.0f} ms after the volume")
PY
done
echo "sink latency configured while playing: $(( $(cat "$work/sink.txt") / 1000 )) ms"

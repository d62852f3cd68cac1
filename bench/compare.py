#!/usr/bin/env python3
"""Runs each decoder over each file, several times, and prints the median CPU time (user + system
of the decoder process alone), the peak resident memory, and ombrix-decode's ratio to each peer.
Decoded samples go to a pipe that this script drains, as a player would."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile


GNU_TIME = "/usr/bin/time"


def measure(command):
    """CPU seconds and peak RSS (KiB) of one run; output drained from a pipe.

    The peak RSS comes from GNU time: a child's own ru_maxrss would include this script's memory
    from before the exec."""
    with tempfile.NamedTemporaryFile(mode="r") as rss_file:
        wrapped = [GNU_TIME, "-f", "%M", "-o", rss_file.name] + command
        proc = subprocess.Popen(wrapped, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        while proc.stdout.read(1 << 16):
            pass
        _, status, usage = os.wait4(proc.pid, 0)
        code = os.waitstatus_to_exitcode(status)
        if code != 0:
            raise RuntimeError(f"{command[0]} failed with {code}")
        rss = int(rss_file.read().split()[-1])
    return usage.ru_utime + usage.ru_stime, rss


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--decoder", required=True)
    parser.add_argument("--runs", type=int, default=11)
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()

    decoders = {"ombrix": lambda f: [args.decoder, "--raw", f, "-"]}
    if shutil.which("mpg123"):
        decoders["mpg123"] = lambda f: ["mpg123", "-q", "-s", f]
    if shutil.which("ffmpeg"):
        decoders["ffmpeg"] = lambda f: ["ffmpeg", "-v", "quiet", "-threads", "1", "-i", f,
                                        "-f", "s16le", "-"]

    names = list(decoders)
    print(f"{'file':<22}" + "".join(f"{n + ' s':>12}" for n in names)
          + "".join(f"{'/' + n:>10}" for n in names[1:])
          + "".join(f"{n + ' MiB':>12}" for n in names))
    for path in args.files:
        cpu, rss = {}, {}
        for name in names:
            runs = [measure(decoders[name](path)) for _ in range(args.runs)]
            cpu[name] = statistics.median(r[0] for r in runs)
            rss[name] = max(r[1] for r in runs)
        row = f"{os.path.basename(path):<22}" + "".join(f"{cpu[n]:>12.3f}" for n in names)
        row += "".join(f"{cpu['ombrix'] / cpu[n]:>10.2f}" if cpu[n] > 0 else f"{'-':>10}"
                       for n in names[1:])
        row += "".join(f"{rss[n] / 1024:>12.1f}" for n in names)
        print(row, flush=True)


if __name__ == "__main__":
    sys.exit(main())

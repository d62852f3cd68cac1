#!/usr/bin/env bash
# Runs libFuzzer targets one after another and prints, at the end, how many inputs each ran
# and whether it found anything.
# Usage: fuzz-run.sh BUILD_DIR SECONDS TARGET...   (TARGET without "-fuzz", e.g. "ini")
# Corpora live in BUILD_DIR/fuzz-corpus/TARGET, findings (crash-*, timeout-*, leak-* ...) in
# BUILD_DIR/fuzz-findings/TARGET, logs in BUILD_DIR/fuzz-logs/TARGET.log.
set -uo pipefail

build=$1
seconds=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
summary=()
failed=0
for target in "$@"; do
  exe="$build/tests/fuzz/$target-fuzz"
  corpus="$build/fuzz-corpus/$target"
  findings="$build/fuzz-findings/$target"
  log="$build/fuzz-logs/$target.log"
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  if [ ! -x "$exe" ]; then
    summary+=("$(printf '%-16s %12s  %s' "$target" "-" "not built")")
    failed=1
    continue
  fi
  echo "== $target: $seconds s"
  # Qt's own one-time allocations are not the parsers' leaks (same list as the sanitizer tests).
  LSAN_OPTIONS="suppressions=$root/tests/lsan.supp" QT_QPA_PLATFORM=offscreen \
    "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ "$status" -eq 0 ]; then
    verdict="no finding"
  else
    verdict="FINDING (exit $status, see $log and $findings)"
    failed=1
  fi
  summary+=("$(printf '%-16s %12s  %s' "$target" "${runs:-?}" "$verdict")")
done
echo
printf '%-16s %12s  %s\n' target executions result
printf '%s\n' "${summary[@]}"
exit $failed

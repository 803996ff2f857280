#!/usr/bin/env bash
# Runs each parser's libFuzzer target (native/, built by native-tests.sh) for
# a bounded time on a copy of its corpus in fuzz/corpus/<target>. Prints per
# target the executions, the coverage reached (libFuzzer's "cov:") and what
# was found; a crash is kept in fuzz/regressions/<target>/ and the run fails.
# usage: scripts/fuzz.sh [seconds per target (default 30)] [target...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
NATIVE_BUILD_DIR="${LUMAREST_NATIVE_BUILD_DIR:-$here/build-native}"
seconds="${1:-30}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(manifest json_text mo_catalog release_notes update_feed version text_format)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
printf '%-14s %12s %8s %8s  %s\n' target executions cov ft found
for target in "${targets[@]}"; do
  program="$NATIVE_BUILD_DIR/fuzz_$target"
  [ -x "$program" ] || { echo "[fuzz] $program is not built (scripts/native-tests.sh builds it)" >&2; exit 1; }
  regressions="$here/fuzz/regressions/$target"
  mkdir -p "$work/$target/corpus" "$work/$target/crashes" "$regressions"
  # A copy of the corpus takes the new inputs, so the repository's stays as it was committed.
  cp -r "$here/fuzz/corpus/$target/." "$work/$target/corpus/"
  log="$work/$target/log"
  rc=0
  "$program" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$work/$target/crashes/" "$work/$target/corpus" "$regressions" >"$log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -n1 | cut -d' ' -f2)
  found="nothing"
  if [ "$rc" -ne 0 ]; then
    failed=1
    found="CRASH (exit $rc)"
    for crash in "$work/$target/crashes"/*; do
      [ -f "$crash" ] || continue
      cp "$crash" "$regressions/"
      found="$found, kept fuzz/regressions/$target/$(basename "$crash")"
    done
    grep -m1 -A12 'ERROR:\|runtime error\|deadly signal' "$log" | sed 's/^/    /' >&2 || true
  fi
  printf '%-14s %12s %8s %8s  %s\n' "$target" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$found"
done
exit $failed

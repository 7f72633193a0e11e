#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for a bounded time.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 10; longer runs: e.g. 600)
# Seeds come from fuzz/corpus/<target>/; what a run discovers goes to build/fuzz/corpus/, so the
# repository's seed corpora stay small. A finding leaves a crash-* file in build/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-10}"
build=build/fuzz

# The fuzz preset configures build/fuzz; only the fuzz targets and what they link are built.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target tarnwick_fuzz_targets >/dev/null

mkdir -p "$build/findings"
status=0
for seeds in fuzz/corpus/*/; do
  name=$(basename "$seeds")
  target=$(find "$build/fuzz" -maxdepth 1 -type f -executable -iname "$(echo "$name" | tr -d _)Fuzz" | head -n 1)
  if [ -z "$target" ]; then
    echo "no fuzz target for corpus $name" >&2
    status=1
    continue
  fi
  work="$build/corpus/$name"
  mkdir -p "$work"
  echo "== $name: ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -timeout=120 -rss_limit_mb=4096 \
      -artifact_prefix="$build/findings/$name-" -print_final_stats=1 "$work" "$seeds" \
      2>"$build/$name.log"; then
    echo "finding in $name: see $build/$name.log and $build/findings/" >&2
    status=1
  fi
  grep -E '^stat::number_of_executed_units' "$build/$name.log" || true
done
exit $status

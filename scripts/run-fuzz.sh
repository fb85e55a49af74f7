#!/usr/bin/env bash
# Runs every fuzz target (fuzz_*) in the given folder for the given number of seconds,
# starting from its seed corpus under fuzz/corpus/<name> and growing a working copy.
set -euo pipefail
dir=$1
seconds=${2:-60}
top=$(cd "$(dirname "$0")/.." && pwd)
status=0
for f in "$dir"/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  work="$dir/../corpus/$name"
  mkdir -p "$work"
  seeds="$top/fuzz/corpus/${name#fuzz_}"
  echo "== $name for ${seconds}s"
  "$f" -max_total_time="$seconds" -timeout=5 "$work" ${seeds:+$( [ -d "$seeds" ] && echo "$seeds")} || status=1
done
exit $status

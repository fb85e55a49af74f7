#!/usr/bin/env bash
# Runs every benchmark program (bench_*) in the given folder; each prints its own figures.
set -euo pipefail
dir=$1
status=0
for b in "$dir"/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" || status=1
done
exit $status

#!/usr/bin/env bash
# Starts the toolset against the virtual KKT. The programs join this script as they are built.
set -euo pipefail
bin=$1
echo "Built into $bin:"
ls "$bin" | grep -v '^test_' | grep -v '^locale$' | sed 's/^/  /'
echo "Nothing to start yet: Halden, Kestrel, TesselBench and the virtual KKT join the demo as they are built."

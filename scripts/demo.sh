#!/usr/bin/env bash
# Starts the toolset against the virtual KKT. The programs join this script as they are built.
#
# Everything the demo starts keeps its settings and its port map under the build folder
# (build/<kind>/demo), never in the user's own ~/.config/Varkon.
set -euo pipefail
bin=$(cd "$1" && pwd)
demo=$(dirname "$bin")/demo
echo "Built into $bin:"
ls "$bin" | grep -v '^test_' | grep -v '^locale$' | sed 's/^/  /'

mkdir -p "$demo/config"
export XDG_CONFIG_HOME=$demo/config
export VARKON_PORTS=$demo/ports.ini
[ -f "$VARKON_PORTS" ] || printf '[Ports]\n' >"$VARKON_PORTS"

# Halden: the KKT server, with its TCP dispatcher on a port that needs no privileges.
halden_port=${HALDEN_DEMO_PORT:-2112}
pidfile=$demo/halden.pid
if [ -f "$pidfile" ]; then
  old=$(cat "$pidfile")
  # Only the demo's own Halden is stopped, and only while it is that program.
  if [ -n "$old" ] && [ "$(readlink "/proc/$old/exe" 2>/dev/null)" = "$bin/halden" ]; then
    echo "Stopping the demo's earlier Halden (pid $old)"
    kill "$old"
    for _ in $(seq 50); do kill -0 "$old" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -f "$pidfile"
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  mode="without a window (no display)"
else
  mode="with its window (tray icon where the desktop has a tray)"
fi
log=$demo/halden.log
nohup "$bin/halden" "/t$halden_port" >"$log" 2>&1 </dev/null &
pid=$!
echo "$pid" >"$pidfile"
# Started when it listens, or failed when it ended.
for _ in $(seq 50); do
  kill -0 "$pid" 2>/dev/null || break
  grep -q "$halden_port" "$log" 2>/dev/null && break
  (exec 3<>"/dev/tcp/127.0.0.1/$halden_port") 2>/dev/null && break
  sleep 0.1
done
if ! kill -0 "$pid" 2>/dev/null; then
  rm -f "$pidfile"
  echo "Halden did not start:" >&2
  cat "$log" >&2
  exit 1
fi
cat <<TEXT

Started Halden (pid $pid) $mode,
  TCP dispatcher on port $halden_port (JSON-RPC lines; HALDEN_DEMO_PORT chooses another),
  settings in $XDG_CONFIG_HOME/Varkon/Tessel.conf,
  port map $VARKON_PORTS, messages in $log.
Stop it with:  kill $pid    (or: kill \$(cat $pidfile))
TEXT

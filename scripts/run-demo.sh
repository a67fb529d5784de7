#!/usr/bin/env bash
# Builds QVR and starts it against the simulated supply on a pseudo-terminal.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/deps.sh"
bash "$top/scripts/build.sh" build

# The demo keeps its own database, with port 1 remembered, so it starts without the first-run
# questions; a real first start still asks for the limits.
export QVR_DATA_DIR="$top/demo"
[ -f "$QVR_DATA_DIR/QVRdb.mdb" ] || "$top/build/bin/qvr-setport" "$QVR_DATA_DIR" 1

sim_out=$(mktemp)
# Its own session, so that a Ctrl+C reaches the program first and it can still say ENDS.
setsid "$top/build/bin/qvr-supply-sim" --demo --port 1 --baud 9600 >"$sim_out" &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null; rm -f "$sim_out"' EXIT
for _ in $(seq 50); do grep -q '=' "$sim_out" && break; sleep 0.1; done
export "$(head -n1 "$sim_out")"
echo "Simulated supply on ${QVR_COM1}"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running under xvfb-run (nothing will be visible)."
    xvfb-run -a "$top/build/bin/qvr" "$@"
else
    "$top/build/bin/qvr" "$@"
fi

#!/usr/bin/env bash
# Takes the operator's guide's pictures into docs/: qvr-tour drives the real window against the
# demo supply under Xvfb, ImageMagick photographs each scene, and the printed page is rendered
# from the PDF the program printed. Takes about three minutes, most of it the chart filling up.
# Usage: bash scripts/screenshots.sh [CHART_SECONDS]   (default 105: the chart's 100 s, full)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-105}
bash "$top/scripts/deps.sh" imagemagick
bash "$top/scripts/build.sh" build
bin="$top/build/bin"
mkdir -p "$top/docs"

work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

display=":$((100 + RANDOM % 400))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
sleep 1

# The demo supply at the line's usual pace; the tour starts as a first start does and assigns
# its device to port 1 in Options.
"$bin/qvr-supply-sim" --demo --port 1 --baud 9600 >"$work/sim.out" &
pids+=($!)
for _ in $(seq 50); do grep -q '=' "$work/sim.out" && break; sleep 0.1; done
device=$(head -n1 "$work/sim.out" | cut -d= -f2)
unset QVR_COM1
mkdir -p "$work/data"

coproc TOUR { "$bin/qvr-tour" "$work/data" "$work" "$device" "$seconds"; }
tour=$TOUR_PID
pids+=("$tour")
while read -r kind name arg <&"${TOUR[0]}"; do
    case $kind in
    SHOT)
        import -window "$arg" "$top/docs/$name.png"
        echo "docs/$name.png"
        echo taken >&"${TOUR[1]}"
        ;;
    PDF)
        pdftoppm -r 80 -png -singlefile "$arg" "$top/docs/$name"
        echo "docs/$name.png"
        ;;
    esac
done
wait "$tour"

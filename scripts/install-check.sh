#!/usr/bin/env bash
# Installs the Debian package on a clean Debian 12 (a debootstrap folder, without the build tree)
# and starts it as a new user would: the demo supply, its device assigned to port 1, qvr under
# Xvfb for a few seconds, then SIGTERM. Needs root; takes a few minutes and about 1 GB in
# /tmp/qvr-clean. Usage: sudo bash scripts/install-check.sh [PACKAGE.deb]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deb=${1:-$(ls "$top"/build-pkg/qvr_*_amd64.deb)}
root=/tmp/qvr-clean
bash "$top/scripts/deps.sh" debootstrap
# The archive this machine installs from, as its own apt sources name it (deb822 or one-line form).
mirror=$( (sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' /etc/apt/sources.list.d/*.sources
           sed -nE 's/^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?([^[:space:]]+).*/\2/p' \
               /etc/apt/sources.list /etc/apt/sources.list.d/*.list) 2>/dev/null |
          grep -v -- '-security' | head -n1 || true)
[ -n "$mirror" ] || { echo "No Debian archive found in the apt sources of this machine." >&2; exit 1; }
[ -x "$root/usr/bin/apt-get" ] ||
    debootstrap --variant=minbase bookworm "$root" "$mirror" >/dev/null
for fs in proc dev dev/pts; do mountpoint -q "$root/$fs" || mount --bind "/$fs" "$root/$fs"; done
trap 'umount "$root/dev/pts" "$root/dev" "$root/proc" 2>/dev/null || true' EXIT
cp /etc/resolv.conf "$root/etc/"
cp "$deb" "$root/tmp/qvr.deb"
chroot "$root" bash -c 'apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/qvr.deb xvfb xauth imagemagick >/dev/null &&
    (id op >/dev/null 2>&1 || useradd -m op)'
cat >"$root/home/op/first-run.sh" <<'EOF'
set -u
cd "$HOME"
rm -rf .local/share/QVR2 rx.log
Xvfb :7 -screen 0 1100x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
qvr-supply-sim --help | head -n1
qvr-supply-sim --demo --log rx.log >sim.out &
sim=$!
sleep 1
qvr-setport .local/share/QVR2 1 "$(head -n1 sim.out | cut -d= -f2)"
DISPLAY=:7 qvr &
qvr=$!
sleep 4
DISPLAY=:7 import -window root installed.png
kill -TERM $qvr
wait $qvr
echo "qvr ended with status $?"
echo "the supply received: $(head -c 24 rx.log | tr '\r' ' ')... $(tail -c 10 rx.log | tr '\r' ' ')"
ls -l .local/share/QVR2
kill $sim $xvfb
EOF
chroot "$root" su - op -c 'bash first-run.sh'
cp "$root/home/op/installed.png" "$top/build-pkg/installed.png"
echo "The window as it started: build-pkg/installed.png"

#!/usr/bin/env bash
# The Debian package of this build holds the programs, the desktop entry, the icon, the
# metainfo and the man pages, under /usr.
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" -D CPACK_INSTALL_PREFIX=/usr >/dev/null)
deb=$(ls "$out"/qvr_*.deb)
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
status=0
for f in ./usr/bin/qvr ./usr/bin/qvr-supply-sim ./usr/bin/qvr-setport \
         ./usr/share/applications/io.qvr.QVR.desktop \
         ./usr/share/metainfo/io.qvr.QVR.metainfo.xml \
         ./usr/share/icons/hicolor/scalable/apps/io.qvr.QVR.svg \
         ./usr/share/icons/hicolor/48x48/apps/io.qvr.QVR.png \
         ./usr/share/man/man1/qvr.1.gz ./usr/share/man/man1/qvr-supply-sim.1.gz \
         ./usr/share/man/man1/qvr-setport.1.gz ./usr/share/doc/qvr/copyright \
         ./usr/share/doc/qvr/prometheus/qvr-alerts.yml; do
    grep -qx -- "$f" <<<"$files" || {
        echo "missing from the package: $f"
        status=1
    }
done
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || { echo "no Qt in Depends"; status=1; }
exit $status

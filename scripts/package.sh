#!/usr/bin/env bash
# Builds the Debian package qvr_<version>_<arch>.deb into build-pkg/ (installs what is missing).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/deps.sh"
bash "$top/scripts/build.sh" build-pkg -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
(cd "$top/build-pkg" && cpack -G DEB >/dev/null)
ls "$top"/build-pkg/qvr_*.deb

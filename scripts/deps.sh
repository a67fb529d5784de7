#!/usr/bin/env bash
# Installs the Debian 12 packages QVR needs (and any named as arguments), only those missing.
set -euo pipefail
packages=(qt6-base-dev qt6-serialport-dev qt6-svg-dev libsqlcipher-dev cmake g++ pkg-config make
          xvfb xauth socat poppler-utils dpkg-dev python3-pyvisa python3-pyvisa-py sqlcipher
          python3-pymeasure lxi-tools curl dbus-daemon file libcivetweb-dev prometheus "$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    # Without the packages merely recommended (pymeasure's plotting stack, GTK themes, LLVM):
    # half the download, a fraction of the unpacking, and nothing QVR or its tests use.
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

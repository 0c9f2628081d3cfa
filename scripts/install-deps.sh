#!/usr/bin/env bash
# Installs everything the launcher needs to build, run and be tested on Debian 12.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qtbase5-dev qtwebengine5-dev qttools5-dev qttools5-dev-tools
    xvfb xauth x11-utils imagemagick libxcb1-dev
    freerdp2-x11 freerdp2-shadow-x11
    binutils-mingw-w64-x86-64
    clang libclang-rt-14-dev
    locales openssl fonts-wqy-zenhei
    desktop-file-utils dpkg-dev fakeroot file
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo_cmd apt-get update -q
    $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Tests and the demo run the program under these locales.
if ! locale -a 2>/dev/null | grep -qi '^en_US.utf8$' || ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    $sudo_cmd sed -i -E 's/^# *(en_US.UTF-8 UTF-8)/\1/; s/^# *(zh_CN.UTF-8 UTF-8)/\1/' /etc/locale.gen
    $sudo_cmd locale-gen
fi

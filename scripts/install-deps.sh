#!/usr/bin/env bash
# Installs everything the launcher needs to build, run and be tested on
# Debian 12 (bookworm) or Debian 13 (trixie).
#   --list  print this release's package names and install nothing (the tests'
#           configure step reads it to know which programs this release has)
# On Debian 12 FreeRDP 3 comes from the backports suite, pinned so that
# nothing else is taken from there; FreeRDP 2 stays beside it. Debian 13 has
# FreeRDP 3 only.
set -euo pipefail

common=(
    build-essential cmake ninja-build pkg-config
    qtbase5-dev qtwebengine5-dev qttools5-dev qttools5-dev-tools libqt5svg5-dev zlib1g-dev
    qt6-base-dev qt6-svg-dev qt6-webengine-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libqt6opengl6-dev
    qtkeychain-qt5-dev qtkeychain-qt6-dev gnome-keyring libsecret-tools dbus-daemon
    xvfb xauth x11-utils x11-xserver-utils imagemagick xdotool libxcb1-dev openbox
    freerdp3-x11 freerdp3-shadow-x11
    binutils-mingw-w64-x86-64
    clang libclang-rt-dev
    locales openssl fonts-wqy-zenhei util-linux
    desktop-file-utils dpkg-dev fakeroot file lintian appstream
)

# What differs between releases, and only that.
codename="$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")" || codename=
case "$codename" in
    bookworm) release=(freerdp2-x11 freerdp2-shadow-x11) ;;
    trixie) release=() ;;
    *)
        echo "install-deps.sh: supports Debian 12 (bookworm) and Debian 13 (trixie), not '${codename:-this system}'" >&2
        exit 1
        ;;
esac
packages=("${common[@]}" "${release[@]}")

if [ "${1:-}" = --list ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

add_backports() {
    [ "$codename" = bookworm ] || return 0
    local list=/etc/apt/sources.list.d/velmo-bookworm-backports.sources
    local pin=/etc/apt/preferences.d/velmo-bookworm-backports
    [ -f "$list" ] && [ -f "$pin" ] && return 0
    as_root tee "$list" >/dev/null <<'SOURCES'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    as_root tee "$pin" >/dev/null <<'PIN'
Package: *
Pin: release n=bookworm-backports
Pin-Priority: 1

Package: freerdp3-* libfreerdp3-* libfreerdp-client3-* libfreerdp-shadow3-* libfreerdp-shadow-subsystem3-* libfreerdp-server3-* libwinpr3-* libwinpr-tools3-* libuwac0-*
Pin: release n=bookworm-backports
Pin-Priority: 500
PIN

}

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    add_backports
    export DEBIAN_FRONTEND=noninteractive
    as_root apt-get update -q
    as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Tests and the demo run the program under these locales.
if ! locale -a 2>/dev/null | grep -qi '^en_US.utf8$' || ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
    as_root sed -i -E 's/^# *(en_US.UTF-8 UTF-8)/\1/; s/^# *(zh_CN.UTF-8 UTF-8)/\1/' /etc/locale.gen
    as_root locale-gen
fi

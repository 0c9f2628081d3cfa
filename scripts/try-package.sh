#!/usr/bin/env bash
# Installs a built package on this (fresh) system and proves by pixels that
# it works: the login window started from the desktop entry's Exec= and
# Path= on a virtual display, and the package's client starter running a
# FreeRDP session against FreeRDP's shadow server on loopback, which shows
# the wave picture. Meant for a root made by test-in-root.sh:
#   KEEP_ROOT=1 IMPORT=<package.deb> scripts/test-in-root.sh trixie scripts/try-package.sh <package.deb>
# Screenshots go to proof/ beside this script's checkout.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
package="$(realpath "$1")"
proof="$here/proof"
mkdir -p "$proof"

export DEBIAN_FRONTEND=noninteractive
apt-get update -q >/dev/null
# The package and what it pulls; the displays, grabs and the RDP server are
# only for this check.
apt-get install -y -q --no-install-recommends "$package" xvfb x11-utils imagemagick freerdp3-shadow-x11 >/dev/null

pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap cleanup EXIT

# -noreset: the wallpaper setter and the grabs leave again.
start_display() {
    Xvfb "$1" -noreset -screen 0 1366x768x24 -nolisten tcp >"$proof/xvfb$1.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do xdpyinfo -display "$1" >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "display $1 did not come up" >&2
    exit 1
}

# Whether a grab shows the picture: compared in coarse cells, as the codec
# and scaling change single pixels.
shows_picture() {
    local distance
    convert "$1" -resize '64x36!' "$proof/cells-a.png" && convert "$2" -resize '64x36!' "$proof/cells-b.png" || return 1
    distance="$(compare -metric RMSE "$proof/cells-a.png" "$proof/cells-b.png" null: 2>&1 \
        | sed -n -E 's/.*\(([0-9.e-]+)\).*/\1/p')"
    echo "$1: RMSE $distance against the picture"
    awk -v d="$distance" 'BEGIN { exit !(d != "" && d < 0.06) }'
}

echo "== login window from the desktop entry"
entry=/usr/share/applications/org.example.velmoclient.desktop
exec_line="$(sed -n 's/^Exec=//p' "$entry")"
path_line="$(sed -n 's/^Path=//p' "$entry")"
echo "Exec=$exec_line Path=$path_line"
start_display :11
export XDG_CONFIG_HOME="$proof/config"
(cd "$path_line" && DISPLAY=:11 QT_QPA_PLATFORM=xcb exec $exec_line) >"$proof/launcher.log" 2>&1 &
pids+=($!)
for _ in $(seq 150); do
    xwininfo -display :11 -root -tree 2>/dev/null | grep -q '636x331' && break
    sleep 0.2
done
xwininfo -display :11 -root -tree | grep '636x331' || { echo "no login window" >&2; cat "$proof/launcher.log" >&2; exit 1; }
# The window is mapped; give it its first paint before the grab.
sleep 1
import -display :11 -window root "$proof/login-window.png"
echo "screenshot: $proof/login-window.png"

echo "== FreeRDP session through the package's client starter"
start_display :12
DISPLAY=:12 display -window root "$here/resources/background-oem.png" &
pids+=($!)
for _ in $(seq 100); do
    import -display :12 -window root "$proof/remote.png" 2>/dev/null && shows_picture "$proof/remote.png" "$here/resources/background-oem.png" >/dev/null && break
    sleep 0.2
done
DISPLAY=:12 freerdp-shadow-cli3 /port:13389 /bind-address:127.0.0.1 -auth >"$proof/shadow.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do (exec 3<>/dev/tcp/127.0.0.1/13389) 2>/dev/null && break; sleep 0.2; done
start_display :13
(cd "$path_line" && DISPLAY=:13 exec ./xfreerdp /v:127.0.0.1:13389 /u:demo /p: /cert:ignore /f) >"$proof/client.log" 2>&1 &
pids+=($!)
for _ in $(seq 150); do
    import -display :13 -window root "$proof/session.png" 2>/dev/null \
        && shows_picture "$proof/session.png" "$here/resources/background-oem.png" && break
    sleep 0.2
done
shows_picture "$proof/session.png" "$here/resources/background-oem.png" \
    || { echo "the session does not show the picture" >&2; tail -20 "$proof/client.log" >&2; exit 1; }
echo "== package proved: $(dpkg-query -W -f='${Package} ${Version} Depends: ${Depends}' velmoclient)"

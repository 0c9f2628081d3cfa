#!/usr/bin/env bash
# Installs what is needed, builds the launcher and runs it against the
# built-in demo: the demo portal on 127.0.0.1, and a real RDP server
# (freerdp-shadow-cli sharing a virtual display) behind its desktops.
# The launcher keeps its settings in a fresh demo folder, never in yours.
# Closing the launcher stops everything the demo started.
#   BUILD_ROOT=<dir>      where the build tree goes (default ./build)
#   DEMO_CLIENT=<program> xfreerdp3 (FreeRDP 3) or xfreerdp (FreeRDP 2); the
#                         default is xfreerdp3 where installed. The RDP server
#                         is the shadow server of the same version.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_root="${BUILD_ROOT:-$here/build}"
build="$build_root/release"
demo="$build_root/demo"

"$here/scripts/install-deps.sh"

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)" --target VelmoClient demo-portal

# A FreeRDP 3 client that ends with its display gone leaves its clipboard's
# file system mounted in the demo's temporary folder, which would stop the
# next run from clearing the folder.
unmount_demo() {
    awk -v dir="$demo/" 'index($2, dir) == 1 {print $2}' /proc/mounts | while read -r mount; do
        umount -l "$mount" 2>/dev/null || fusermount -u "$mount" 2>/dev/null || true
    done
}

pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    unmount_demo
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# shellcheck source=background.sh
source "$here/scripts/background.sh"

port_is_free() {
    ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

client="${DEMO_CLIENT:-}"
if [ -z "$client" ]; then
    client=xfreerdp
    command -v xfreerdp3 >/dev/null && client=xfreerdp3
fi
case "$client" in
    xfreerdp) shadow=freerdp-shadow-cli ;;
    xfreerdp3) shadow=freerdp-shadow-cli3 ;;
    *) echo "DEMO_CLIENT must be xfreerdp or xfreerdp3, not '$client'" >&2; exit 1 ;;
esac
for program in "$client" "$shadow"; do
    command -v "$program" >/dev/null || { echo "$program is missing: run scripts/install-deps.sh" >&2; exit 1; }
done

unmount_demo
rm -rf "$demo"
mkdir -p "$demo/config/VelmoClient" "$demo/tmp" "$demo/run"

# The remote desktop: a display of its own with the launcher's wave picture
# as its wallpaper, shared over RDP on loopback.
wave="$here/resources/background-oem.png"
start_xvfb "$demo" 1366x768 "remote display"
remote_display=$xvfb_display
# display's exit code says nothing about the wallpaper: look at the screen.
DISPLAY="$remote_display" display -window root "$wave" >"$demo/wallpaper.log" 2>&1 || true
if ! import -display "$remote_display" -window root "$demo/remote.png" >>"$demo/wallpaper.log" 2>&1 \
    || ! compare -metric AE -fuzz 10% "$demo/remote.png" "$wave" null: >>"$demo/wallpaper.log" 2>&1; then
    echo "The remote display does not show the wave picture; see $demo/wallpaper.log" >&2
    exit 1
fi

rdp_port=13389
while ! port_is_free "$rdp_port"; do
    rdp_port=$((rdp_port + 1))
done
DISPLAY="$remote_display" "$shadow" "/port:$rdp_port" /bind-address:127.0.0.1 -auth \
    >"$demo/rdp-server.log" 2>&1 &
rdp_server=$!
pids+=("$rdp_server")
wait_for "RDP server ($shadow)" "$demo/rdp-server.log" "$rdp_server" 30 port_listens "$rdp_port"

# The demo portal picks a free port and says which on its first line.
start_demo_portal "$build/tools/demo-portal/demo-portal" "$demo/portal.log" --rdp-port "$rdp_port"

cat >"$demo/config/VelmoClient/ClientConfig.ini" <<EOF
[General]
serviceIP=$portal_url
user=demo
recordpass=1
EOF

# The launcher starts the client from its working directory.
ln -s "$(command -v "$client")" "$demo/run/xfreerdp"
printf '[General]\nPublish_Date=%s\n' "$(date +%Y-%m-%d)" >"$demo/run/Version.ini"

if [ -z "${DISPLAY:-}" ]; then
    start_xvfb "$demo" 1366x768 "launcher's virtual display"
    export DISPLAY=$xvfb_display
    echo "No display found: the launcher runs under Xvfb on $DISPLAY (nothing is shown on screen)."
    echo "Look at it with, for example: import -window root -display $DISPLAY shot.png"
elif ! xdpyinfo >/dev/null 2>&1; then
    echo "The display $DISPLAY does not answer: unset DISPLAY to run the launcher under Xvfb" >&2
    exit 1
fi

echo "Demo portal:  $portal_url (requests: $demo/portal.log)"
echo "RDP server:   $shadow on 127.0.0.1:$rdp_port, display $remote_display (log: $demo/rdp-server.log)"
echo "Client:       $client, linked as $demo/run/xfreerdp"
echo "Settings:     $demo/config/VelmoClient/ClientConfig.ini (user demo, any password)"
echo "Launcher log: $demo/config/VelmoClient/$(date +%Y-%m-%d).txt"
echo "Close the launcher window to stop the demo."

# Chromium refuses its sandbox to root.
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi
cd "$demo/run"
# In the background, so that a signal to this script is handled at once.
XDG_CONFIG_HOME="$demo/config" TMPDIR="$demo/tmp" "$build/VelmoClient" &
launcher=$!
pids+=("$launcher")
status=0
wait "$launcher" || status=$?
exit "$status"

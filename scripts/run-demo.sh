#!/usr/bin/env bash
# Installs what is needed, builds the launcher and runs it against the
# built-in demo: the demo portal on 127.0.0.1, and a real RDP server
# (freerdp-shadow-cli sharing a virtual display) behind its desktops.
# The launcher keeps its settings in a fresh demo folder, never in yours.
# Closing the launcher stops everything the demo started.
#   BUILD_ROOT=<dir>  where the build tree goes (default ./build)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_root="${BUILD_ROOT:-$here/build}"
build="$build_root/release"
demo="$build_root/demo"

"$here/scripts/install-deps.sh"

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)" --target VelmoClient demo-portal

pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# shellcheck source=background.sh
source "$here/scripts/background.sh"

port_is_free() {
    ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

rm -rf "$demo"
mkdir -p "$demo/config/VelmoClient" "$demo/tmp" "$demo/run"

# The remote desktop: a display of its own with the launcher's wave picture
# as its wallpaper, shared over RDP on loopback.
start_xvfb "$demo" 1366x768
remote_display=$xvfb_display
DISPLAY="$remote_display" display -window root "$here/resources/background-oem.png" >/dev/null 2>&1 || true
rdp_port=13389
while ! port_is_free "$rdp_port"; do
    rdp_port=$((rdp_port + 1))
done
DISPLAY="$remote_display" freerdp-shadow-cli "/port:$rdp_port" /bind-address:127.0.0.1 -auth \
    >"$demo/rdp-server.log" 2>&1 &
pids+=($!)

# The demo portal picks a free port and says which on its first line.
start_demo_portal "$build/tools/demo-portal/demo-portal" "$demo/portal.log" --rdp-port "$rdp_port"

cat >"$demo/config/VelmoClient/ClientConfig.ini" <<EOF
[General]
serviceIP=$portal_url
user=demo
recordpass=1
EOF

# The launcher starts the client from its working directory.
ln -s "$(command -v xfreerdp)" "$demo/run/xfreerdp"
printf '[General]\nPublish_Date=%s\n' "$(date +%Y-%m-%d)" >"$demo/run/Version.ini"

if [ -z "${DISPLAY:-}" ]; then
    start_xvfb "$demo" 1366x768
    export DISPLAY=$xvfb_display
    echo "No display found: the launcher runs under Xvfb on $DISPLAY (nothing is shown on screen)."
    echo "Look at it with, for example: import -window root -display $DISPLAY shot.png"
fi

echo "Demo portal:  $portal_url (requests: $demo/portal.log)"
echo "RDP server:   127.0.0.1:$rdp_port on display $remote_display"
echo "Settings:     $demo/config/VelmoClient/ClientConfig.ini (user demo, any password)"
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

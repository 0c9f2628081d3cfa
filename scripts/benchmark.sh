#!/usr/bin/env bash
# Measures start-up, login to portal, translation and memory against their
# floors, side by side in one run, and prints medians and ratios.
#   RUNS=<n>          runs per program (default 7)
#   BUILD_ROOT=<dir>  build tree location (default ./build)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_ROOT:-$here/build}/release"
runs="${RUNS:-7}"
bench="$build/tools/bench"

"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target VelmoClient demo-portal bench-startup bench-floor-window \
    bench-portal bench-translation

scratch="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
# shellcheck source=background.sh
source "$here/scripts/background.sh"

if [ -z "${DISPLAY:-}" ]; then
    start_xvfb "$scratch" 1366x768
    export DISPLAY=$xvfb_display
    echo "No display found: measuring under Xvfb on $DISPLAY"
fi
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi
export XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

start_demo_portal "$build/tools/demo-portal/demo-portal" "$scratch/portal.log" \
    --cert "$here/tests/data/test-cert.pem" --key "$here/tests/data/test-key.pem"
portal=$portal_url

# field <name> <line>: the value of name=value in a result line.
field() { sed -n "s/.*\\b$1=\\([^ ]*\\).*/\\1/p" <<<"$2"; }
median() { sort -n | awk '{v[NR]=$1} END {if (NR%2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }

declare -A samples
record() { samples[$1]+="$2"$'\n'; }

echo "Measuring $runs runs of each, interleaved..."
for run in $(seq "$runs"); do
    line="$("$bench/bench-startup" "$bench/bench-floor-window" 2>/dev/null)"
    record startup_floor "$(field map_ms "$line")"
    record rss_floor "$(field peak_kib "$line")"

    cfg="$scratch/cfg-$run"
    line="$(XDG_CONFIG_HOME="$cfg" "$bench/bench-startup" "$build/VelmoClient" 2>/dev/null)"
    record startup "$(field map_ms "$line")"
    record rss_login "$(field peak_kib "$line")"
    record helpers_login "$(field helpers "$line")"

    line="$("$bench/bench-portal" floor "$portal" 2>/dev/null)"
    record portal_floor "$(field ms "$line")"

    line="$(XDG_CONFIG_HOME="$cfg" "$bench/bench-portal" launcher "$portal" 2>/dev/null)"
    record portal "$(field ms "$line")"
    record rss_portal "$(field peak_kib "$line")"
    record rss_portal_helpers "$(field helpers_kib "$line")"

    line="$(XDG_CONFIG_HOME="$cfg" "$bench/bench-portal" launcher-warm "$portal" 2>/dev/null)"
    record portal_warm "$(field ms "$line")"
done

m() { printf '%s' "${samples[$1]}" | sed '/^$/d' | median; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

startup="$(m startup)"; startup_floor="$(m startup_floor)"
portal_ms="$(m portal)"; portal_floor="$(m portal_floor)"; portal_warm="$(m portal_warm)"

echo
echo "Machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(. /etc/os-release; echo "$PRETTY_NAME"), Qt $(qmake -query QT_VERSION 2>/dev/null || echo 5.15), display $DISPLAY"
echo "Medians of $runs runs:"
printf '  start-up to login window mapped: %s ms, floor %s ms, ratio %s (goal 1.25)\n' \
    "$startup" "$startup_floor" "$(ratio "$startup" "$startup_floor")"
printf '  web-engine helpers while the login form is alone: %s\n' "$(m helpers_login)"
printf '  login press to first portal loadFinished: %s ms, floor %s ms, ratio %s (goal 1.15)\n' \
    "$portal_ms" "$portal_floor" "$(ratio "$portal_ms" "$portal_floor")"
printf '  same with the web engine warmed after the window is shown: %s ms, ratio %s\n' \
    "$portal_warm" "$(ratio "$portal_warm" "$portal_floor")"
printf '  peak resident memory: login form %s MiB (floor window %s MiB), portal open %s MiB + web-engine helpers %s MiB\n' \
    "$(awk -v k="$(m rss_login)" 'BEGIN {printf "%.1f", k/1024}')" \
    "$(awk -v k="$(m rss_floor)" 'BEGIN {printf "%.1f", k/1024}')" \
    "$(awk -v k="$(m rss_portal)" 'BEGIN {printf "%.1f", k/1024}')" \
    "$(awk -v k="$(m rss_portal_helpers)" 'BEGIN {printf "%.1f", k/1024}')"
mkdir -p "$scratch/rdp"
"$bench/bench-translation" "$scratch/rdp" | sed 's/^/  translation /'

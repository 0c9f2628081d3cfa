#!/usr/bin/env bash
# Measures the launcher against its floors, side by side in one run, and
# prints medians, ratios and the goal beside each figure:
#   start-up to the login window, warm and cold file cache;
#   peak memory at the login form and with the portal open;
#   login press to the portal's first page load, with no sign of the login
#   before the press and after typing the password (warmed up), step by step;
#   click on a desktop link to the first remote frame on screen;
#   connection files through the translation.
#   RUNS=<n>          runs per program (default 7)
#   BUILD_ROOT=<dir>  build tree location (default ./build)
#   QT="<auto|5|6> ..."  the Qt builds to measure, side by side in this run
#                     (default auto: the one the release builds by default;
#                     "6 5" gives each figure for both and their ratio)
#   CLIENT=<program>  the FreeRDP client the launcher starts (default: xfreerdp3
#                     when installed, else xfreerdp, as the package's wrapper)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_root="${BUILD_ROOT:-$here/build}"
runs="${RUNS:-7}"
read -r -a qts <<<"${QT:-auto}"

"$here/scripts/install-deps.sh"
declare -A qt_version
for qt in "${qts[@]}"; do
    case "$qt" in
        auto) dir="$build_root/release" ;;
        5 | 6) dir="$build_root/release-qt$qt" ;;
        *) echo "QT takes auto, 5 or 6, not '$qt'" >&2; exit 2 ;;
    esac
    # The same tree as the test command's build with that Qt.
    configured="$(cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMO_QT="$qt")"
    qt_version[$qt]="$(sed -n 's/^-- Building with Qt //p' <<<"$configured")"
    cmake --build "$dir" -j"$(nproc)" --target VelmoClient demo-portal bench-startup bench-floor-window \
        bench-floor-login bench-portal bench-portal-floor bench-desktop bench-frame-watch bench-translation
done
# use_qt <entry of QT>: the programs of that build.
use_qt() {
    qt=$1
    case "$qt" in
        auto) build="$build_root/release" ;;
        *) build="$build_root/release-qt$qt" ;;
    esac
    bench="$build/tools/bench"
}
use_qt "${qts[0]}"

scratch="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    # A FreeRDP 3 client that is killed leaves its clipboard's file system
    # mounted in its temporary folder.
    awk -v dir="$scratch/" 'index($2, dir) == 1 {print $2}' /proc/mounts | while read -r mount; do
        umount -l "$mount" 2>/dev/null || fusermount -u "$mount" 2>/dev/null || true
    done
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# shellcheck source=background.sh
source "$here/scripts/background.sh"

# start_display <width>x<height>: an Xvfb of its own, in display_name. It runs
# with -noreset: an X server resets when its last client leaves, which clears
# the wallpaper and refuses connections for a moment, and the remote desktop's
# server opens and closes the display while it starts. Whatever uses the
# display waits until it answers.
start_display() {
    local numberfile
    numberfile="$(mktemp "$scratch/display.XXXXXX")"
    Xvfb -displayfd 3 -noreset -screen 0 "$1x24" -nolisten tcp 3>"$numberfile" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        [ -s "$numberfile" ] && xdpyinfo -display ":$(cat "$numberfile")" >/dev/null 2>&1 && break
        sleep 0.1
    done
    xdpyinfo -display ":$(cat "$numberfile" 2>/dev/null)" >/dev/null 2>&1 \
        || { echo "Xvfb did not start" >&2; exit 1; }
    display_name=":$(cat "$numberfile")"
}

port_is_free() {
    ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

if [ -z "${DISPLAY:-}" ]; then
    start_display 1366x768
    export DISPLAY=$display_name
    echo "No display found: measuring under Xvfb on $DISPLAY"
fi
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi
export XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

# The remote desktop: a display as large as the local one, so that the
# client's full-screen window shows it pixel for pixel, with the wave picture
# as its wallpaper, shared by FreeRDP's shadow server on loopback.
size="$(xdpyinfo | sed -n 's/^ *dimensions: *\([0-9]*x[0-9]*\) .*/\1/p')"
start_display "$size"
remote_display=$display_name
DISPLAY="$remote_display" display -window root "$here/resources/background-oem.png" >/dev/null 2>&1 || true
# FreeRDP 2's shadow server where the release has it, else FreeRDP 3's.
shadow=freerdp-shadow-cli
command -v "$shadow" >/dev/null || shadow=freerdp-shadow-cli3
rdp_port=13389
while ! port_is_free "$rdp_port"; do rdp_port=$((rdp_port + 1)); done
DISPLAY="$remote_display" "$shadow" "/port:$rdp_port" /bind-address:127.0.0.1 -auth \
    >"$scratch/rdp-server.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do
    port_is_free "$rdp_port" || break
    sleep 0.1
done
if port_is_free "$rdp_port"; then
    echo "The RDP server did not come up; its log:" >&2
    cat "$scratch/rdp-server.log" >&2
    exit 1
fi

start_demo_portal "$build/tools/demo-portal/demo-portal" "$scratch/portal.log" \
    --cert "$here/tests/data/test-cert.pem" --key "$here/tests/data/test-key.pem" --rdp-port "$rdp_port"
portal=$portal_url

# The launcher starts the client from its working folder.
mkdir -p "$scratch/run" "$scratch/tmp"
default_client=xfreerdp
if command -v xfreerdp3 >/dev/null; then default_client=xfreerdp3; fi
client="$(command -v "${CLIENT:-$default_client}")" || { echo "No ${CLIENT:-$default_client} found" >&2; exit 1; }
ln -s "$client" "$scratch/run/xfreerdp"
export TMPDIR="$scratch/tmp"

# field <name> <line>: the value of name=value in a result line.
field() { sed -n "s/.*\\b$1=\\([^ ]*\\).*/\\1/p" <<<"$2"; }
median() { sort -n | awk '{v[NR]=$1} END {if (NR%2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }

declare -A samples
record() {
    if [ -n "$2" ]; then samples[$1]+="$2"$'\n'; fi
}
# measure <key> <command...>: one run; its result line, or nothing on failure.
# Runs in a command substitution, so failures are counted in a file.
measure() {
    local key=$1 line
    shift
    if ! line="$("$@" 2>>"$scratch/$key.err")"; then
        echo "$key" >>"$scratch/failures"
        echo "  $key failed; its messages: $(tail -n 2 "$scratch/$key.err" | tr '\n' ' ')" >&2
        line=""
    fi
    printf '%s' "$line"
}

# The floor must look like the launcher's login form, or it is no floor.
shot() {
    "$@" >/dev/null 2>&1 &
    local pid=$!
    pids+=("$pid")
    local window
    # Mapped first, then a moment to paint.
    window="$(timeout 20 xdotool search --sync --onlyvisible --name '^VelmoClient_V[0-9]+\.[0-9]+$' 2>/dev/null | head -1)"
    sleep 0.5
    [ -n "$window" ] && import -window "$window" "$scratch/shot-$qt-$(basename "$1").png" 2>/dev/null
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}
declare -A differing webengine_in_floor webengine_in_launcher
for entry in "${qts[@]}"; do
    use_qt "$entry"
    XDG_CONFIG_HOME="$scratch/cfg-shot-$qt" shot "$build/VelmoClient"
    shot "$bench/bench-floor-login"
    differing[$qt]="$(compare -metric AE -fuzz 10% "$scratch/shot-$qt-VelmoClient.png" \
        "$scratch/shot-$qt-bench-floor-login.png" null: 2>&1 || true)"
    if [ "${differing[$qt]}" != 0 ]; then
        echo "Warning: the login-form floor no longer looks like the launcher's login form (${differing[$qt]}" \
            "pixels differ, Qt ${qt_version[$qt]}): bring tools/bench/bench-floor-login.cpp up to date." >&2
    fi
    webengine_in_floor[$qt]="$(ldd "$bench/bench-floor-login" | grep -ci webengine || true)"
    webengine_in_launcher[$qt]="$(ldd "$build/VelmoClient" | grep -ci webengine || true)"
done

# One function per program; each records its figures under its key, or
# nothing when keep is "no" (the warm-up pass).
keep=yes
keep() { if [ "$keep" = yes ]; then record "$qt/$1" "$2"; fi; }
startup_window() { # <warm|cold> [--cold]
    local line
    line="$(measure "startup_window_$1" "$bench/bench-startup" "${@:2}" "$bench/bench-floor-window")"
    keep "startup_window_$1" "$(field map_ms "$line")"
    if [ "$1" = warm ]; then keep rss_window "$(field peak_kib "$line")"; fi
}
startup_floor() {
    local line
    line="$(measure "startup_floor_$1" "$bench/bench-startup" "${@:2}" "$bench/bench-floor-login")"
    keep "startup_floor_$1" "$(field map_ms "$line")"
    if [ "$1" = warm ]; then keep rss_floor "$(field peak_kib "$line")"; fi
}
startup_launcher() {
    local line
    # A fresh settings folder: a first start, as on a new thin client.
    line="$(XDG_CONFIG_HOME="$(mktemp -d "$scratch/cfg.XXXXXX")" measure "startup_$1" \
        "$bench/bench-startup" "${@:2}" "$build/VelmoClient")"
    keep "startup_$1" "$(field map_ms "$line")"
    if [ "$1" = warm ]; then
        keep rss_login "$(field peak_kib "$line")"
        keep helpers_login "$(field helpers "$line")"
    else
        cold_method="$(sed -n 's/.*cold=\([a-z_]*\).*/\1/p' <<<"$line")"
    fi
}
portal_floor() {
    local line
    line="$(measure portal_floor "$bench/bench-portal-floor" "$portal")"
    keep portal_floor "$(field ms "$line")"
}
# keep_steps <prefix> <line>: each step's own time, under <prefix>_<step>.
keep_steps() {
    local step
    for step in $(field steps "$2" | tr ',' ' '); do
        [ "$step" = - ] && continue
        keep "$1_${step%%:*}" "${step#*:}"
        step_names[${step%%:*}]=1
    done
}
declare -A step_names
portal_launcher() {
    local line
    line="$(XDG_CONFIG_HOME="$(mktemp -d "$scratch/cfg.XXXXXX")" measure portal "$bench/bench-portal" "$portal")"
    keep portal "$(field ms "$line")"
    keep rss_portal "$(field peak_kib "$line")"
    keep rss_portal_helpers "$(field helpers_kib "$line")"
    keep portal_helpers "$(field helpers "$line")"
    keep rss_press "$(field before_kib "$line")"
    keep_steps cold_steps "$line"
}
# The same login with the password typed: the launcher warms up meanwhile.
portal_typed() {
    local line
    line="$(XDG_CONFIG_HOME="$(mktemp -d "$scratch/cfg.XXXXXX")" measure portal_typed \
        "$bench/bench-portal" "$portal" --typed)"
    keep portal_typed "$(field ms "$line")"
    keep rss_press_typed "$(field before_kib "$line")"
    keep rss_press_typed_helpers "$(field before_helpers_kib "$line")"
    keep warm_span "$(field warm_ms "$line")"
    keep_steps warm_steps "$line"
}
desktop_floor() {
    local line
    line="$(cd "$scratch/run" && measure desktop_floor "$bench/bench-desktop" floor "$portal" "$remote_display")"
    keep desktop_floor "$(field ms "$line")"
}
desktop_launcher() {
    local line
    line="$(cd "$scratch/run" && XDG_CONFIG_HOME="$(mktemp -d "$scratch/cfg.XXXXXX")" \
        measure desktop "$bench/bench-desktop" launcher "$portal" "$remote_display")"
    keep desktop "$(field ms "$line")"
}

# each_qt <function>: calls it once for every build, the builds taking
# turns at going first from one run to the next.
each_qt() {
    local order=("${qts[@]}") entry
    if [ $((run % 2)) -eq 0 ]; then
        order=()
        for entry in "${qts[@]}"; do order=("$entry" "${order[@]}"); done
    fi
    for entry in "${order[@]}"; do
        use_qt "$entry"
        "$1"
    done
}
warm_pass() {
    # Two desktop pairs per run: the shadow server now and then holds a
    # connection's start for about a second, on either side, at random.
    if [ $((run % 2)) -eq 1 ]; then
        startup_window warm; startup_floor warm; startup_launcher warm
        portal_floor; portal_launcher; portal_typed; desktop_floor; desktop_launcher; desktop_launcher; desktop_floor
    else
        startup_launcher warm; startup_floor warm; startup_window warm
        portal_typed; portal_launcher; portal_floor; desktop_launcher; desktop_floor; desktop_floor; desktop_launcher
    fi
}
cold_pass() {
    if [ $((run % 2)) -eq 1 ]; then
        startup_window cold --cold; startup_floor cold --cold; startup_launcher cold --cold
    else
        startup_launcher cold --cold; startup_floor cold --cold; startup_window cold --cold
    fi
}
warm_up() {
    startup_window warm; startup_floor warm; startup_launcher warm
    portal_floor; portal_launcher; portal_typed; desktop_floor; desktop_launcher
}

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
# Every program once, unrecorded, so that no figure pays for a first start
# of a program the run before it did not use.
echo "Warming up..."
keep=no
run=1
each_qt warm_up
keep=yes

# Warm figures first, cold ones after: emptying the file cache between them
# would make whichever warm program came next partly cold. The floor and the
# launcher take turns at going first, and so do the Qt builds.
echo "Measuring $runs runs of each, interleaved..."
cold_method=""
for run in $(seq "$runs"); do
    each_qt warm_pass
    printf '  warm run %s of %s done\n' "$run" "$runs"
done
for run in $(seq "$runs"); do
    each_qt cold_pass
    printf '  cold run %s of %s done\n' "$run" "$runs"
done
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"
failures=0
if [ -f "$scratch/failures" ]; then failures="$(wc -l <"$scratch/failures")"; fi

m() { printf '%s' "${samples[$qt/$1]:-}" | sed '/^$/d' | median; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (a == "" || b == "" || b == 0) print "n/a"; else printf "%.2f", a / b}'; }
mib() { awk -v k="$1" 'BEGIN {if (k == "") print "n/a"; else printf "%.1f", k / 1024}'; }
# verdict <value> <limit>: met when value <= limit.
verdict() { awk -v a="$1" -v b="$2" 'BEGIN {if (a == "" || b == "" || a == "n/a") print "no figure"; else if (a + 0 <= b + 0) print "met"; else print "missed"}'; }

echo
echo "Machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(. /etc/os-release; echo "$PRETTY_NAME"), display $DISPLAY ($size)"
echo "Date: $(date -u '+%Y-%m-%d %H:%M UTC'); load average before $load_before, after $load_after"
echo "Client: $client ($(dpkg-query -W -f '${Package} ${Version}' "$(dpkg -S "$(readlink -f "$client")" 2>/dev/null | cut -d: -f1 | head -1)" 2>/dev/null || echo unknown))"
echo "Cold start: file cache emptied by ${cold_method:-nothing (no cold run succeeded)}"
echo "Medians of $runs runs, $((2 * runs)) for the desktop (failed runs: $failures):"
for entry in "${qts[@]}"; do
    use_qt "$entry"
    echo "Qt ${qt_version[$qt]} ($build):"
    echo "  login-form floor: ${differing[$qt]} pixels of 636 x 331 differ from the launcher's login form (10 % fuzz);" \
        "web-engine libraries linked: floor ${webengine_in_floor[$qt]}, launcher ${webengine_in_launcher[$qt]}"
    for temperature in warm cold; do
        s="$(m "startup_$temperature")"; f="$(m "startup_floor_$temperature")"; w="$(m "startup_window_$temperature")"
        r="$(ratio "$s" "$f")"
        printf '  start-up to login window mapped, %s: %s ms; login-form floor %s ms, ratio %s (goal <= 1.15: %s); empty window %s ms, ratio %s\n' \
            "$temperature" "$s" "$f" "$r" "$(verdict "$r" 1.15)" "$w" "$(ratio "$s" "$w")"
    done
    printf '  web-engine helpers while the login form is alone: %s\n' "$(m helpers_login)"
    r="$(ratio "$(m rss_login)" "$(m rss_floor)")"
    printf '  peak resident memory at the login form: %s MiB; login-form floor %s MiB, ratio %s (goal <= 1.10: %s); empty window %s MiB\n' \
        "$(mib "$(m rss_login)")" "$(mib "$(m rss_floor)")" "$r" "$(verdict "$r" 1.10)" "$(mib "$(m rss_window)")"
    printf '  peak resident memory with the portal open: %s MiB, plus %s MiB in %s web-engine helpers\n' \
        "$(mib "$(m rss_portal)")" "$(mib "$(m rss_portal_helpers)")" "$(m portal_helpers)"
    p="$(m portal)"; pf="$(m portal_floor)"; r="$(ratio "$p" "$pf")"
    printf '  login press to first portal load, no sign before the press: %s ms; bare view %s ms, ratio %s (goal <= 1.05: %s)\n' \
        "$p" "$pf" "$r" "$(verdict "$r" 1.05)"
    p="$(m portal_typed)"; r="$(ratio "$p" "$pf")"
    printf '  login press to first portal load, password typed (warmed up): %s ms; bare view %s ms, ratio %s (goal <= 0.90: %s)\n' \
        "$p" "$pf" "$r" "$(verdict "$r" 0.90)"
    printf '  warm-up: %s ms of steps before the press; resident memory at the press %s MiB plus %s MiB in web-engine helpers, against %s MiB without typing\n' \
        "$(m warm_span)" "$(mib "$(m rss_press_typed)")" "$(mib "$(m rss_press_typed_helpers)")" "$(mib "$(m rss_press)")"
    line="  steps after the press, own ms (no sign / typed):"
    # In the order they come; a step a mode did not have after the press is 0.
    unset shown
    declare -A shown=()
    for step in identity_check certificate_judgement GL_context module_load view page profile \
        terminal_identity navigation $(printf '%s\n' "${!step_names[@]}" | sort); do
        [ -n "${step_names[$step]:-}" ] && [ -z "${shown[$step]:-}" ] || continue
        line+=" $step $(m "cold_steps_$step")/$(m "warm_steps_$step")"
        shown[$step]=1
    done
    echo "$line"
    d="$(m desktop)"; df="$(m desktop_floor)"
    printf '  desktop link click to first remote frame: %s ms; client started directly %s ms, difference %s ms, ratio %s (goal <= floor + 100 ms: %s)\n' \
        "$d" "$df" "$(awk -v a="$d" -v b="$df" 'BEGIN {if (a == "" || b == "") print "n/a"; else print a - b}')" \
        "$(ratio "$d" "$df")" "$(verdict "$d" "$(awk -v b="$df" 'BEGIN {print b + 100}')")"
done
figures=(startup_warm startup_floor_warm startup_window_warm startup_cold startup_floor_cold startup_window_cold
    rss_login rss_floor rss_window rss_portal rss_portal_helpers portal portal_typed portal_floor rss_press
    rss_press_typed rss_press_typed_helpers warm_span desktop desktop_floor)
if [ "${#qts[@]}" -gt 1 ]; then
    use_qt "${qts[0]}"
    first=$qt
    echo "Qt ${qt_version[$first]} beside the others, launcher and floor each against the same program of the other build:"
    for entry in "${qts[@]:1}"; do
        use_qt "$entry"
        line=""
        for key in "${figures[@]}"; do
            line+=" $key $(ratio "$(qt=$first m "$key")" "$(m "$key")")"
        done
        echo "  against Qt ${qt_version[$qt]}:$line"
    done
fi
echo "Every sample, sorted (ms; memory in KiB):"
for entry in "${qts[@]}"; do
    use_qt "$entry"
    for key in "${figures[@]}"; do
        printf '  Qt %-7s %-20s %s\n' "${qt_version[$qt]}" "$key" \
            "$(printf '%s' "${samples[$qt/$key]:-}" | sed '/^$/d' | sort -n | tr '\n' ' ')"
    done
done
mkdir -p "$scratch/rdp"
for entry in "${qts[@]}"; do
    use_qt "$entry"
    "$bench/bench-translation" "$scratch/rdp" | sed "s/^/  Qt ${qt_version[$qt]} translation /"
done
[ "$failures" -eq 0 ]

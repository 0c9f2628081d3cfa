# shellcheck shell=bash
# Sourced by the demo and benchmark scripts: background servers they start,
# all recorded in the caller's pids array so its cleanup can stop them.

# wait_for <part> <log file> <pid> <seconds> <command...>: runs the command
# until it succeeds. Stops the script, naming the part and the log to read,
# when the process <pid> ends first or the time runs out.
wait_for() {
    local part=$1 log=$2 pid=$3 seconds=$4
    shift 4
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "The $part ended while starting; see $log" >&2
            exit 1
        fi
        if [ "$SECONDS" -ge "$deadline" ]; then
            echo "The $part did not come up within $seconds s; see $log" >&2
            exit 1
        fi
        sleep 0.1
    done
}

# port_listens <port>: something listens on TCP port <port> (IPv4), from
# /proc so that the server sees no probing connection.
port_listens() {
    local hex
    hex="$(printf '%04X' "$1")"
    grep -qE "^ *[0-9]+: [0-9A-F]{8}:$hex [0-9A-F]{8}:0000 0A " /proc/net/tcp
}

# start_xvfb <scratch dir> <width>x<height> [part]: starts Xvfb on a free
# display, waits until the display answers and sets xvfb_display to it.
# Not to be run in a subshell, or the pid is lost.
start_xvfb() {
    local numberfile log part=${3:-virtual display}
    numberfile="$(mktemp "$1/display.XXXXXX")"
    log="$numberfile.log"
    # -noreset: an X server resets when its last client leaves, which clears
    # the wallpaper and refuses connections for a moment; the wallpaper setter
    # and the RDP server both connect and leave again while starting.
    Xvfb -displayfd 3 -noreset -screen 0 "$2x24" -nolisten tcp 3>"$numberfile" >"$log" 2>&1 &
    local pid=$!
    pids+=("$pid")
    wait_for "$part" "$log" "$pid" 10 test -s "$numberfile"
    xvfb_display=":$(cat "$numberfile")"
    wait_for "$part" "$log" "$pid" 10 xdpyinfo -display "$xvfb_display"
}

# start_demo_portal <program> <log file> [options...]: starts the demo portal
# on a free port and sets portal_url to the address it prints first.
start_demo_portal() {
    local program=$1 log=$2
    shift 2
    "$program" --port 0 "$@" >"$log" 2>&1 &
    local pid=$!
    pids+=("$pid")
    wait_for "demo portal" "$log" "$pid" 30 grep -q '^demo-portal listening on ' "$log"
    portal_url="$(sed -n 's/^demo-portal listening on //p' "$log")"
}

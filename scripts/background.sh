# Sourced by the demo and benchmark scripts: background servers they start,
# all recorded in the caller's pids array so its cleanup can stop them.

# start_xvfb <scratch dir> <width>x<height>: starts Xvfb on a free display and
# sets xvfb_display to it. Not to be run in a subshell, or the pid is lost.
start_xvfb() {
    local numberfile
    numberfile="$(mktemp "$1/display.XXXXXX")"
    Xvfb -displayfd 3 -screen 0 "$2x24" -nolisten tcp 3>"$numberfile" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        [ -s "$numberfile" ] && break
        sleep 0.1
    done
    [ -s "$numberfile" ] || { echo "Xvfb did not start" >&2; exit 1; }
    xvfb_display=":$(cat "$numberfile")"
}

# start_demo_portal <program> <log file> [options...]: starts the demo portal
# on a free port and sets portal_url to the address it prints first.
start_demo_portal() {
    local program=$1 log=$2
    shift 2
    "$program" --port 0 "$@" >"$log" 2>&1 &
    pids+=($!)
    for _ in $(seq 300); do
        grep -q 'listening on' "$log" && break
        sleep 0.1
    done
    portal_url="$(sed -n 's/^demo-portal listening on //p' "$log")"
    [ -n "$portal_url" ] || { cat "$log" >&2; exit 1; }
}

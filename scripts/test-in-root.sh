#!/usr/bin/env bash
# Runs the README's test command on a fresh Debian system: makes a new root
# with debootstrap, copies this checkout into it (the files git knows, as
# they are now), mounts what the tests need and runs scripts/test.sh there.
# Needs root and debootstrap.
#   scripts/test-in-root.sh <bookworm|trixie> [command ...]
#     command    what to run in the checkout inside the root
#                (default scripts/test.sh)
#   ROOTS=<dir>  where the root is made (default /var/tmp); it is removed
#                afterwards unless KEEP_ROOT=1
#   ROOT=<dir>   use this root, made by an earlier KEEP_ROOT=1 run, instead
#                of a fresh one (the checkout in it is replaced)
#   MIRROR=<url> the Debian archive (default http://deb.debian.org/debian)
#   DEBOOTSTRAP_CACHE=<dir>  keep downloaded packages there between runs
#   IMPORT=<file>  also copy this file (a built package) into the checkout
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
release="${1:-}"
case "$release" in
    bookworm | trixie) ;;
    *)
        echo "usage: $0 <bookworm|trixie> [command ...]" >&2
        exit 2
        ;;
esac
shift
[ $# -gt 0 ] || set -- scripts/test.sh
[ "$(id -u)" -eq 0 ] || { echo "$0: needs root (debootstrap, mount, chroot)" >&2; exit 1; }
if ! command -v debootstrap >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap >/dev/null \
        || { echo "$0: needs debootstrap" >&2; exit 1; }
fi
mirror="${MIRROR:-http://deb.debian.org/debian}"

started=$SECONDS
root="${ROOT:-}"
if [ -z "$root" ]; then
    mkdir -p "${ROOTS:-/var/tmp}"
    root="$(mktemp -d "${ROOTS:-/var/tmp}/velmo-$release-XXXXXX")"
    # mktemp makes it 0700: the root's / must let other accounts in.
    chmod 0755 "$root"
    if [ "${KEEP_ROOT:-0}" != 1 ]; then
        trap 'rm -rf --one-file-system "$root"' EXIT
    fi
    cache=()
    if [ -n "${DEBOOTSTRAP_CACHE:-}" ]; then
        mkdir -p "$DEBOOTSTRAP_CACHE"
        cache=(--cache-dir="$(cd "$DEBOOTSTRAP_CACHE" && pwd)")
    fi
    echo "== debootstrap $release into $root"
    debootstrap --variant=minbase "${cache[@]}" "$release" "$root" "$mirror" >"$root.debootstrap.log" 2>&1 \
        || { tail -20 "$root.debootstrap.log" >&2; exit 1; }
    rm -f "$root.debootstrap.log"
    # As an installed system has them: updates and security fixes.
    cat >"$root/etc/apt/sources.list" <<SOURCES
deb $mirror $release main
deb $mirror $release-updates main
deb ${mirror%/debian}/debian-security $release-security main
SOURCES
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"

echo "== copying the checkout to $root/src"
rm -rf "$root/src"
mkdir -p "$root/src"
(cd "$here" && git ls-files -z --cached --others --exclude-standard \
    | tar --null --files-from=- --ignore-failed-read -cf - 2>/dev/null) | tar -xf - -C "$root/src"
if [ -n "${IMPORT:-}" ]; then
    cp "$IMPORT" "$root/src/"
fi

# The mounts live in a mount namespace of their own, so that nothing is left
# behind on the host whatever happens; they are also undone on the way out.
echo "== running ${*} in $root/src ($((SECONDS - started)) s so far)"
# shellcheck disable=SC2016
inside='
set -euo pipefail
root="$1"
shift
undo() {
    for m in dev/shm dev/pts dev sys proc; do
        umount -l "$root/$m" 2>/dev/null || true
    done
}
trap undo EXIT
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
# The web engine keeps its shared memory here.
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    TERM="${TERM:-dumb}" LANG=C.UTF-8 /bin/bash -c "cd /src && \"\$@\"" inside "$@"
'
set +e
unshare --mount --propagation private /bin/bash -c "$inside" inside "$root" "$@"
status=$?
set -e
echo "== ${*} in a fresh $release root: exit status $status after $((SECONDS - started)) s in all"
exit "$status"

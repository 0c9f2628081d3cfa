#!/usr/bin/env bash
# Installs what is needed, builds the launcher three times and runs every
# test of each: with the Qt this release builds by default (Qt 5 on Debian 12,
# Qt 6 on Debian 13) a normal build and a clang AddressSanitizer +
# UndefinedBehaviorSanitizer build with the fuzz harnesses, and a normal
# build with the other Qt.
#   FUZZ_SECONDS=<n>  how long each fuzzer runs (default 60)
#   BUILD_ROOT=<dir>  where the build trees go (default ./build)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_root="${BUILD_ROOT:-$here/build}"
fuzz_seconds="${FUZZ_SECONDS:-60}"
jobs="$(nproc)"

"$here/scripts/install-deps.sh"

started=$SECONDS
echo "== product-only configure: the launcher, its module and their libraries, nothing else"
configured="$(cmake -S "$here" -B "$build_root/product" -G Ninja -DVELMO_BUILD_TESTS=OFF -DVELMO_BUILD_TOOLS=OFF)"
# The Qt the default configure chose, and the other one.
qt="$(sed -n -E 's/^-- Building with Qt ([56])\..*/\1/p' <<<"$configured")"
case "$qt" in
    5) other_qt=6 ;;
    6) other_qt=5 ;;
    *)
        echo "the configure step named no Qt version:"
        echo "$configured"
        exit 1
        ;;
esac
linked="$(ninja -C "$build_root/product" -t targets all | sed -n -E 's/^([^ ]+): CXX_[A-Z_]*LINKER.*/\1/p' | sort | tr '\n' ' ')"
expected="VelmoClient app/libvelmo_app.a libvelmo_portalview.so portal/libvelmo_portal.a portal/origin/libvelmo_origin.a rdp/libvelmo_rdp.a ui/libvelmo_ui.a "
if [ "$linked" != "$expected" ]; then
    echo "product-only configure links: $linked"
    echo "expected:                     $expected"
    exit 1
fi
echo "$linked"

echo "== normal build, Qt $qt"
cmake -S "$here" -B "$build_root/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMO_QT="$qt"
cmake --build "$build_root/release" -j"$jobs"
echo "== tests"
(cd "$build_root/release" && ctest -j"$jobs" --output-on-failure)

echo "== sanitizer build (clang, ASan + UBSan, fuzzers), Qt $qt"
CC=clang CXX=clang++ cmake -S "$here" -B "$build_root/sanitize" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMO_QT="$qt" -DVELMO_SANITIZE=ON -DVELMO_FUZZ=ON \
    -DVELMO_FUZZ_SECONDS="$fuzz_seconds"
cmake --build "$build_root/sanitize" -j"$jobs"
echo "== tests under the sanitizers"
(cd "$build_root/sanitize" && ctest -j"$jobs" --output-on-failure -LE fuzz)
echo "== fuzzing, ${fuzz_seconds} s per harness"
(cd "$build_root/sanitize" && ctest -j"$jobs" --output-on-failure -L fuzz)

echo "== normal build, Qt $other_qt"
cmake -S "$here" -B "$build_root/release-qt$other_qt" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMO_QT="$other_qt"
cmake --build "$build_root/release-qt$other_qt" -j"$jobs"
echo "== tests, Qt $other_qt"
(cd "$build_root/release-qt$other_qt" && ctest -j"$jobs" --output-on-failure)

echo "== all tests passed in $((SECONDS - started)) s"

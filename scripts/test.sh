#!/usr/bin/env bash
# Installs what is needed, builds the launcher twice (a normal build and a
# clang AddressSanitizer + UndefinedBehaviorSanitizer build with the fuzz
# harnesses) and runs every test of both.
#   FUZZ_SECONDS=<n>  how long each fuzzer runs (default 60)
#   BUILD_ROOT=<dir>  where the two build trees go (default ./build)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_root="${BUILD_ROOT:-$here/build}"
fuzz_seconds="${FUZZ_SECONDS:-60}"
jobs="$(nproc)"

"$here/scripts/install-deps.sh"

started=$SECONDS
echo "== product-only configure: the launcher, its module and their libraries, nothing else"
cmake -S "$here" -B "$build_root/product" -G Ninja -DVELMO_BUILD_TESTS=OFF -DVELMO_BUILD_TOOLS=OFF >/dev/null
linked="$(ninja -C "$build_root/product" -t targets all | sed -n -E 's/^([^ ]+): CXX_[A-Z_]*LINKER.*/\1/p' | sort | tr '\n' ' ')"
expected="VelmoClient app/libvelmo_app.a libvelmo_portalview.so portal/libvelmo_portal.a rdp/libvelmo_rdp.a rdp/libvelmo_rdpcore.a ui/libvelmo_ui.a "
if [ "$linked" != "$expected" ]; then
    echo "product-only configure links: $linked"
    echo "expected:                     $expected"
    exit 1
fi
echo "$linked"

echo "== normal build"
cmake -S "$here" -B "$build_root/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_root/release" -j"$jobs"
echo "== tests"
(cd "$build_root/release" && ctest -j"$jobs" --output-on-failure)

echo "== sanitizer build (clang, ASan + UBSan, fuzzers)"
CC=clang CXX=clang++ cmake -S "$here" -B "$build_root/sanitize" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMO_SANITIZE=ON -DVELMO_FUZZ=ON \
    -DVELMO_FUZZ_SECONDS="$fuzz_seconds"
cmake --build "$build_root/sanitize" -j"$jobs"
echo "== tests under the sanitizers"
(cd "$build_root/sanitize" && ctest -j"$jobs" --output-on-failure -LE fuzz)
echo "== fuzzing, ${fuzz_seconds} s per harness"
(cd "$build_root/sanitize" && ctest -j"$jobs" --output-on-failure -L fuzz)

echo "== all tests passed in $((SECONDS - started)) s"

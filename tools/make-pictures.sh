#!/bin/sh
# Rebuilds the picture generator and redraws the pictures in resources/.
# Usage: tools/make-pictures.sh [build-directory]   (default: build/ in the tree)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" --target make-pictures -j2
"$build/tools/make-pictures/make-pictures" "$root/resources"

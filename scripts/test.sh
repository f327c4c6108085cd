#!/usr/bin/env bash
# Installs what is missing, builds KeyCask with its tests and runs them.
# Set BUILD_DIR and extra CMake options (CMAKE_ARGS) to test another build, e.g. the sanitizer one.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
build_dir=${BUILD_DIR:-build}
# shellcheck disable=SC2086
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEYCASK_WERROR=ON ${CMAKE_ARGS:-}
cmake --build "$build_dir" -j"$(nproc)"
cd "$build_dir"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"

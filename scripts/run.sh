#!/usr/bin/env bash
# Installs what is missing, builds KeyCask and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
exec build/keycask "$@"

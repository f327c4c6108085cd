#!/usr/bin/env bash
# Checks that a locked KeyCask keeps no password in memory and that a crash writes no core file.
#  1. A data file with 20 entries whose passwords are long and distinct (core_probe make).
#  2. core_probe run signs in with the master password given on its standard input, opens the
#     editor once and closes it, locks, and writes a core of itself with gcore (package gdb).
#  3. None of the 21 passwords may be in that core, as UTF-16LE or UTF-8 (core_probe check).
#  4. KeyCask itself, started with `ulimit -c unlimited` on that data file and killed with
#     SIGSEGV, leaves no core file in its working folder.
# Usage: tests/security/core_check.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
probe=$build/tests/core_probe
if ! command -v gcore >/dev/null; then echo "SKIP: core check: gcore (package gdb) not installed"; exit 0; fi
[ -x "$probe" ] || { echo "core check: $probe not built"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seed=kc$RANDOM$RANDOM
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data

"$probe" make "$work/probe" "$seed"
# The master password reaches the probe only as typing, through a pipe.
"$probe" master "$seed" | "$probe" run "$work/probe" "$work/core"
"$probe" check "$work/core" "$seed"
echo "PASS: a locked KeyCask's core holds none of the passwords"

# A crash: KeyCask in a folder of its own (the data file beside it), core files allowed.
mkdir -p "$work/app/Database" "$work/cwd"
cp "$build/keycask" "$work/app/"
cp "$work/probe/Database/pwd.quillondata" "$work/app/Database/"
(
    cd "$work/cwd"
    ulimit -c unlimited
    # Where this system puts core files: a pattern with a path or a pipe sends them elsewhere,
    # and the check would prove nothing.
    pattern=$(cat /proc/sys/kernel/core_pattern 2>/dev/null || echo core)
    case $pattern in
        /*|\|*) echo "SKIP: crash check: core files go to '$pattern', not the working folder"; exit 0 ;;
    esac
    # A process without the hardening does leave one here: the check can see a core file.
    sh -c 'kill -SEGV $$' 2>/dev/null || true
    if ! ls core* >/dev/null 2>&1; then
        echo "SKIP: crash check: this system writes no core file here even for an ordinary crash"
        exit 0
    fi
    rm -f core*
    "$work/app/keycask" &
    pid=$!
    sleep 3
    kill -SEGV "$pid"
    wait "$pid" || true
    if ls core* >/dev/null 2>&1; then
        echo "FAIL: a crash of KeyCask left a core file: $(ls core*)"
        exit 1
    fi
    echo "PASS: a crash of KeyCask leaves no core file"
)

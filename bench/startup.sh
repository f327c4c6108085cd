#!/usr/bin/env bash
# Start-up to the first window, run by hand: the time from starting KeyCask until its sign-in
# window is mapped, against its floor: an empty Qt window mapped (bench_emptywindow) plus a bare
# open of the data file with its key (bench_records' BM_OpenDataFilePlain).
#
# Usage: bench/startup.sh [runs] [build folder] [program...]
#   runs: starts of each program (default 15); the minimum and the median are shown.
#   build folder: default build; its bench programs and Database/pwd.quillondata are used.
#   program: KeyCask programs to time (default <build folder>/keycask), e.g. an older build
#   beside the current one. The starts of all programs and of the empty window take turns, so
#   that a busy machine weighs on each alike.
# STARTUP_DISPLAY=n runs Xvfb on display :n instead of the first free one.
# Each program runs from a copy in a temporary application folder, with a copy of the build's
# data file and settings of its own, on its own Xvfb display: nothing of the build or the user
# changes.
set -euo pipefail

runs=${1:-15}
build=$(cd "${2:-build}" && pwd)
shift $(($# < 2 ? $# : 2))
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=("$build/keycask")
for tool in Xvfb xev xdotool stdbuf; do
    command -v "$tool" >/dev/null || { echo "missing: $tool (apt-get install xvfb x11-utils xdotool)"; exit 1; }
done
for file in "${programs[@]}" "$build/bench/bench_emptywindow" "$build/bench/bench_records" \
    "$build/Database/pwd.quillondata"; do
    [ -e "$file" ] || { echo "missing: $file (build first)"; exit 1; }
done

work=$(mktemp -d)
xvfb_pid='' xev_pid='' app_pid=''
cleanup() {
    for pid in $app_pid $xev_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/config" "$work/data" "$work/tmp"
# One application folder per program, each with its own copy of the data file.
for i in "${!programs[@]}"; do
    mkdir -p "$work/app$i/Database"
    cp "${programs[$i]}" "$work/app$i/keycask"
    cp "$build/Database/pwd.quillondata" "$work/app$i/Database/"
done
cp "$build/bench/bench_emptywindow" "$work/"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data TMPDIR=$work/tmp
unset QT_QPA_PLATFORM

# A display of our own; Xvfb writes its number once it accepts clients. STARTUP_DISPLAY=n asks
# for display :n instead of the first free one.
exec 3>"$work/display"
Xvfb ${STARTUP_DISPLAY:+":$STARTUP_DISPLAY"} -displayfd 3 -screen 0 1280x800x24 -nolisten tcp \
    >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
export DISPLAY=:$(head -n1 "$work/display")

# Every window mapped on the display, as it happens, one line each.
mkfifo "$work/events"
stdbuf -oL xev -root -event substructure >"$work/events" 2>/dev/null &
xev_pid=$!
exec 4<"$work/events"

now_us() { echo "${EPOCHREALTIME/./}"; }

# Starts a program, waits until a top-level window of it is mapped, checks that the window bears
# the expected name, ends the program; prints the milliseconds from the start to the mapping.
time_first_window() {
    local exe=$1 name=$2 line start end id
    # Events of the previous run are not this run's.
    while read -r -t 0.3 -u 4 line; do :; done
    start=$(now_us)
    "$exe" >/dev/null 2>&1 &
    app_pid=$!
    end=''
    # xev writes "MapNotify event, ..." and then "event 0x.., window 0x.., override NO".
    while read -r -t 30 -u 4 line; do
        if [[ $line == MapNotify* ]]; then
            end=$(now_us)
            read -r -u 4 line
            [[ $line == *"override NO"* ]] && break
            end=''
        fi
    done
    [ -n "$end" ] || { echo "no window of $exe appeared" >&2; exit 1; }
    id=$(grep -o 'window 0x[0-9a-f]*' <<<"$line" | head -n1 | awk '{print $2}')
    if ! xdotool search --onlyvisible --name "^${name}\$" | grep -qx "$((id))"; then
        echo "the first window of $exe is not \"$name\"" >&2
        exit 1
    fi
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null || true
    app_pid=''
    # A copy killed leaves its lock file, which a user's next start would not find.
    rm -f "$(dirname "$exe")/Database/pwd.quillondata.lock"
    echo $(((end - start) / 1000))
}

# Minimum and median of the numbers on standard input.
min_median() {
    sort -n | awk '{ v[NR] = $1 } END { printf "%d %d\n", v[1], v[int((NR + 1) / 2)] }'
}

# Warm the file cache, then start the empty window and every program in turn.
time_first_window "$work/bench_emptywindow" EmptyWindow >/dev/null
for i in "${!programs[@]}"; do
    time_first_window "$work/app$i/keycask" KeyCask >/dev/null
done
for _ in $(seq "$runs"); do
    time_first_window "$work/bench_emptywindow" EmptyWindow >>"$work/times.empty"
    for i in "${!programs[@]}"; do
        time_first_window "$work/app$i/keycask" KeyCask >>"$work/times.$i"
    done
done
read -r empty_min empty_median < <(min_median <"$work/times.empty")

# The bare open of the data file with its key, and the program's own open, in milliseconds.
open_times=$("$build/bench/bench_records" --benchmark_filter='BM_OpenDataFile' \
    --benchmark_repetitions=5 --benchmark_format=csv 2>/dev/null |
    awk -F, '/^"BM_OpenDataFile(Plain)?(\/repeats:5)?"/ {
        split($1, n, "/"); name = n[1]; gsub(/"/, "", name)
        if (!(name in best) || $3 < best[name]) best[name] = $3
    } END { printf "%.1f %.1f\n", best["BM_OpenDataFilePlain"], best["BM_OpenDataFile"] }')
read -r open_plain open_program <<<"$open_times"

awk -v e="$empty_min" -v em="$empty_median" -v p="$open_plain" -v o="$open_program" \
    -v runs="$runs" 'BEGIN {
    printf "start to the first window mapped, %d starts each (ms, minimum / median)\n", runs
    printf "  empty Qt window                   %6d / %d\n", e, em
    printf "  data file: bare open with key     %6.1f\n", p
    printf "  data file: KeyCask open           %6.1f\n", o
    printf "  floor (empty window + bare open)  %6.1f\n", e + p
}'
for i in "${!programs[@]}"; do
    read -r app_min app_median < <(min_median <"$work/times.$i")
    awk -v a="$app_min" -v am="$app_median" -v f="$(awk -v e="$empty_min" -v p="$open_plain" \
        'BEGIN { print e + p }')" -v name="${programs[$i]}" 'BEGIN {
        printf "  %s: sign-in window %d / %d, ratio to the floor %.2f\n", name, a, am, a / f
    }'
done

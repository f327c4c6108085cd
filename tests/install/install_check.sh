#!/usr/bin/env bash
# Installs the build into a scratch prefix and starts the installed program with a scratch home:
# the first start makes the user's data file in the per-user folder, private, and writes nothing
# beside the program; the desktop entry and the metainfo pass their validators.
set -euo pipefail
build=$1
scratch=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/keycask bin/keycask_mkdata share/keycask/help/keycask/keycask.htm \
         share/applications/com.quillonsoftware.KeyCask.desktop \
         share/icons/hicolor/scalable/apps/com.quillonsoftware.KeyCask.svg \
         share/icons/hicolor/48x48/apps/com.quillonsoftware.KeyCask.png \
         share/icons/hicolor/256x256/apps/com.quillonsoftware.KeyCask.png \
         share/metainfo/com.quillonsoftware.KeyCask.metainfo.xml; do
    [ -f "$prefix/$f" ] || fail "not installed: $f"
done
extra=$(cd "$prefix" && find . -type f | grep -E 'portable|bench|tst_|rendericon' || true)
[ -z "$extra" ] || fail "installed what only the build needs: $extra"
file "$prefix/share/icons/hicolor/256x256/apps/com.quillonsoftware.KeyCask.png" | grep -q "256 x 256" \
    || fail "the 256 icon is not 256x256"

desktop-file-validate "$prefix/share/applications/com.quillonsoftware.KeyCask.desktop"
appstreamcli validate --no-net --pedantic \
    "$prefix/share/metainfo/com.quillonsoftware.KeyCask.metainfo.xml"

home=$scratch/home
runtime=$scratch/run
mkdir -p "$home" && mkdir -m 0700 "$runtime"
env -i PATH="$prefix/bin:/usr/bin:/bin" HOME="$home" XDG_RUNTIME_DIR="$runtime" \
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 keycask &
pid=$!
data=$home/.local/share/QuillonSoftware/KeyCask/Database/pwd.quillondata
for _ in $(seq 1 300); do
    if [ -f "$data" ] && [ "$(sqlcipher "$data" "PRAGMA key='lamp2917';" \
            "SELECT count(*) FROM sqlite_master WHERE name IN ('PWD','MY_FILE');" \
            2>/dev/null | tail -1)" = 2 ]; then
        break
    fi
    kill -0 "$pid" 2>/dev/null || fail "the installed program ended on its first start"
    sleep 0.1
done
[ -f "$data" ] || fail "no data file at $data"
kill -0 "$pid" 2>/dev/null || fail "the installed program ended on its first start"
[ "$(stat -c %a "$data")" = 600 ] || fail "data file mode $(stat -c %a "$data")"
[ "$(stat -c %a "$(dirname "$data")")" = 700 ] || fail "data folder mode"
[ "$(stat -c %a "$runtime/keycask")" = 700 ] || fail "report folder mode"
left=$(cd "$prefix/bin" && ls -A | grep -vx -e keycask -e keycask_mkdata || true)
[ -z "$left" ] || fail "written beside the installed program: $left"
echo "PASS: installed program"

#!/usr/bin/env bash
# Makes the Debian package of build/ with CPack, checks what it holds and what it depends on,
# installs it into a temporary root (no container) and starts the installed program on a
# virtual screen until its cover window shows. Usage: bash scripts/package-test.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
id=org.papyrant.Papyrant
title=澄川文献管家
work=$(mktemp -d)
xvfb=
program=
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "package: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB -B "$work/pack" >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log"
    fail "cpack failed"
}
deb=$(ls "$work"/pack/*.deb)
echo "package: $(basename "$deb"), $(du -h "$deb" | cut -f1)"
depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
# The Qt libraries come from the program's shared libraries (dpkg-shlibdeps), not from a list.
for lib in libqt6core6 libqt6widgets6 libstdc++6; do
    grep -q "$lib" <<<"$depends" || fail "no dependency on $lib"
done

contents=$(dpkg-deb -c "$deb")
for file in usr/bin/papyrant usr/share/applications/$id.desktop \
    usr/share/icons/hicolor/scalable/apps/$id.svg usr/share/metainfo/$id.metainfo.xml; do
    grep -q " \./$file\$" <<<"$contents" || fail "$file is not in the package"
done

dest=$work/root
dpkg-deb -x "$deb" "$dest"
# Every shared library the program links comes from a package it depends on (Qt, gumbo, zlib,
# brotli...): a library linked from elsewhere would leave an installed program that cannot start.
depnames=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/[ |].*//')
resolved=$(ldd "$dest/usr/bin/papyrant")
for lib in $(objdump -p "$dest/usr/bin/papyrant" | awk '$1 == "NEEDED" { print $2 }'); do
    path=$(awk -v lib="$lib" '$1 == lib && $2 == "=>" { print $3 }' <<<"$resolved")
    [ -n "$path" ] && [ "$path" != "not" ] || fail "$lib is not found on this system"
    owner=$({ dpkg -S "$path" "/usr$path" "${path#/usr}" 2>/dev/null || true; } | head -1 | sed 's/:.*//')
    [ -n "$owner" ] || fail "$lib ($path) comes from no installed package"
    grep -qxF "$owner" <<<"$depnames" || fail "$lib ($owner) is not a dependency"
done
desktop=$dest/usr/share/applications/$id.desktop
desktop-file-validate "$desktop" | grep -v '^.*: hint: ' || true
desktop-file-validate "$desktop" >/dev/null 2>&1 || fail "the desktop entry is not valid"
grep -qx "Name=$title" "$desktop" || fail "the desktop entry has no Chinese name"
grep -qx "Icon=$id" "$desktop" || fail "the desktop entry names another icon"
grep -qx "Categories=Education;Science;" "$desktop" || fail "the desktop entry is in other categories"
appstreamcli validate --no-net "$dest/usr/share/metainfo/$id.metainfo.xml" || fail "metainfo not valid"

# The installed program, with settings and data of its own, up to its cover.
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
# A virtual screen of its own: Xvfb picks a free display and names it once it is ready, so a
# screen that others start at the same moment cannot take it (xvfb-run -a can race there).
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 1 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { cat "$work/xvfb.log"; fail "no virtual screen"; }
export DISPLAY=:$(head -1 "$work/display")
"$dest/usr/bin/papyrant" >"$work/program.log" 2>&1 &
program=$!
shown=
for _ in $(seq 1 120); do
    window=$(xwininfo -root -tree | grep -F "\"$title\": (\"papyrant\"" | awk '{print $1}' | head -1 || true)
    if [ -n "$window" ] && xwininfo -id "$window" | grep -q "Map State: IsViewable"; then
        shown=$window
        break
    fi
    kill -0 $program 2>/dev/null || break
    sleep 0.5
done
kill $program 2>/dev/null || true
wait $program 2>/dev/null || true
program=
if [ -z "$shown" ]; then
    cat "$work/program.log"
    fail "the installed program did not show its cover"
fi
echo "started: the installed program shows its cover \"$title\" (window $shown)"

#!/usr/bin/env bash
# The Debian package built from the build tree, checked as a shop would meet it: lintian
# finds no error, it holds exactly the programs and data meant to be installed, the
# unpacked korvane-cli rewrites like the built one, and the desktop entry, the AppStream
# record, the manual pages, the icons and the NC program type are all valid.
# Usage: debian_package.sh CPACK BUILD_DIR VERSION KORVANE_CLI PROGRAM
# Exits 77 (skipped) when a packaging tool is missing.
set -euo pipefail
cpack=$1 build=$2 version=$3 cli=$4 program=$5

missing=()
for tool in dpkg-deb dpkg-shlibdeps file lintian desktop-file-validate appstreamcli man \
    help2man rsvg-convert update-mime-database gio; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
    echo "skipped: missing ${missing[*]} (scripts/setup.sh package installs them)"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack could not build the package"; }
deb=$work/out/korvane_${version}-1_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "expected $(basename "$deb"), cpack made: $(ls "$work/out")"

echo "== lintian"
lintian --fail-on error --display-info "$deb" || fail "lintian found errors"

echo "== contents"
dpkg-deb -x "$deb" "$work/root"
root=$work/root
app=io.github.korvane.korvane
(cd "$root" && find . -type f | sort) >"$work/files"
cat >"$work/expected" <<EOF
./usr/bin/korvane
./usr/bin/korvane-cli
./usr/share/applications/$app.desktop
./usr/share/doc/korvane/changelog.Debian.gz
./usr/share/doc/korvane/copyright
./usr/share/doc/korvane/examples/pocket.nc
./usr/share/icons/hicolor/128x128/apps/korvane.png
./usr/share/icons/hicolor/16x16/apps/korvane.png
./usr/share/icons/hicolor/256x256/apps/korvane.png
./usr/share/icons/hicolor/32x32/apps/korvane.png
./usr/share/icons/hicolor/48x48/apps/korvane.png
./usr/share/icons/hicolor/scalable/apps/korvane.svg
./usr/share/lintian/overrides/korvane
./usr/share/man/man1/korvane-cli.1.gz
./usr/share/man/man1/korvane.1.gz
./usr/share/metainfo/$app.metainfo.xml
./usr/share/mime/packages/korvane.xml
EOF
diff -u "$work/expected" "$work/files" || fail "the package holds other files than expected"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' \
    || fail "no dependency on Qt Widgets found by dpkg-shlibdeps: $(dpkg-deb -f "$deb" Depends)"

echo "== the unpacked korvane-cli"
[ "$("$root/usr/bin/korvane-cli" --version)" = "korvane-cli $version" ] \
    || fail "korvane-cli --version: $("$root/usr/bin/korvane-cli" --version)"
"$cli" "$program" >"$work/built.nc"
"$root/usr/bin/korvane-cli" "$program" >"$work/packaged.nc" || fail "the packaged korvane-cli failed"
cmp "$work/built.nc" "$work/packaged.nc" || fail "the packaged korvane-cli rewrites differently"
[ -s "$work/packaged.nc" ] || fail "the packaged korvane-cli wrote nothing"

echo "== desktop entry and AppStream record"
desktop-file-validate "$root/usr/share/applications/$app.desktop" >"$work/desktop.log" 2>&1 || true
[ ! -s "$work/desktop.log" ] || { cat "$work/desktop.log"; fail "desktop-file-validate complained"; }
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/$app.metainfo.xml" \
    >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log"; fail "appstreamcli failed"; }
grep -q '^[EWIP]: ' "$work/appstream.log" && { cat "$work/appstream.log"; fail "appstreamcli complained"; }
grep -qx "    <release version=\"$version\" date=\"[0-9-]*\"/>" \
    "$root/usr/share/metainfo/$app.metainfo.xml" || fail "the AppStream record misses release $version"

echo "== manual pages"
for page in korvane korvane-cli; do
    gz=$root/usr/share/man/man1/$page.1.gz
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$gz" 2>&1 >/dev/null \
        | tee "$work/man.log"
    [ ! -s "$work/man.log" ] || fail "$page(1) has groff warnings"
    LC_ALL=C MANWIDTH=200 man -l "$gz" >"$work/$page.txt" 2>/dev/null
    grep -q "$page $version" "$work/$page.txt" || fail "$page(1) does not name version $version"
done
# The page of korvane-cli is made from its --help: every option there must be in it.
for option in $("$cli" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
    grep -qe "$option" "$work/korvane-cli.txt" || fail "korvane-cli(1) lacks $option"
done

echo "== icons"
for size in 16 32 48 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x$size/apps/korvane.png
    file -b "$png" | grep -q "^PNG image data, $size x $size," \
        || fail "$png: $(file -b "$png")"
done

echo "== NC program type"
# The system's types beside ours, as after installing, in a database of our own.
mkdir -p "$work/mime/mime/packages" "$work/home"
cp /usr/share/mime/packages/freedesktop.org.xml "$root/usr/share/mime/packages/korvane.xml" \
    "$work/mime/mime/packages/"
XDG_DATA_DIRS=$work/mime update-mime-database "$work/mime/mime" || fail "update-mime-database refused korvane.xml"
for name in job.nc JOB.NC job.tap job.ngc; do
    cp "$program" "$work/$name"
    type=$(XDG_DATA_HOME=$work/home XDG_DATA_DIRS=$work/mime \
        gio info -a standard::content-type "$work/$name" 2>/dev/null | sed -n 's/.*type: //p')
    [ "$type" = text/x-korvane-nc ] || fail "$name is typed '$type', not text/x-korvane-nc"
    grep -q "^MimeType=.*$type;" "$root/usr/share/applications/$app.desktop" \
        || fail "the desktop entry does not open $type"
done

echo "package $(basename "$deb") as expected"

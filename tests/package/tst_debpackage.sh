#!/usr/bin/env bash
# Builds the two .deb files from this build tree with cpack, checks their
# control fields and file lists, extracts them and runs the programs there.
# Exit 77 (skipped) when the Debian tools are missing.
set -euo pipefail
cpack=$1 config=$2 version=$3
for tool in dpkg-deb dpkg-shlibdeps readelf identify; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
out=$PWD/deb root=$PWD/root
rm -rf "$out" "$root"
"$cpack" --config "$config" -G DEB -B "$out" >"$PWD/cpack.log" 2>&1 || { cat "$PWD/cpack.log"; exit 1; }
viewer=$out/velmaro_${version}_$(dpkg --print-architecture).deb
demo=$out/velmaro-demo_${version}_$(dpkg --print-architecture).deb
fail() { echo "FAIL: $*"; exit 1; }

# deb, control field, pattern its value must match
while read -r deb field pattern; do
    value=$(dpkg-deb -f "$deb" "$field")
    [[ $value =~ $pattern ]] || fail "$(basename "$deb") $field: '$value' !~ $pattern"
done <<ROWS
$viewer Package ^velmaro$
$viewer Version ^${version//./\\.}$
$viewer Depends (^|, )libqt6core6( |,|$)
$viewer Depends (^|, )libqt6widgets6( |,|$)
$viewer Depends (^|, )libqt6sql6-sqlite( |,|$)
$viewer Homepage ^https://velmaro\.org$
$viewer Section .
$viewer Maintainer <.+@.+>
$demo Package ^velmaro-demo$
$demo Version ^${version//./\\.}$
$demo Depends (^|, )libqt6httpserver6( |,|$)
$demo Depends (^|, )fonts-dejavu-core( |,|$)
ROWS
for deb in "$viewer" "$demo"; do
    [ "$(dpkg-deb -f "$deb" Description | grep -c '^ [^ ]')" -ge 3 ] ||
        fail "$(basename "$deb") has no long description"
done

dpkg-deb -c "$viewer" | awk '{print $6}' >"$PWD/viewer.list"
dpkg-deb -c "$demo" | awk '{print $6}' >"$PWD/demo.list"
for f in bin/velmaro share/velmaro/css/velmaro.qss share/velmaro/img/velmaro.png \
    share/velmaro/sprites/shipstrip.png share/applications/velmaro.desktop \
    share/icons/hicolor/scalable/apps/velmaro.svg share/metainfo/org.velmaro.Velmaro.metainfo.xml \
    share/man/man1/velmaro.1.gz; do
    grep -qx "./usr/$f" "$PWD/viewer.list" || fail "velmaro lacks /usr/$f"
done
grep -qx ./usr/bin/velmaro-demo-server "$PWD/demo.list" || fail "velmaro-demo lacks its server"
# Each package holds only its own program, and only below /usr.
grep -v '^\./usr/' "$PWD/viewer.list" "$PWD/demo.list" | grep -vx '.*:\./' && fail "files outside /usr"
grep -q velmaro-demo-server "$PWD/viewer.list" && fail "the demo server is in velmaro"
[ "$(grep -c '^\./usr/bin/.' "$PWD/demo.list")" = 1 ] || fail "velmaro-demo holds more than its server"

mkdir -p "$root"
dpkg-deb -x "$viewer" "$root"
dpkg-deb -x "$demo" "$root"
for size in 48 64 128 256; do
    got=$(identify -format '%m %wx%h' "$root/usr/share/icons/hicolor/${size}x$size/apps/velmaro.png")
    [ "$got" = "PNG ${size}x$size" ] || fail "icon ${size}x$size is '$got'"
done
for program in velmaro velmaro-demo-server; do
    ! readelf -d "$root/usr/bin/$program" | grep -q 'R.*PATH' || fail "$program keeps a search path"
done
# No display, no platform: --version must answer all the same.
got=$(cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/velmaro" --version)
[ "$got" = "Velmaro $version" ] || fail "velmaro --version printed '$got'"
# Every option of --help is in the manual page.
page=$(gzip -dc "$root/usr/share/man/man1/velmaro.1.gz")
for option in $("$root/usr/bin/velmaro" --help | grep -o -- '--[a-z-]*' | sort -u); do
    grep -qF -- "${option//-/\\-}" <<<"$page" || fail "velmaro.1 does not name $option"
done
"$root/usr/bin/velmaro-demo-server" --help | grep -q -- --port || fail "velmaro-demo-server --help"
echo "velmaro and velmaro-demo $version: control fields, files and programs as expected"

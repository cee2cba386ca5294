#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
# Builds the Debian package, lints it, unpacks it into a scratch root, checks
# the files a desktop expects, and runs the installed program once.
set -euo pipefail
build=$1
source=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cd "$build"
cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log" || { cat "$scratch/cpack.log"; fail "cpack"; }
deb=$(ls "$scratch"/out/cvdialer_*.deb)
# A build with debug information ships it as cvdialer-dbgsym; one without, none.
dbgsym=$(ls "$scratch"/out/cvdialer-dbgsym_*.ddeb 2>/dev/null || true)
if readelf -S cvdialer | grep -q '\.debug_info'; then
    [ -n "$dbgsym" ] || fail "a build with debug information gives no -dbgsym package"
else
    [ -z "$dbgsym" ] || fail "a build without debug information gives an empty -dbgsym package"
fi
echo "packages: $(basename "$deb") ${dbgsym:+$(basename "$dbgsym")}"

# The same tree gives the same packages. The second run starts in a later
# second, so any date taken from the clock would show; it runs while the first
# package is checked, and the two are compared at the end.
started=$(date +%s)
while [ "$(date +%s)" = "$started" ]; do sleep 0.1; done
cpack -G DEB -B "$scratch/again" >"$scratch/cpack-again.log" 2>&1 &
again=$!
trap '[ -z "$again" ] || { kill "$again"; wait "$again"; } 2>/dev/null; rm -rf "$scratch"' EXIT
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$source" log -1 --format=%ct 2>/dev/null || true)}
if [ -n "$epoch" ]; then
    dated=$(dpkg-deb --fsys-tarfile "$deb" | TZ=UTC tar -tv --full-time | awk 'NR == 1 {print $4, $5}')
    [ "$dated" = "$(date -u -d "@$epoch" '+%F %T')" ] ||
        fail "the package's files are dated $dated, not by SOURCE_DATE_EPOCH or the last commit"
fi

depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for needed in libqt6core6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins libcanberra0 \
    qt6-translations-l10n; do
    grep -q "$needed" <<<"$depends" || fail "package does not depend on $needed"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
for wanted in libcanberra-pulse qt6-wayland; do
    grep -q "$wanted" <<<"$recommends" || fail "package does not recommend $wanted"
done

# Debian's own checker, at error and warning level, on both packages.
lintian --fail-on error,warning "$deb" ${dbgsym:+"$dbgsym"} || fail "lintian"
echo "lintian: no errors or warnings"

root="$scratch/root"
dpkg -x "$deb" "$root"
# Built anywhere, the same sources give the same build ID: nothing in the
# program or its symbols names the checkout or the build folder.
for file in "$root/usr/bin/cvdialer" ${dbgsym:+"$dbgsym"}; do
    if [ "${file%.ddeb}" != "$file" ]; then
        dpkg -x "$file" "$scratch/dbgsym-root"
        file=$(find "$scratch/dbgsym-root" -name '*.debug' | head -1)
    fi
    for path in "$(realpath "$source")" "$(realpath "$build")"; do
        ! grep -qaF "$path" "$file" || fail "$(basename "$file") names $path"
    done
done
echo "path-independent: no source or build path in the program or its symbols"
version=$(dpkg-deb -f "$deb" Version)
metainfo=$(ls "$root"/usr/share/metainfo/*.metainfo.xml)
for file in usr/bin/cvdialer usr/share/applications/cvdialer.desktop \
    usr/share/applications/cvdialer-config.desktop \
    usr/share/icons/hicolor/scalable/apps/cvdialer.svg usr/share/man/man1/cvdialer.1.gz \
    usr/share/icons/hicolor/48x48/apps/cvdialer.png \
    usr/share/doc/cvdialer/copyright usr/share/doc/cvdialer/changelog.gz; do
    [ -e "$root/$file" ] || fail "package lacks /$file"
done
[ ! -e "$root/usr/bin/fakemodem" ] || fail "the simulated modem is in the package"
file "$root/usr/share/icons/hicolor/48x48/apps/cvdialer.png" | grep -q 'PNG image data, 48 x 48' ||
    fail "the 48x48 icon is not a 48x48 PNG"
# journalctl -x explains every id the program writes, and nothing else.
catalog="$root/usr/lib/systemd/catalog/cvdialer.catalog"
[ -f "$catalog" ] || fail "package lacks /usr/lib/systemd/catalog/cvdialer.catalog"
journalctl --root="$root" --update-catalog
listed=$(journalctl --root="$root" --list-catalog | awk '/ cvdialer: / {print $1}' | sort)
written=$(grep -o '"[0-9a-f]\{32\}"' "$source/src/components/dialrecord.cpp" | tr -d '"' | sort)
[ "$(wc -l <<<"$written")" -eq 8 ] && [ "$listed" = "$written" ] ||
    fail "the catalog's ids ($listed) are not the record's ($written)"
desktop-file-validate "$root"/usr/share/applications/*.desktop
grep -qx 'MimeType=x-scheme-handler/tel;' "$root/usr/share/applications/cvdialer.desktop" ||
    fail "cvdialer.desktop does not handle tel:"
man --warnings -l "$root/usr/share/man/man1/cvdialer.1.gz" >/dev/null
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli: $metainfo"

# One version everywhere: the package, the changelog, the manual, the AppStream release.
zcat "$root/usr/share/doc/cvdialer/changelog.gz" | head -1 | grep -qF "cvdialer ($version)" ||
    fail "the changelog's version is not $version"
zcat "$root/usr/share/man/man1/cvdialer.1.gz" | grep -q "^\.TH .*\"cvdialer $version\"" ||
    fail "the manual's version is not $version"
grep -qF "<release version=\"$version\"" "$metainfo" || fail "the AppStream release is not $version"

# Registered as the operator would, the handler answers for tel: links.
export XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config"
export XDG_DATA_DIRS="$root/usr/share" XDG_CURRENT_DESKTOP=X-Generic
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
xdg-mime default cvdialer.desktop x-scheme-handler/tel
[ "$(xdg-mime query default x-scheme-handler/tel)" = cvdialer.desktop ] ||
    fail "xdg-mime does not name cvdialer.desktop"

wait $again || { cat "$scratch/cpack-again.log"; fail "second cpack"; }
again=
cmp "$deb" "$scratch"/again/cvdialer_*.deb || fail "two cpack runs of the same tree differ"
[ -z "$dbgsym" ] || cmp "$dbgsym" "$scratch"/again/cvdialer-dbgsym_*.ddeb ||
    fail "two cpack runs give different debug-symbol packages"
echo "reproducible: two runs byte-identical, files dated ${dated:-by the release date}"

# The installed binary: a blank command line gets its message, then status 1.
[ -n "${DISPLAY:-}" ] || { echo "SKIP: running the binary needs a display"; exit 77; }
export XDG_RUNTIME_DIR="$scratch/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
source "$source/scripts/drive.sh"
"$root/usr/bin/cvdialer" 2>"$scratch/stderr" &
pid=$!
wait_for "$scratch/stderr" 'cvdialer: Error de Linea de Comandos' 10 || true
press_return_until_exit $pid
[ "$status" -eq 1 ] || fail "installed cvdialer exited with $status, not 1"
echo "installed binary: exit 1 with '$(cat "$scratch/stderr" | grep cvdialer:)'"

#!/bin/sh
# Builds the Debian package of the configurator from a build's program folder:
#
#   make-deb.sh <version> <program folder> <package .deb>
#
# The program lives in /usr/lib/zemo-configurator (the program, zemo-cli, devices.db,
# translations, help and the marker that tells the program a package installed it: it then
# keeps settings, log, history and downloads in the user's data folder and leaves updates to the
# package manager); zemo-configurator and zemo-cli are on the PATH through /usr/bin. The menu
# entry, the icon, the manual pages, the copyright file with the licences and the notices go to
# their usual places. Depends is worked out from the binaries (dpkg-shlibdeps), with the
# packages that they load at run time without linking them: Qt's SQLite driver, the SVG
# support, Qt's own translations, and xdg-utils, which opens the help PDF.
# The package is the same bytes every time it is made from the same build (SOURCE_DATE_EPOCH,
# else the last commit's time, for every time stamp).
set -eu

if [ $# -ne 3 ]; then
    echo "usage: $0 <version> <program folder> <package .deb>" >&2
    exit 2
fi
version=$1
app=$2
out=$3
here=$(cd "$(dirname "$0")" && pwd)
package=zemo-configurator
maintainer="Zemo configurator developers <zemo-configurator@users.noreply.invalid>"

case $version in
*[!0-9.]* | .* | *. | *..* | "") echo "version must be a.b.c, not \"$version\"" >&2; exit 2 ;;
esac
for f in "$app/zemo-configurator" "$app/zemo-cli" "$app/devices.db"; do
    [ -f "$f" ] || { echo "missing $f: build the program first" >&2; exit 1; }
done
for tool in dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing (Debian's dpkg-dev)" >&2; exit 1; }
done
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$here" log -1 --format=%ct 2>/dev/null || date -r "$0" +%s)
fi
export SOURCE_DATE_EPOCH

mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT INT TERM
root=$stage/root
lib=$root/usr/lib/$package
doc=$root/usr/share/doc/$package
umask 022

mkdir -p "$lib/translations" "$lib/help" "$root/usr/bin" "$doc" "$root/usr/share/man/man1" \
    "$root/usr/share/applications" "$root/usr/share/icons/hicolor/scalable/apps" "$root/DEBIAN"
for program in zemo-configurator zemo-cli; do
    install -m 755 "$app/$program" "$lib/$program"
    strip --remove-section=.comment --remove-section=.note "$lib/$program"
    ln -s "../lib/$package/$program" "$root/usr/bin/$program"
    sed "s/@VERSION@/$version/g" "$here/man/$program.1" | gzip -9n >"$root/usr/share/man/man1/$program.1.gz"
done
install -m 644 "$app/devices.db" "$lib/devices.db"
for f in "$app"/translations/*.qm; do
    [ -f "$f" ] && install -m 644 "$f" "$lib/translations/"
done
for f in "$app"/help/*.pdf; do
    [ -f "$f" ] && install -m 644 "$f" "$lib/help/"
done
cat >"$lib/installed-by-package" <<MARK
Installed by the Debian package $package: settings, log, command history and downloads live in
the user's data folder (\$XDG_DATA_HOME/zemo-configurator, else ~/.local/share/zemo-configurator),
and new versions come from the system's package manager.
MARK
chmod 644 "$lib/installed-by-package"
install -m 644 "$here/debian/zemo-configurator.desktop" "$root/usr/share/applications/$package.desktop"
install -m 644 "$here/../src/resources/svg/logo_lable.svg" \
    "$root/usr/share/icons/hicolor/scalable/apps/$package.svg"
install -m 644 "$here/debian/copyright" "$doc/copyright"
install -m 644 "$here/NOTICES.txt" "$doc/NOTICES.txt"
{
    echo "$package ($version) unstable; urgency=medium"
    echo
    echo "  * Release $version."
    echo
    echo " -- $maintainer  $(LC_ALL=C date -u -R -d "@$SOURCE_DATE_EPOCH")"
} | gzip -9n >"$doc/changelog.gz"

# dpkg-shlibdeps reads the package's name from a debian/control of its own.
mkdir -p "$stage/src/debian"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$package" "$package" \
    >"$stage/src/debian/control"
shlibs=$(cd "$stage/src" && dpkg-shlibdeps -O --warnings=0 \
    "$lib/zemo-configurator" "$lib/zemo-cli" | sed -n 's/^shlibs:Depends=//p')
[ -n "$shlibs" ] || { echo "dpkg-shlibdeps found no libraries" >&2; exit 1; }
depends="$shlibs, libqt5sql5-sqlite, libqt5svg5, qttranslations5-l10n, xdg-utils"

size=$(du -k -s --apparent-size "$root/usr" | cut -f1)
cat >"$root/DEBIAN/control" <<CONTROL
Package: $package
Version: $version
Architecture: $(dpkg --print-architecture)
Maintainer: $maintainer
Installed-Size: $size
Depends: $depends
Section: electronics
Priority: optional
Description: configurator for model-220 RS-485 readers
 A desktop program for service engineers who set up model-220 readers
 through a USB-to-RS-485 converter, or behind a remote terminal through a
 configuration server: it finds the readers on the bus, reads and writes
 their settings, keeps configurations in XML files, watches counter and
 uptime, offers a console for raw commands and updates reader firmware.
 .
 zemo-cli does the same work from the shell, for scripts and batch work.
CONTROL
(cd "$root" && find usr -type f | LC_ALL=C sort | xargs md5sum) >"$root/DEBIAN/md5sums"
chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

dpkg-deb --root-owner-group -Zxz --build "$root" "$out.part" >/dev/null
mv -f "$out.part" "$out"
echo "$out: $(wc -c <"$out") bytes"

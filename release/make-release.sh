#!/bin/sh
# Packs a release of the configurator from a build's program folder.
#
#   make-release.sh dist   <version> <program folder> <executable> <archive .tar.gz>
#   make-release.sh update <version> <program folder> <executable> <archive .zip>
#
# dist: one folder "zemo-configurator-<version>" that is the program folder (the executable,
# the command-line configurator zemo-cli, devices.db, translations, help, empty firmware and
# updates) with install-menu-entry.sh, the menu icon, README.txt and the licences (LICENSE, the
# font's LICENSE-ptsans.txt, NOTICES.txt); an engineer unpacks it anywhere and runs it there.
# update: the same files below "program/" and the update script startupd.sh at the root, with
# the signed manifest (zemo-update-pack, key from ZEMO_SIGNING_KEY or the repository's test
# key): the archive the update server offers.
#
# Only these files are packed: the settings, logs and history that a trial run left in the
# build's program folder stay out. The programs are packed without their debugging information.
# The archives are the same bytes every time they are made from the same build: every file
# carries the time of the sources (SOURCE_DATE_EPOCH, else the last commit), names are sorted,
# owners are 0 and gzip records no name or time.
set -eu

if [ $# -ne 5 ] || { [ "$1" != dist ] && [ "$1" != update ]; }; then
    echo "usage: $0 dist|update <version> <program folder> <executable> <archive>" >&2
    exit 2
fi
kind=$1
version=$2
app=$3
exe=$4
out=$5
here=$(cd "$(dirname "$0")" && pwd)
icon=$here/../src/resources/svg/logo_lable.svg

case $version in
*[!0-9.]* | .* | *. | *..* | "") echo "version must be a.b.c, not \"$version\"" >&2; exit 2 ;;
esac
for f in "$exe" "$app/zemo-cli" "$app/devices.db"; do
    [ -f "$f" ] || { echo "missing $f: build the program first" >&2; exit 1; }
done

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$here" log -1 --format=%ct 2>/dev/null || date -r "$0" +%s)
fi
case $SOURCE_DATE_EPOCH in
'' | *[!0-9]*) echo "SOURCE_DATE_EPOCH must be seconds, not \"$SOURCE_DATE_EPOCH\"" >&2; exit 2 ;;
esac
export SOURCE_DATE_EPOCH

mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT INT TERM

folder=$stage/zemo-configurator-$version
mkdir -p "$folder/translations" "$folder/help" "$folder/firmware" "$folder/updates"
cp "$exe" "$folder/zemo-configurator"
cp "$app/zemo-cli" "$folder/zemo-cli"
if command -v strip >/dev/null 2>&1; then
    strip --remove-section=.comment --remove-section=.note \
        "$folder/zemo-configurator" "$folder/zemo-cli"
fi
cp "$app/devices.db" "$folder/"
for f in "$app"/translations/*.qm "$app"/help/*.pdf; do
    if [ -f "$f" ]; then
        cp "$f" "$folder/$(basename "$(dirname "$f")")/"
    fi
done
cp "$here/install-menu-entry.sh" "$folder/"
cp "$icon" "$folder/zemo-configurator.svg"
sed "s/@VERSION@/$version/g" "$here/README.txt" >"$folder/README.txt"
cp "$here/../LICENSE" "$folder/LICENSE"
cp "$here/../src/resources/font/LICENSE-ptsans.txt" "$folder/LICENSE-ptsans.txt"
cp "$here/NOTICES.txt" "$folder/NOTICES.txt"
chmod -R u=rwX,go=rX "$folder"
chmod 755 "$folder/zemo-configurator" "$folder/zemo-cli" "$folder/install-menu-entry.sh"
find "$folder" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

if [ "$kind" = dist ]; then
    tar -C "$stage" --sort=name --owner=0 --group=0 --numeric-owner --format=gnu \
        --mtime="@$SOURCE_DATE_EPOCH" -cf "$stage/folder.tar" "zemo-configurator-$version"
    gzip -9n <"$stage/folder.tar" >"$out.part"
else
    mkdir "$stage/archive"
    mv "$folder" "$stage/archive/program"
    cp "$here/startupd.sh" "$stage/archive/startupd.sh"
    chmod 644 "$stage/archive/startupd.sh"
    # Signed with the key ZEMO_SIGNING_KEY names, else the repository's test key (which only a
    # build from the repository trusts); the same files give the same bytes.
    key=${ZEMO_SIGNING_KEY:-$here/../keys/update-test-key.pem}
    packer=${ZEMO_UPDATE_PACK:-$app/../tools-bin/zemo-update-pack}
    [ -x "$packer" ] || { echo "missing $packer: build zemo-update-pack first" >&2; exit 1; }
    "$packer" --key "$key" --out "$out.part" "$stage/archive"
fi
mv -f "$out.part" "$out"
echo "$out: $(wc -c <"$out") bytes"

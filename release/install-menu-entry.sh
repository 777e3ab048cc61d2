#!/bin/sh
# Adds "Zemo configurator" to the desktop menu of the current user: a freedesktop menu entry in
# $XDG_DATA_HOME/applications (~/.local/share/applications) that starts the configurator of this
# folder, with its icon. Run it again after moving the folder; --remove takes the entry out.
set -eu

apps=${XDG_DATA_HOME:-$HOME/.local/share}/applications
entry=$apps/zemo-configurator.desktop

if [ "${1:-}" = "--remove" ]; then
    rm -f "$entry"
    echo "Removed $entry"
    exit 0
fi
if [ $# -gt 0 ]; then
    echo "usage: $0 [--remove]" >&2
    exit 2
fi

here=$(cd "$(dirname "$0")" && pwd)
if [ ! -x "$here/zemo-configurator" ]; then
    echo "No zemo-configurator beside this script in $here" >&2
    exit 1
fi
case $here in
*'
'*)
    echo "A menu entry cannot name a folder whose path has a line break: $here" >&2
    exit 1
    ;;
esac

# A value of the entry file keeps a back slash only written twice.
value() {
    printf '%s' "$1" | sed 's/\\/\\\\/g'
}
# The program in Exec is quoted: inside the double quotes \ " ` and $ take a back slash, and
# the value's own rule doubles every back slash once more; % begins a field code, %% is a %.
program() {
    printf '%s' "$1" | sed -e 's/[\\"`$]/\\&/g' -e 's/\\/\\\\/g' -e 's/%/%%/g'
}

mkdir -p "$apps"
cat >"$entry.part" <<EOF
[Desktop Entry]
Type=Application
Name=Zemo configurator
Name[ru]=Конфигуратор Zemo
GenericName=RS-485 reader configurator
Comment=Reads and writes the settings of model-220 RS-485 readers
Comment[ru]=Чтение и запись настроек считывателей модели 220 по RS-485
Exec="$(program "$here/zemo-configurator")"
Path=$(value "$here")
Icon=$(value "$here/zemo-configurator.svg")
Terminal=false
Categories=Utility;
EOF
mv -f "$entry.part" "$entry"
# Menus that cache the entries see the new one at once; without the tool they look on their own.
if command -v update-desktop-database >/dev/null 2>&1; then
    update-desktop-database "$apps" >/dev/null 2>&1 || true
fi
echo "Menu entry: $entry"

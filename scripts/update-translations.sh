#!/bin/sh
# Brings translations/en.ts up to date with the translatable texts of the program (tr() in the
# sources under src/ and the texts of the .ui forms) and the texts of the device database that
# the interface shows (from data/devices.sql, context "DeviceDatabase", collected by
# scripts/database-texts.py). Existing translations are kept; new texts
# appear as unfinished entries to translate (Qt Linguist, or by editing the file), texts no longer
# used are dropped. Line numbers are not recorded, so the file changes only when texts do.
#
#   scripts/update-translations.sh          update translations/en.ts
#   scripts/update-translations.sh --check  only list texts without a finished translation
set -eu
cd "$(dirname "$0")/.."

lupdate=$(command -v lupdate || echo /usr/lib/qt5/bin/lupdate)
python=/usr/bin/python3
[ -x "$python" ] || python=python3

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$python" scripts/database-texts.py data/devices.sql >"$tmp/devices-db-texts.cpp"

if [ "${1:-}" = "--check" ]; then
    cp translations/en.ts "$tmp/en.ts"
    "$lupdate" -silent -locations none -no-obsolete -target-language en src \
        "$tmp/devices-db-texts.cpp" -ts "$tmp/en.ts"
    missing=$(grep -c 'type="unfinished"' "$tmp/en.ts" || true)
    if [ "$missing" -gt 0 ]; then
        echo "$missing text(s) without an English translation:"
        grep -B3 'type="unfinished"' "$tmp/en.ts" | sed -n 's/.*<source>\(.*\)<\/source>.*/  \1/p'
        exit 1
    fi
    echo "Every text has an English translation."
    exit 0
fi

"$lupdate" -locations none -no-obsolete -target-language en src "$tmp/devices-db-texts.cpp" \
    -ts translations/en.ts

# The update script of a configurator update archive (Linux). Run by /bin/sh.
#
# The configurator unpacks the archive into its "updates" folder, puts a line in front of this
# script that changes to the program folder, starts it as
#
#     /bin/sh updates/startupd.sh <process id of the configurator> [its switches]
#
# and ends. The script then
#   1. waits until that process has ended (at most 60 s; if it is still running, nothing is
#      touched);
#   2. copies every file of updates/program beside its place in the program folder, as
#      "<name>.upd-new"; when one copy fails (full disk, no permission), it removes the copies
#      and replaces nothing;
#   3. moves the copies over the old files, keeping each old file as "<name>.upd-old" until all
#      are in place; a failed move puts every old file back;
#   4. starts the configurator with the same switches: the new one, or the old one when the
#      update failed, so that the engineer is never left without a program.
#
# Only files that the archive brings are written, and nothing is deleted: settings.conf,
# cmd_history.txt, the log, the firmware and updates folders and whatever else the engineer keeps
# in the program folder stay as they are. An archive that brought one of the engineer's files
# would not overwrite it either. Everything the script does is written to updates/startupd.log.

set -u
new=updates/program
log=updates/startupd.log
files=updates/startupd.files
moved=updates/startupd.moved
exec 2>>"$log"

note() {
    printf '%s %s\n' "$(date '+%Y-%m-%d %H:%M:%S')" "$*" >>"$log"
}

# True while the process runs; a process that has ended but was not yet reaped by its parent
# (state Z) counts as ended.
running() {
    [ -r "/proc/$1/status" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status"
}

start() {
    ./zemo-configurator "$@" </dev/null >/dev/null 2>&1 &
    note "started $(pwd)/zemo-configurator${*:+ $*}, process $!"
}

# Every staged copy is removed; old files moved aside so far are put back.
undo() {
    if [ -f "$moved" ]; then
        while IFS= read -r f; do
            if [ -e "$f.upd-old" ] || [ -L "$f.upd-old" ]; then
                mv -f -- "$f.upd-old" "$f"
            else
                rm -f -- "$f"
            fi
        done <"$moved"
    fi
    while IFS= read -r f; do
        rm -f -- "$f.upd-new"
    done <"$files"
}

pid=${1:-}
[ $# -gt 0 ] && shift
note "update of $(pwd) from $new"

if [ -n "$pid" ]; then
    waited=0
    while running "$pid"; do
        if [ "$waited" -ge 600 ]; then
            note "the configurator (process $pid) is still running after 60 s: nothing replaced"
            exit 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
fi

if [ ! -f "$new/zemo-configurator" ]; then
    note "the archive brought no program: nothing replaced"
    start "$@"
    exit 1
fi

# The files to install, relative to the program folder; the engineer's files are left out.
(cd "$new" && find . -type f) | sed 's|^\./||' \
    | grep -v -E '^(settings\.conf|cmd_history\.txt|zemo2xx\.log|firmware/.*|updates/.*)$' \
    | LC_ALL=C sort >"$files"
rm -f -- "$moved"

failed=""
while IFS= read -r f; do
    if ! mkdir -p -- "$(dirname -- "$f")" || ! rm -f -- "$f.upd-new" \
        || ! cp -- "$new/$f" "$f.upd-new"; then
        failed=$f
        break
    fi
done <"$files"
if [ -n "$failed" ]; then
    undo
    note "cannot copy $failed: nothing replaced, the old configurator starts again"
    start "$@"
    exit 1
fi
chmod a+x zemo-configurator.upd-new

while IFS= read -r f; do
    rm -rf -- "$f.upd-old"
    if [ -e "$f" ] || [ -L "$f" ]; then
        if ! mv -f -- "$f" "$f.upd-old"; then
            failed=$f
            break
        fi
    fi
    printf '%s\n' "$f" >>"$moved"
    if ! mv -f -- "$f.upd-new" "$f"; then
        failed=$f
        break
    fi
done <"$files"
if [ -n "$failed" ]; then
    undo
    note "cannot replace $failed: the old files are back, the old configurator starts again"
    start "$@"
    exit 1
fi

while IFS= read -r f; do
    rm -rf -- "$f.upd-old"
done <"$files"
note "installed $(wc -l <"$files") files"
start "$@"

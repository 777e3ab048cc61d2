#!/bin/sh
# What a distribution checks before it takes a release, on a built tree:
#
#   scripts/check-release.sh [build folder]      (default: build)
#
# 1. The programs of the release folder are hardened: hardening-check (devscripts) passes for
#    zemo-configurator and zemo-cli (stack protector, FORTIFY, full RELRO with BIND_NOW, PIE).
# 2. No build date and no build folder inside them: no __DATE__ or __TIME__ in the sources, and
#    neither the path of the sources nor that of the build appears in the programs.
# 3. zemo-cli loads no widget, GUI, OpenGL or X11 library.
# 4. make dist and make deb give the same bytes when run twice.
# 5. lintian reports no error on the package (the warnings it gives are printed), the menu entry
#    passes desktop-file-validate, and shellcheck finds nothing in the shipped shell scripts.
# Prints one line per check and "N passed, N failed" at the end; exits 1 when one failed.
set -u
cd "$(dirname "$0")/.." || exit 2
source_dir=$(pwd)
build=${1:-build}
[ -d "$build" ] || { echo "no build folder $build: run make build first" >&2; exit 2; }
build_dir=$(cd "$build" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
passed=0
failed=0

check() {
    name=$1
    shift
    if "$@" >"$work/out" 2>&1; then
        passed=$((passed + 1))
        echo "PASS $name"
    else
        failed=$((failed + 1))
        echo "FAIL $name"
        sed 's/^/    /' "$work/out"
    fi
}

version=$(sed -n 's/^project(zemo-configurator VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
dist_dir=$build_dir/dist
archive=$dist_dir/zemo-configurator-$version-linux-$(uname -m).tar.gz
deb=$dist_dir/zemo-configurator_${version}_$(dpkg --print-architecture).deb

cmake --build "$build_dir" -j2 --target dist >"$work/dist1.log" 2>&1 \
    || { cat "$work/dist1.log"; exit 1; }
cmake --build "$build_dir" -j2 --target deb >"$work/deb1.log" 2>&1 \
    || { cat "$work/deb1.log"; exit 1; }
cp "$archive" "$work/first.tar.gz"
cp "$deb" "$work/first.deb"
mkdir "$work/folder"
tar -xzf "$archive" -C "$work/folder"
folder=$work/folder/zemo-configurator-$version

# Control-flow integrity (x86 IBT and shadow stack) is not asked: a program has it only when
# every object it links has it, and Debian 12's C start files do not (its own /usr/bin/ls fails
# that line the same way).
hardened() {
    hardening-check --nocfprotection "$folder/zemo-configurator" "$folder/zemo-cli"
}
check "hardening-check: zemo-configurator, zemo-cli" hardened

no_date_macros() {
    ! grep -rn -e '__DATE__' -e '__TIME__' -e '__TIMESTAMP__' src tools
}
check "no __DATE__, __TIME__ or __TIMESTAMP__ in the sources" no_date_macros

no_build_paths() {
    status=0
    for program in "$folder/zemo-configurator" "$folder/zemo-cli" "$build_dir/app/zemo-cli"; do
        for path in "$source_dir" "$build_dir"; do
            if grep -q -F -e "$path" "$program"; then
                echo "$program holds $path"
                status=1
            fi
        done
    done
    return $status
}
check "no source or build path inside the programs" no_build_paths

no_gui_libraries() {
    libraries=$(ldd "$folder/zemo-cli") || return 1
    if echo "$libraries" | grep -E 'libQt5(Gui|Widgets)|libGL|libEGL|libX11|libxcb'; then
        return 1
    fi
    return 0
}
check "zemo-cli loads no widget, GUI, OpenGL or X11 library" no_gui_libraries

dist_twice() {
    cmake --build "$build_dir" -j2 --target dist >"$work/dist2.log" 2>&1 || return 1
    cmp "$work/first.tar.gz" "$archive"
}
check "make dist twice: the same bytes" dist_twice

deb_twice() {
    cmake --build "$build_dir" -j2 --target deb >"$work/deb2.log" 2>&1 || return 1
    cmp "$work/first.deb" "$deb"
}
check "make deb twice: the same bytes" deb_twice

# Warnings kept (see the README's "Releases"): none is expected; lintian's own list follows.
lintian_clean() {
    lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1
    cat "$work/lintian.txt"
    ! grep -q '^E: ' "$work/lintian.txt"
}
check "lintian: no errors" lintian_clean
grep -v '^E: ' "$work/lintian.txt" | sed 's/^/    /'

menu_entry() {
    desktop-file-validate release/debian/zemo-configurator.desktop
}
check "desktop-file-validate: the package's menu entry" menu_entry

scripts_clean() {
    shellcheck -s sh release/*.sh scripts/check-release.sh
}
check "shellcheck: the release's shell scripts" scripts_clean

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

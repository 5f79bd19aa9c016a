#!/usr/bin/env bash
# The release tier: builds the releases as `make dist` does (scripts/make_dist.sh) and uses
# them as a user would.
#
#   Debian package: lintian reports no error; `apt-get install ./dist/keymix_*.deb` installs it
#   with its runtime libraries; the keymix found on PATH renders the example to the bytes of
#   the build's keymix; `man keymix` lists every option the program takes; `apt-get purge`
#   leaves none of its files behind.
#   Windows zips: each holds its files and a licence text for every library of its build;
#   the commands of relink/README.txt link the very programs shipped; unpacked into a folder
#   whose path holds a blank and Japanese characters, both programs run from there under Wine: keymix.exe renders the example
#   that came in the zip to the bytes of the Linux keymix, keymixw.exe converts it in its
#   window like keymix.exe (tests/gui/run.sh, one case). 32-bit runs need wine32.
#
#   scripts/dist_tier.sh [deb] [win64] [win32]      (default: all three)
#
# Skips itself, saying why, when not run as root (it installs a package) or when a tool is
# missing, and when a keymix package is installed already, which it would remove.
# Environment: JOBS, BUILD (native build folder, default build), CMAKE_FLAGS.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
ROOT=$PWD
NATIVE_BUILD=${BUILD:-build}
export JOBS=${JOBS:-2}

. scripts/apt_retry.sh
. scripts/wine_env.sh

log() { echo "dist tier: $*"; }

if [ "$(id -u)" != 0 ]; then
    log "SKIPPED: not root (it installs and removes the Debian package with apt-get)"
    exit 0
fi
missing=""
for tool in lintian apt-get man cpack dpkg-shlibdeps fakeroot pandoc zip unzip cmp; do
    command -v "$tool" >/dev/null 2>&1 || missing+="$tool "
done
if [ -n "$missing" ]; then
    log "SKIPPED, this machine lacks: $missing"
    log "install them with: sudo apt-get install lintian man-db dpkg-dev fakeroot pandoc zip unzip"
    exit 0
fi
if dpkg -s keymix 2>/dev/null | grep -q '^Status: install'; then
    log "SKIPPED: a keymix package is installed already, and this tier would remove it"
    exit 0
fi

failures=()
fail() {
    failures+=("$1")
    log "FAILED: $1"
}

wanted=" ${*:-deb win64 win32} "
# The zips need the Windows tier's tools, as their runs do.
windows_missing=$(wine_env_missing)
for tool in x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix dpkg-source autoreconf; do
    command -v "$tool" >/dev/null 2>&1 || windows_missing+="$tool "
done
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then windows_missing+="locale:ja_JP.UTF-8 "; fi
if [ -n "$windows_missing" ]; then
    log "WARNING: the Windows zips SKIPPED, this machine lacks: $windows_missing" \
        "(sudo scripts/install_windows_deps.sh)"
    wanted=" deb "
fi
# shellcheck disable=SC2086
BUILD=$NATIVE_BUILD scripts/make_dist.sh $wanted || fail "make dist"
version=$(sed -n 's/^project(keymix VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
work=$(mktemp -d "${TMPDIR:-/tmp}/keymix-dist.XXXXXX") || exit 1
trap 'wine_env_stop; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# The example as the Linux build renders it: what every installed program must write.
mkdir -p "$work/reference"
cp examples/*.bms examples/*.wav "$work/reference/"
(cd "$work/reference" && "$ROOT/$NATIVE_BUILD/console/keymix" -o demo.wav demo.bms >/dev/null 2>&1) ||
    fail "the build's keymix does not render the example"

test_deb() {
    local deb=dist/keymix_${version}_amd64.deb
    [ -f "$deb" ] || { fail "no $deb"; return; }
    log "lintian $deb"
    lintian --fail-on error "$deb" 2>&1 | grep -v '^running with root' | sed 's/^/    /'
    [ "${PIPESTATUS[0]}" = 0 ] || fail "lintian reports errors"

    log "apt-get install ./$deb"
    apt_install "$ROOT/$deb" >"$work/install.log" 2>&1 ||
        { tail -n 20 "$work/install.log"; fail "apt-get install ./$deb"; return; }
    local files
    files=$(dpkg -L keymix)
    local found
    found=$(hash -r && command -v keymix)
    [ "$found" = /usr/bin/keymix ] || fail "keymix on PATH is '$found', not /usr/bin/keymix"
    mkdir -p "$work/installed"
    cp examples/*.bms examples/*.wav "$work/installed/"
    if (cd "$work/installed" && keymix -o demo.wav demo.bms >/dev/null 2>&1) &&
        cmp -s "$work/reference/demo.wav" "$work/installed/demo.wav"; then
        log "the installed keymix renders the example as the build does"
    else
        fail "the installed keymix does not render the example as the build does"
    fi
    tests/scripts/man_page_test.sh /usr/bin/keymix | sed 's/^/    man keymix: /'
    [ "${PIPESTATUS[0]}" = 0 ] || fail "man keymix does not list every option"

    log "apt-get purge keymix"
    apt-get purge -y -o DPkg::Lock::Timeout=300 keymix >"$work/purge.log" 2>&1 ||
        { tail -n 20 "$work/purge.log"; fail "apt-get purge keymix"; return; }
    local left="" file
    dpkg -s keymix >/dev/null 2>&1 && left+="the package's record "
    while read -r file; do
        # Folders that other packages share stay.
        [ -d "$file" ] && [ "$file" != /usr/share/doc/keymix ] && continue
        [ -e "$file" ] && left+="$file "
    done <<<"$files"
    [ -z "$left" ] || fail "apt-get purge left behind: $left"
}

# The files every zip holds besides the licence texts.
ZIP_FILES="keymix.exe keymixw.exe README.html README.txt LICENSE.txt examples/demo.bms
relink/README.txt"

test_zip() {
    local bits=$1 name=keymix-$version-win$1
    local zip=dist/$name.zip
    [ -f "$zip" ] || { fail "no $zip"; return; }
    local place="$work/キー ミックス/解凍 先"
    mkdir -p "$place"
    unzip -q "$zip" -d "$place" || { fail "$zip does not unpack"; return; }
    local folder="$place/$name" file pkg
    for file in $ZIP_FILES; do
        [ -s "$folder/$file" ] || fail "$zip has no $file"
    done
    while read -r pkg _; do
        [ -s "$folder/licences/$pkg.txt" ] || fail "$zip has no licence text of $pkg"
    done < <(tail -n +2 "build-win$bits/deps/.keymix-deps")
    grep -q 'src="data:image/png;base64,' "$folder/README.html" ||
        fail "$zip: README.html holds no picture"
    if grep -Eq '(src|href)="(docs|examples)/' "$folder/README.html"; then
        fail "$zip: README.html points at files beside it"
    fi

    # The LGPL's promise: the commands of relink/README.txt link the very programs shipped.
    local command relinked=0
    cp -r "$folder" "$work/relink"
    rm -f "$work/relink/keymix.exe" "$work/relink/keymixw.exe"
    while read -r command; do
        (cd "$work/relink/relink" && eval "$command") || fail "$zip: the relink command fails"
        relinked=$((relinked + 1))
    done < <(tr -d '\r' <"$folder/relink/README.txt" | grep -- '-g++-posix ')
    [ $relinked = 2 ] || fail "$zip: relink/README.txt has $relinked link commands, not 2"
    for file in keymix.exe keymixw.exe; do
        cmp -s "$folder/$file" "$work/relink/$file" ||
            fail "$zip: relinking from relink/ does not give $file"
    done
    rm -rf "$work/relink"

    if [ "$bits" = 32 ] && [ -n "$(wine_env_win32_missing)" ]; then
        log "WARNING: 32-bit Wine runs SKIPPED: $(wine_env_win32_missing)"
        return
    fi
    log "running $name from '$folder' under Wine"
    wine_env_start "win$bits" || { fail "no win$bits Wine environment"; return; }
    if (cd "$folder/examples" && timeout 120 wine ../keymix.exe -o demo.wav demo.bms \
        >/dev/null 2>&1) && cmp -s "$work/reference/demo.wav" "$folder/examples/demo.wav"; then
        log "$name: keymix.exe renders the example as the Linux keymix does"
    else
        fail "$name: keymix.exe does not render the example as the Linux keymix does"
    fi
    if KEYMIXW_EXE="$folder/keymixw.exe" KEYMIX_EXE="$folder/keymix.exe" \
        KEYMIX_EXAMPLES="$folder/examples" timeout 600 tests/gui/run.sh "build-win$bits" \
        --gtest_filter=KeymixwTest.ConvertsLikeTheConsoleProgram >"$work/gui.log" 2>&1 &&
        grep -q '\[  PASSED  \] 1 test' "$work/gui.log"; then
        log "$name: keymixw.exe converts the example as keymix.exe does"
    else
        tail -n 30 "$work/gui.log"
        fail "$name: keymixw.exe does not convert the example as keymix.exe does"
    fi
    wine_env_stop
}

[[ $wanted == *" deb "* ]] && test_deb
[[ $wanted == *" win64 "* ]] && test_zip 64
[[ $wanted == *" win32 "* ]] && test_zip 32

if [ ${#failures[@]} -gt 0 ]; then
    log "${#failures[@]} failure(s):"
    printf '  %s\n' "${failures[@]}"
    exit 1
fi
log "passed"

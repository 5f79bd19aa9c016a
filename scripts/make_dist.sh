#!/usr/bin/env bash
# Builds the releases into dist/, each named with the project's version (CMake's
# project(VERSION)):
#
#   keymix_VERSION_amd64.deb      cpack in the native build folder (cmake/package.cmake)
#   keymix-VERSION-win64.zip      keymix.exe and keymixw.exe for 64-bit Windows,
#   keymix-VERSION-win32.zip      and for 32-bit Windows
#
# Each zip holds one folder keymix-VERSION-winNN with the two programs, the README as one
# HTML page (pictures inside) and as text, LICENSE.txt, the example chart, licences/ with
# the copyright and licence texts of every library linked into the programs, and relink/:
# what the LGPL asks of a program that links its libraries statically. The programs are
# linked from relink/ by the one-line commands of relink/README.txt, so those commands are
# proven by every release.
#
#   scripts/make_dist.sh [deb] [win64] [win32]      (default: all three)
#
# Reuses the build folders of the test tiers, configured as they configure them, so only
# what is out of date is built: BUILD (native, default build), build-win64 and build-win32
# with their audio libraries (scripts/build_windows_deps.sh, whose package list and
# downloaded Debian sources in build-windeps/ give the licence texts).
# Makes what it can; exits 1 naming what it could not make and why.
# Environment: JOBS (default 2), BUILD, CMAKE_FLAGS (as the Makefile passes them).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
ROOT=$PWD
JOBS=${JOBS:-2}
NATIVE_BUILD=${BUILD:-build}
CMAKE_FLAGS=${CMAKE_FLAGS:--DCMAKE_BUILD_TYPE=RelWithDebInfo}
DIST=$ROOT/dist
SOURCES=${KEYMIX_DEPS_SOURCES:-$ROOT/build-windeps}

log() { echo "dist: $*"; }
failures=()
fail() {
    failures+=("$1")
    log "FAILED: $1"
}

# Every file of a release carries the time of the last commit, so that two runs on one
# commit give the same archive.
epoch=$(git log -1 --format=%ct 2>/dev/null || date +%s)

# crlf <file>: the text with Windows line ends, for Notepad.
crlf() { sed 's/\r$//; s/$/\r/' "$1"; }

make_deb() {
    local missing=""
    for tool in cmake cpack perl gzip dpkg-shlibdeps fakeroot; do
        command -v "$tool" >/dev/null 2>&1 || missing+="$tool "
    done
    if [ -n "$missing" ]; then
        fail "the Debian package: this machine lacks $missing(sudo apt-get install dpkg-dev fakeroot)"
        return
    fi
    log "building the Debian package in $NATIVE_BUILD"
    mkdir -p "$NATIVE_BUILD"
    local logfile=$NATIVE_BUILD/dist.log
    # shellcheck disable=SC2086
    cmake -S . -B "$NATIVE_BUILD" $CMAKE_FLAGS >"$logfile" 2>&1 &&
        cmake --build "$NATIVE_BUILD" -j "$JOBS" --target keymix keymix_manual >>"$logfile" 2>&1 &&
        (cd "$NATIVE_BUILD" && rm -f package/*.deb && cpack -G DEB) >>"$logfile" 2>&1 ||
        { tail -n 30 "$logfile"; fail "the Debian package (log: $logfile)"; return; }
    cp "$NATIVE_BUILD/package/keymix_${version}_amd64.deb" "$DIST/" ||
        fail "cpack made no keymix_${version}_amd64.deb"
}

# The Windows build folder as scripts/windows_tier.sh makes it: the static audio libraries,
# then the two programs.
build_windows() {
    local bits=$1 triple=$2 dir=build-win$1
    mkdir -p "$dir"
    JOBS=$JOBS scripts/build_windows_deps.sh "${triple%%-*}" "$dir/deps" >"$dir/dist.log" 2>&1 &&
        [ -f "$dir/deps/.keymix-deps" ] &&
        cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$triple.cmake" \
            -DKEYMIX_WINDOWS_DEPS="$ROOT/$dir/deps" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            >>"$dir/dist.log" 2>&1 || { tail -n 30 "$dir/dist.log"; return 1; }
    # The programs link the libraries by name: relink them when the prefix changed.
    local stamp=$dir/deps/.keymix-deps linked=$dir/.keymix-deps-linked
    if ! cmp -s "$stamp" "$linked"; then
        find "$dir" -path "$dir/deps*" -prune -o -name '*.exe' -type f -print0 | xargs -0 rm -f
    fi
    cmake --build "$dir" -j "$JOBS" --target keymix keymixw >>"$dir/dist.log" 2>&1 ||
        { tail -n 30 "$dir/dist.log"; return 1; }
    cp "$stamp" "$linked"
}

# source_file <package> <version> <kind>: the downloaded Debian source file of that kind
# (dsc, orig, debian), fetched again when it is missing.
source_file() {
    local pkg=$1 version=$2 kind=$3 pattern
    case $kind in
    dsc) pattern="${pkg}_${version}.dsc" ;;
    orig) pattern="${pkg}_${version%-*}.orig.tar.*[!c]" ;;
    debian) pattern="${pkg}_${version}.debian.tar.*" ;;
    esac
    # shellcheck disable=SC2086
    if ! ls $SOURCES/$pattern >/dev/null 2>&1 && [ "$kind" = dsc ]; then
        mkdir -p "$SOURCES"
        (cd "$SOURCES" && apt-get source --download-only "$pkg=$version") >/dev/null 2>&1
    fi
    # shellcheck disable=SC2086
    ls $SOURCES/$pattern 2>/dev/null | head -n 1
}

# licence_of <package> <version> <output>: Debian's copyright file of the package and the
# licence files at the top of its upstream source, which hold the full texts that the
# copyright file only names. True when the licence of the package as a whole (its copyright
# file's "Files: *", else its upstream licence files) is or offers one of the LGPL.
licence_of() {
    local pkg=$1 version=$2 out=$3 dsc orig debian name
    dsc=$(source_file "$pkg" "$version" dsc)
    orig=$(source_file "$pkg" "$version" orig)
    debian=$(source_file "$pkg" "$version" debian)
    [ -n "$dsc" ] && [ -n "$orig" ] || { log "no Debian source of $pkg $version in $SOURCES"; return 2; }
    {
        echo "$pkg $version (Debian's source package), linked into the programs"
        if [ -n "$debian" ]; then
            printf '\n==== debian/copyright ====\n\n'
            tar -xOf "$debian" debian/copyright
        fi
        while read -r name; do
            printf '\n==== %s ====\n\n' "${name#*/}"
            tar -xOf "$orig" "$name"
        done < <(tar -tf "$orig" | grep -iE '^[^/]+/(copying|licen[cs]e|copyright)[^/]*$' | sort)
    } >"$out.lf" || return 2
    crlf "$out.lf" >"$out" && rm -f "$out.lf"
    if [ -n "$debian" ]; then
        local whole
        whole=$(tar -xOf "$debian" debian/copyright |
            awk '/^Files: \*$/ {on = 1} on && /^License:/ && !done {print; done = 1}')
        [[ $whole == *LGPL* ]]
    else
        grep -q 'Lesser General Public' "$out"
    fi
}

# What the toolchain puts into every program: the C and C++ runtimes and winpthreads,
# from the Debian packages that hold them.
toolchain_packages() {
    local triple=$1 file
    for file in libstdc++.a libgcc.a libgcc_eh.a libwinpthread.a libmingwex.a crt2.o; do
        file=$("$triple-g++-posix" -print-file-name="$file")
        dpkg -S "$(readlink -f "$file")" 2>/dev/null | cut -d: -f1
    done | sort -u
}

# The link line of a program as CMake runs it (the last line of its link.txt, with the
# response files and the archive of its objects opened up), its files copied flat into
# relink/ and named by their plain names, as one line that runs inside relink/ and writes
# the program beside it. Prints the line.
relink_line() {
    local dir=$1 target=$2 exe=$3 stage=$4 word name path line=""
    local from info words
    from=$dir/$(dirname "$target")
    info=CMakeFiles/$(basename "$target").dir
    words=$(grep -v '^\s*$' "$from/$info/link.txt" | tail -n 1)
    # Its objects instead of the archive CMake packs them into; the response files' words.
    words=${words/-Wl,--whole-archive $info\/objects.a -Wl,--no-whole-archive/$(cat "$from/$info/objects1")}
    for word in $words; do
        case $word in @*) cat "$from/${word#@}" ;; *) echo "$word" ;; esac
    done >"$stage/.words"
    # shellcheck disable=SC2013
    for word in $(cat "$stage/.words"); do
        case $word in
        */*-g++-posix) line="$(basename "$word")" ;;
        -g | -Wl,--out-implib,*) ;;
        -L*) line+=" -L." ;;
        -l*)
            name=${word#-l}
            if [ -f "$dir/deps/lib/lib$name.a" ]; then
                cp "$dir/deps/lib/lib$name.a" "$stage/" || return 1
            fi
            line+=" $word"
            ;;
        "$exe") line+=" ../$exe" ;;
        *.a | *.obj | *.res)
            path=$word
            case $path in /*) ;; *) path=$from/$word ;; esac
            name=$(basename "$word")
            cp "$path" "$stage/$name" || return 1
            line+=" $name"
            ;;
        *) line+=" $word" ;;
        esac
    done
    rm -f "$stage/.words"
    # Stripped as shipped, and without the time of linking, so that the line gives the very
    # bytes of the shipped program.
    echo "$line -s -Wl,--no-insert-timestamp"
}

# Keeps one of each set of licence files with the same text.
drop_duplicate_licences() {
    local file seen=""
    for file in "$1"/*.txt; do
        local sum
        sum=$(sha256sum <"$file" | cut -d' ' -f1)
        if [[ $seen == *"$sum"* ]]; then rm "$file"; else seen+="$sum "; fi
    done
}

make_zip() {
    local bits=$1 triple=$2 dir=build-win$1
    local name=keymix-$version-win$bits
    local stage=$ROOT/$dir/dist/$name
    if ! build_windows "$bits" "$triple"; then
        fail "$name.zip: $dir does not build"
        return
    fi
    log "assembling $name.zip"
    rm -rf "$ROOT/$dir/dist"
    mkdir -p "$stage/licences" "$stage/relink/source" "$stage/examples"

    # relink/: the objects of keymix, the static libraries, and the commands.
    local keymix_line keymixw_line
    keymix_line=$(relink_line "$ROOT/$dir" console/keymix keymix.exe "$stage/relink") &&
        keymixw_line=$(relink_line "$ROOT/$dir" gui/app/keymixw keymixw.exe "$stage/relink") ||
        { fail "$name.zip: cannot gather the link of the programs"; return; }
    "$triple-strip" --strip-debug "$stage"/relink/*.a "$stage"/relink/*.obj 2>/dev/null
    (cd "$stage/relink" && eval "$keymix_line" && eval "$keymixw_line") ||
        { fail "$name.zip: the programs do not link from relink/"; return; }

    # licences/: every library in the programs; the sources of the LGPL ones.
    local pkg pkg_version status lgpl=""
    while read -r pkg pkg_version; do
        licence_of "$pkg" "$pkg_version" "$stage/licences/$pkg.txt"
        status=$?
        if [ $status = 2 ]; then
            fail "$name.zip: no licence text of $pkg"
            return
        fi
        if [ $status = 0 ]; then
            lgpl+="$pkg "
            cp "$(source_file "$pkg" "$pkg_version" dsc)" "$(source_file "$pkg" "$pkg_version" orig)" \
                "$stage/relink/source/"
            local debian
            debian=$(source_file "$pkg" "$pkg_version" debian)
            [ -n "$debian" ] && cp "$debian" "$stage/relink/source/"
        fi
    done < <(tail -n +2 "$dir/deps/.keymix-deps")
    local json
    json=$(sed -n 's/^KEYMIX_NLOHMANN_JSON:[A-Z]*=//p' "$dir/CMakeCache.txt")
    for pkg in $( (dpkg -S "$json" 2>/dev/null | cut -d: -f1; toolchain_packages "$triple") | sort -u); do
        [ -f "/usr/share/doc/$pkg/copyright" ] ||
            { fail "$name.zip: no /usr/share/doc/$pkg/copyright"; return; }
        crlf "/usr/share/doc/$pkg/copyright" >"$stage/licences/$pkg.txt"
    done
    # The C and C++ compilers' packages carry one and the same text.
    drop_duplicate_licences "$stage/licences"

    crlf LICENSE >"$stage/LICENSE.txt"
    { printf '\xef\xbb\xbf'; crlf README.md; } >"$stage/README.txt"
    pandoc -f gfm -t html5 --standalone --self-contained --metadata pagetitle="keymix $version" \
        --metadata lang=en --resource-path="$ROOT" -o "$stage/README.html" README.md ||
        { fail "$name.zip: pandoc could not write README.html"; return; }
    cp examples/*.bms examples/*.bmson examples/*.wav "$stage/examples/"
    {
        echo "keymix.exe and keymixw.exe link these LGPL libraries statically: ${lgpl% }."
        echo "Their Debian source packages are in source/, with their licences in ../licences/."
        echo "To run the programs with a changed library, build it as a static library with the"
        echo "mingw-w64 cross compiler ($triple-g++-posix, Debian 12), put it here in"
        echo "place of the file of the same name, and link the programs again from this folder"
        echo "(another mingw-w64 g++ with POSIX threads, as MSYS2's, takes the place of the first"
        echo "word):"
        echo
        echo "$keymix_line"
        echo
        echo "$keymixw_line"
    } >"$stage/relink/README.txt.lf"
    crlf "$stage/relink/README.txt.lf" >"$stage/relink/README.txt" && rm "$stage/relink/README.txt.lf"

    find "$stage" -exec touch -h -d "@$epoch" {} +
    rm -f "$DIST/$name.zip"
    (cd "$ROOT/$dir/dist" && find "$name" -print | LC_ALL=C sort | zip -q -X -9 "$DIST/$name.zip" -@) ||
        fail "$name.zip: zip failed"
}

mkdir -p "$DIST"
# The version of project(VERSION), the one place it is written.
version=$(sed -n 's/^project(keymix VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { log "no VERSION in project() of CMakeLists.txt"; exit 1; }
log "version $version"

# What to make: the arguments, else everything.
wanted=" ${*:-deb win64 win32} "
[[ $wanted == *" deb "* ]] && make_deb
if [[ $wanted == *" win"* ]]; then
    missing=""
    for tool in x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix pandoc zip dpkg-source \
        autoreconf; do
        command -v "$tool" >/dev/null 2>&1 || missing+="$tool "
    done
    if [ -n "$missing" ]; then
        fail "the Windows zips: this machine lacks $missing(sudo scripts/install_windows_deps.sh; sudo apt-get install pandoc zip)"
    else
        [[ $wanted == *" win64 "* ]] && make_zip 64 x86_64-w64-mingw32
        [[ $wanted == *" win32 "* ]] && make_zip 32 i686-w64-mingw32
    fi
fi

ls -l "$DIST"/keymix[-_]"$version"[-_]*.{deb,zip} 2>/dev/null | sed 's/^/dist: /'
if [ ${#failures[@]} -gt 0 ]; then
    log "${#failures[@]} release(s) not made:"
    printf '  %s\n' "${failures[@]}"
    exit 1
fi

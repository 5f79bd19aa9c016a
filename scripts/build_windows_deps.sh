#!/usr/bin/env bash
# Cross-builds the libraries that the Windows programs link statically:
# libsndfile with FLAC, Ogg Vorbis, Opus and MP3 (libogg, libvorbis, flac, opus,
# mpg123, lame), libvorbisfile and libopusfile, libsoxr and libebur128, and
# libarchive with zlib, bzip2 and liblzma for song packages (.zip, .7z, .rar). The
# sources are Debian's source packages (apt-get source, with Debian's patches),
# downloaded once into build-windeps/ and shared by both architectures; the
# libraries land in one prefix per architecture, build-win64/deps or
# build-win32/deps, which the Windows configure hands to the toolchain file as
# KEYMIX_WINDOWS_DEPS.
#
#   scripts/build_windows_deps.sh x86_64|i686 [prefix]
#
# A prefix built by this same script with the same toolchain file is reused
# as it is. Skips itself, saying so, when the cross compiler is missing.
# Build logs stay in <prefix>.work/logs; a failing step prints its log's tail.
# Environment: JOBS (default 2), KEYMIX_DEPS_SOURCES (download folder).
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=${JOBS:-2}
. scripts/apt_retry.sh

log() { echo "windows deps: $*"; }
die() {
    log "FAILED: $*"
    exit 1
}

case ${1:-} in
x86_64) bits=64 ;;
i686) bits=32 ;;
*)
    echo "usage: $0 x86_64|i686 [prefix]" >&2
    exit 2
    ;;
esac
arch=$1
triple=$arch-w64-mingw32
PREFIX=${2:-$ROOT/build-win$bits/deps}
case $PREFIX in /*) ;; *) PREFIX=$ROOT/$PREFIX ;; esac
SOURCES=${KEYMIX_DEPS_SOURCES:-$ROOT/build-windeps}
WORK=$PREFIX.work
LOGS=$WORK/logs
TOOLCHAIN=$ROOT/cmake/toolchain-$triple.cmake
STAMP=$PREFIX/.keymix-deps

# In build order: each library finds the ones before it in the prefix.
PACKAGES=(libogg libvorbis flac opus opusfile mpg123 lame libsndfile libsoxr libebur128 zlib bzip2
    xz-utils libarchive)

if ! command -v "$triple-gcc-posix" >/dev/null 2>&1; then
    log "SKIPPED for $arch: no $triple-gcc-posix (sudo scripts/install_windows_deps.sh)"
    exit 0
fi

# What the prefix is made of: this script and the toolchain file.
recipe=$(cat "$ROOT/scripts/build_windows_deps.sh" "$TOOLCHAIN" "$ROOT/cmake/mingw-toolchain.cmake" | sha256sum | cut -d' ' -f1)
if [ -f "$STAMP" ] && [ "$(head -n1 "$STAMP")" = "$recipe" ]; then
    log "reusing ${PREFIX#"$ROOT"/} ($(tail -n +2 "$STAMP" | paste -sd ' '))"
    exit 0
fi

missing=""
for tool in cmake make pkg-config apt-get dpkg-source autoreconf libtoolize patch sha256sum; do
    command -v "$tool" >/dev/null 2>&1 || missing+="$tool "
done
[ -z "$missing" ] || die "this machine lacks: $missing(see .ci/run for the packages)"

rm -rf "$PREFIX" "$WORK"
mkdir -p "$PREFIX" "$LOGS" "$SOURCES" || die "cannot create $PREFIX"

# run <log name> <command...>: runs a step with its output in the log;
# on failure prints the log's tail and stops.
run() {
    local name=$1
    shift
    if ! "$@" >>"$LOGS/$name.log" 2>&1; then
        log "FAILED: $name: $*"
        tail -n 40 "$LOGS/$name.log" | sed 's/^/    /'
        log "whole log: $LOGS/$name.log"
        exit 1
    fi
}

# Source packages come from the deb-src twin of the configured Debian archive.
ensure_deb_src() {
    if apt-cache showsrc libsndfile 2>/dev/null | grep -q '^Package:'; then return; fi
    local list=/etc/apt/sources.list.d/debian.sources
    [ -f "$list" ] || die "no deb-src entries and no $list to copy them from"
    [ "$(id -u)" = 0 ] || die "no deb-src entries: run once as root to add them"
    log "adding deb-src entries (/etc/apt/sources.list.d/debian-src.sources)"
    sed 's/^Types: deb$/Types: deb-src/' "$list" >/etc/apt/sources.list.d/debian-src.sources
    # An index that fails to arrive (a mirror in mid-sync) need not be one of
    # the source indexes: fetch() tells when a source is really missing.
    apt_update >>"$LOGS/apt.log" 2>&1
    grep '^WARNING' "$LOGS/apt.log" | while read -r line; do log "$line"; done
}

# The newest downloaded file of a package matching a pattern, or nothing.
cached() { ls -v "$SOURCES"/$1 2>/dev/null | tail -n 1; }

fetch() {
    local pkg=$1
    if [ -n "$(cached "${pkg}_*.dsc")" ] && [ -n "$(cached "${pkg}_*.orig.tar.*[!c]")" ]; then
        return
    fi
    ensure_deb_src
    # apt-get fails when a detached signature or Debian's patch tarball is
    # missing on the mirror; unpack() copes with what did arrive.
    (cd "$SOURCES" && apt-get source --download-only "$pkg") >>"$LOGS/download.log" 2>&1
    [ -n "$(cached "${pkg}_*.dsc")" ] && [ -n "$(cached "${pkg}_*.orig.tar.*[!c]")" ] ||
        { tail -n 20 "$LOGS/download.log"; die "could not download the source of $pkg"; }
}

# unpack <package>: the source tree with Debian's patches in $WORK/src/<package>.
unpack() {
    local pkg=$1 dsc dir=$WORK/src/$1
    dsc=$(cached "${pkg}_*.dsc")
    rm -rf "$dir" "$WORK/build/$pkg"
    mkdir -p "$WORK/src"
    if dpkg-source --no-copy -x "$dsc" "$dir" >>"$LOGS/$pkg.log" 2>&1; then return; fi
    # Not every file of the .dsc arrived: check what did against its
    # checksums and apply Debian's patch series by hand.
    rm -rf "$dir"
    local name sum
    while read -r sum name; do
        [ -f "$SOURCES/$name" ] || continue
        echo "$sum  $SOURCES/$name" | sha256sum -c --quiet >>"$LOGS/$pkg.log" 2>&1 ||
            die "$name does not match its checksum in $(basename "$dsc")"
    done < <(awk '/^Checksums-Sha256:/ {on=1; next} /^[^ ]/ {on=0} on {print $1, $3}' "$dsc")
    local orig debian
    orig=$(cached "${pkg}_*.orig.tar.*[!c]")
    debian=$(cached "${pkg}_*.debian.tar.*")
    mkdir -p "$dir"
    run "$pkg" tar -xf "$orig" -C "$dir" --strip-components=1
    if [ -n "$debian" ]; then
        run "$pkg" tar -xf "$debian" -C "$dir"
        local patch
        if [ -f "$dir/debian/patches/series" ]; then
            while read -r patch _; do
                case $patch in '' | '#'*) continue ;; esac
                run "$pkg" patch -d "$dir" -p1 -s -i "debian/patches/$patch"
            done <"$dir/debian/patches/series"
        fi
    else
        log "$pkg: Debian's patch tarball is not on the mirror, building the upstream source"
    fi
}

version_of() {
    local dsc
    dsc=$(basename "$(cached "${1}_*.dsc")" .dsc)
    echo "${dsc#*_}"
}

CFLAGS="-O2"
[ "$arch" = i686 ] && CFLAGS+=" -msse2 -mfpmath=sse"

# cmake_build <package> <source subfolder> <cmake options...>
cmake_build() {
    local pkg=$1 sub=$2
    shift 2
    run "$pkg" cmake -S "$WORK/src/$pkg/$sub" -B "$WORK/build/$pkg" -G "Unix Makefiles" \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DKEYMIX_WINDOWS_DEPS="$PREFIX" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$CFLAGS -DNDEBUG" \
        -DCMAKE_CXX_FLAGS_RELEASE="$CFLAGS -DNDEBUG" \
        -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_INSTALL_LIBDIR=lib \
        -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF "$@"
    run "$pkg" cmake --build "$WORK/build/$pkg" -j "$JOBS"
    run "$pkg" cmake --install "$WORK/build/$pkg"
}

# autotools_build <package> <configure options...>
autotools_build() {
    local pkg=$1 dir=$WORK/src/$1
    shift
    run "$pkg" sh -c "cd '$dir' && ./configure --host=$triple --prefix='$PREFIX' \
        --disable-shared --enable-static CC=$triple-gcc-posix CFLAGS='$CFLAGS' $*"
    run "$pkg" make -C "$dir" -j "$JOBS"
    run "$pkg" make -C "$dir" install
}

build_libogg() { cmake_build libogg . -DINSTALL_DOCS=OFF; }
# With the flags its own configure uses on Linux, which the Linux packages are
# built with: otherwise a few Ogg Vorbis samples round the other way than in
# the Linux build.
build_libvorbis() { cmake_build libvorbis . -DCMAKE_C_FLAGS="-ffast-math -fsigned-char"; }
build_flac() {
    # MinGW's stack protector needs libssp, which a static link would drag in.
    cmake_build flac . -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF \
        -DBUILD_DOCS=OFF -DINSTALL_MANPAGES=OFF -DWITH_OGG=ON \
        -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF
}
build_opus() {
    # The release tarball lacks files its CMake build includes: autotools.
    # Its configure adds -D_FORTIFY_SOURCE=2 unless the macro is set; with it the
    # library would need libssp.
    autotools_build opus --disable-doc --disable-extra-programs --disable-stack-protector \
        CPPFLAGS=-D_FORTIFY_SOURCE=0
}
build_opusfile() {
    # Only the decoder: its HTTP streaming would bring in OpenSSL and Winsock.
    # It finds libogg and opus through the prefix's .pc files, never the Linux ones.
    autotools_build opusfile --disable-http --disable-examples --disable-doc \
        PKG_CONFIG=pkg-config PKG_CONFIG_LIBDIR="'$PREFIX/lib/pkgconfig'" PKG_CONFIG_PATH=
    # libopusurl, built all the same, is of no use without HTTP.
    rm -f "$PREFIX/lib/libopusurl.a" "$PREFIX/lib/pkgconfig/opusurl.pc"
}
build_mpg123() {
    cmake_build mpg123 ports/cmake -DBUILD_PROGRAMS=OFF -DBUILD_LIBOUT123=OFF
}
build_lame() {
    # Debian's patches touch configure.in and Makefile.am.
    run lame sh -c "cd '$WORK/src/lame' && autoreconf -fi"
    autotools_build lame --disable-frontend --disable-decoder
}
build_libsndfile() {
    # FLAC__NO_DLL: the FLAC headers declare the static library's functions.
    cmake_build libsndfile . -DCMAKE_C_FLAGS=-DFLAC__NO_DLL \
        -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DENABLE_CPACK=OFF -DINSTALL_MANPAGES=OFF \
        -DENABLE_EXTERNAL_LIBS=ON -DENABLE_MPEG=ON -DENABLE_EXPERIMENTAL=OFF \
        -DCMAKE_DISABLE_FIND_PACKAGE_Speex=ON -DCMAKE_DISABLE_FIND_PACKAGE_SQLite3=ON
}
build_libsoxr() {
    cmake_build libsoxr . -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DWITH_OPENMP=OFF \
        -DWITH_LSR_BINDINGS=OFF
}
build_libebur128() { cmake_build libebur128 .; }
build_zlib() {
    run zlib sh -c "cd '$WORK/src/zlib' && CHOST=$triple CC=$triple-gcc-posix CFLAGS='$CFLAGS' \
        ./configure --static --prefix='$PREFIX'"
    run zlib make -C "$WORK/src/zlib" -j "$JOBS" libz.a
    run zlib make -C "$WORK/src/zlib" install
}
build_bzip2() {
    # Its Makefile builds programs and a shared library besides: only the library, by hand.
    local dir=$WORK/src/bzip2
    run bzip2 make -C "$dir" -j "$JOBS" libbz2.a CC="$triple-gcc-posix" AR="$triple-ar" \
        RANLIB="$triple-ranlib" CFLAGS="$CFLAGS -D_FILE_OFFSET_BITS=64"
    mkdir -p "$PREFIX/include" "$PREFIX/lib"
    cp "$dir/bzlib.h" "$PREFIX/include/" && cp "$dir/libbz2.a" "$PREFIX/lib/" ||
        die "cannot install bzip2"
}
build_xz-utils() {
    autotools_build xz-utils --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo \
        --disable-lzma-links --disable-scripts --disable-doc --disable-nls
}
build_libarchive() {
    # Debian's patches touch configure.ac. Only the readers' decompressors: no crypto, XML,
    # zstd, lz4, ACL or xattr libraries, and no programs. LZMA_API_STATIC: the lzma.h
    # declarations of the static library.
    run libarchive sh -c "cd '$WORK/src/libarchive' && autoreconf -fi"
    autotools_build libarchive --without-openssl --without-nettle --without-mbedtls \
        --without-cng --without-xml2 --without-expat --without-zstd --without-lz4 \
        --without-lzo2 --without-libb2 --without-iconv --disable-acl --disable-xattr \
        --disable-bsdtar --disable-bsdcpio --disable-bsdcat --with-zlib --with-bz2lib \
        --with-lzma "CPPFLAGS='-I$PREFIX/include -DLZMA_API_STATIC'" "LDFLAGS='-L$PREFIX/lib'" \
        PKG_CONFIG=pkg-config PKG_CONFIG_LIBDIR="'$PREFIX/lib/pkgconfig'" PKG_CONFIG_PATH=
}

# The .pc files as a static link needs them, and relative to their folder so
# the prefix can move.
fix_pkgconfig() {
    local pc=$PREFIX/lib/pkgconfig
    sed -i 's/^Cflags: .*/& -DFLAC__NO_DLL/' "$pc/flac.pc"
    sed -i 's/^Libs\.private:.*/Libs.private: -lshlwapi -lm/' "$pc/libmpg123.pc"
    [ -f "$pc/lame.pc" ] && sed -i 's/^Libs: .*/& -lm/' "$pc/lame.pc"
    # libsoxr installs no .pc file on Windows.
    [ -f "$pc/soxr.pc" ] || cat >"$pc/soxr.pc" <<EOF
prefix=$PREFIX
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: soxr
Description: High quality, one-dimensional sample-rate conversion library
Version: $(version_of libsoxr | sed 's/-.*//')
Libs: -L\${libdir} -lsoxr
Libs.private: -lm
Cflags: -I\${includedir}
EOF
    sed -i "s|^prefix=.*|prefix=\${pcfiledir}/../..|; s|$PREFIX|\${prefix}|g" "$pc"/*.pc
}

start=$SECONDS
log "building the libraries for $arch into ${PREFIX#"$ROOT"/}"
for pkg in "${PACKAGES[@]}"; do fetch "$pkg"; done
for pkg in "${PACKAGES[@]}"; do
    t=$SECONDS
    unpack "$pkg"
    "build_$pkg"
    log "  $pkg $(version_of "$pkg") ($((SECONDS - t)) s)"
done
fix_pkgconfig
rm -rf "$PREFIX/share/doc" "$PREFIX/share/man" "$PREFIX/bin" "$PREFIX"/lib/*.la
ls "$PREFIX"/lib/*.dll.a >/dev/null 2>&1 && die "a DLL import library was installed"

{
    echo "$recipe"
    for pkg in "${PACKAGES[@]}"; do echo "$pkg $(version_of "$pkg")"; done
} >"$STAMP.tmp" && mv "$STAMP.tmp" "$STAMP"
rm -rf "$WORK"
log "done in $((SECONDS - start)) s"

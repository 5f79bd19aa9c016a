#!/usr/bin/env bash
# Installs what the Windows test tier needs on Debian 12 (run as root): the
# mingw-w64 cross compilers, 64- and 32-bit Wine, Xvfb and the X tools for the
# window tests, a Japanese font, the ja_JP.UTF-8 locale that gives Wine its
# Shift-JIS code page, and what cross-builds the audio libraries.
#
# A mirror in the middle of a sync does not stop it (scripts/apt_retry.sh), and
# neither does a 32-bit Wine that cannot be installed: the tier then skips its
# 32-bit Wine runs, and this script says so.
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive
. scripts/apt_retry.sh

dpkg --add-architecture i386
# scripts/build_windows_deps.sh takes the audio libraries' sources from the
# deb-src twin of the configured Debian archive.
if [ -f /etc/apt/sources.list.d/debian.sources ] &&
    [ ! -f /etc/apt/sources.list.d/debian-src.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        >/etc/apt/sources.list.d/debian-src.sources
fi
apt_update
apt_install \
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 \
    wine wine64 fonts-wine \
    xvfb x11-utils xdotool imagemagick libx11-dev fonts-ipafont-gothic \
    googletest locales \
    dpkg-dev autoconf automake libtool make patch pkg-config xz-utils bzip2
# On its own: its i386 dependencies must have the very versions of their amd64
# twins, which a mirror whose i386 index lags behind cannot offer.
if ! apt_install wine32:i386; then
    why=$(apt_failure_reason)
    [ "$APT_UPDATE_INCOMPLETE" = 1 ] && why+="; apt-get update did not get every index"
    echo "WARNING: wine32:i386 cannot be installed ($why);" \
        "the Windows tier will skip its 32-bit Wine runs"
fi

# Every wine prefix must be made after wine32 is in place; the tier makes
# fresh ones on each run.
sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
locale-gen

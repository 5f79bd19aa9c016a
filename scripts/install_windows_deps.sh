#!/usr/bin/env bash
# Installs what the Windows test tier needs on Debian 12 (run as root): the
# mingw-w64 cross compilers, 64- and 32-bit Wine, Xvfb and the X tools for the
# window tests, a Japanese font, and the ja_JP.UTF-8 locale that gives Wine
# its Shift-JIS code page.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

dpkg --add-architecture i386
apt-get update
apt-get install -y --no-install-recommends \
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 \
    wine wine64 wine32:i386 fonts-wine \
    xvfb x11-utils xdotool imagemagick libx11-dev fonts-ipafont-gothic \
    googletest locales

# Every wine prefix must be made after wine32 is in place; the tier makes
# fresh ones on each run.
sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
locale-gen

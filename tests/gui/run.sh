#!/usr/bin/env bash
# The window tests: keymixw.exe in a real window under Wine inside Xvfb, driven
# from outside (tests/gui/keymixw_e2e_test.cpp). Screenshots of the window land
# in <build>/gui-e2e/.
#
#   tests/gui/run.sh [windows build folder]    (default: build-win64)
#
# Builds what is missing: keymixw.exe, keymix.exe and the driver in the Windows
# build folder, the drop tool and the test program natively in <build>/gui-e2e.
# Uses the Wine environment of the caller when WINEPREFIX and DISPLAY are set
# (as scripts/windows_tier.sh does), else starts its own with
# scripts/wine_env.sh. Extra arguments after the folder go to the test program
# (for example --gtest_filter=...). KEYMIXW_EXE, KEYMIX_EXE and KEYMIX_EXAMPLES, when set,
# name other programs and another example folder to test.
set -uo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
BUILD=${1:-build-win64}
shift $(($# > 0 ? 1 : 0))
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
JOBS=${JOBS:-2}
OUT="$BUILD/gui-e2e"

log() { echo "window tests: $*"; }

missing=""
for tool in wine Xvfb import cc c++; do
    command -v "$tool" >/dev/null 2>&1 || missing+="$tool "
done
[ -f /usr/include/X11/Xlib.h ] || missing+="libx11-dev "
[ -f /usr/include/gtest/gtest.h ] || missing+="libgtest-dev "
if [ -n "$missing" ]; then
    log "SKIPPED, this machine lacks: $missing (see scripts/install_windows_deps.sh)"
    exit 0
fi
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    log "no Windows build in $BUILD (configure it with a toolchain file from cmake/)"
    exit 1
fi

log "building keymixw.exe, keymix.exe and the driver in $BUILD"
cmake --build "$BUILD" -j "$JOBS" --target keymixw keymix gui_driver >"$BUILD/gui-e2e.build.log" 2>&1 ||
    { cat "$BUILD/gui-e2e.build.log"; log "FAILED to build"; exit 1; }
mkdir -p "$OUT"
rm -f "$OUT"/*.png
log "building the drop tool and the test program in $OUT"
cc -std=c11 -O1 -Wall -Wextra -o "$OUT/xdnd_drop" tests/gui/xdnd_drop.c -lX11 || exit 1
c++ -std=c++17 -O1 -Wall -Wextra -I "$ROOT" -o "$OUT/keymixw_e2e_test" \
    tests/gui/keymixw_e2e_test.cpp tests/gui/harness.cpp -lgtest -lgtest_main -pthread || exit 1

if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
    . scripts/wine_env.sh
    arch=win64
    grep -q 'CMAKE_SYSTEM_PROCESSOR:.*i.86' "$BUILD/CMakeCache.txt" 2>/dev/null && arch=win32
    trap wine_env_stop EXIT
    trap 'exit 130' INT TERM
    log "starting a $arch Wine environment"
    wine_env_start "$arch" || { log "FAILED: no Wine environment"; exit 1; }
fi

export KEYMIXW_EXE="${KEYMIXW_EXE:-$BUILD/gui/app/keymixw.exe}"
export KEYMIX_EXE="${KEYMIX_EXE:-$BUILD/console/keymix.exe}"
export KEYMIX_GUI_DRIVER="$BUILD/tests/gui/gui_driver.exe"
export KEYMIX_GUI_XDND="$OUT/xdnd_drop"
export KEYMIX_GUI_SHOTS="$OUT"
export KEYMIX_EXAMPLES="${KEYMIX_EXAMPLES:-$ROOT/examples}"
export KEYMIX_TEST_DATA="$ROOT/tests/wav/data"
export KEYMIX_DECODE_DATA="$ROOT/tests/decode/data"
"$OUT/keymixw_e2e_test" "$@"
status=$?
log "screenshots in $OUT: $(cd "$OUT" && ls -- *.png 2>/dev/null | tr '\n' ' ')"
exit $status

#!/usr/bin/env bash
# A headless, unattended Wine for tests: its own temporary prefix, Xvfb on a
# free display, the Japanese locale (ANSI code page 932), no crash dialog, Wine
# drawing its own window frames, and a persistent wineserver so that Wine's
# background services do not hold the tests' output pipes open.
#
# Run a command inside a fresh environment, removed afterwards:
#   scripts/wine_env.sh [--win32] [--keep] -- command [args...]
# (--win32 makes a 32-bit prefix; --keep leaves the prefix for inspection.)
# The exit status is the command's, or 125 when the environment cannot start.
#
# Or source it and manage the environment yourself:
#   . scripts/wine_env.sh
#   wine_env_start win64 || exit 1   # exports WINEPREFIX, DISPLAY, LANG, ...
#   wine my_test.exe
#   wine_env_stop
#
# Every wait is bounded: WINE_ENV_BOOT_TIMEOUT seconds (default 180) for
# booting the prefix, 20 seconds for Xvfb to start.

WINE_ENV_BOOT_TIMEOUT=${WINE_ENV_BOOT_TIMEOUT:-180}

wine_env_log() { echo "wine_env: $*" >&2; }

# Tools the environment needs; prints the missing ones.
wine_env_missing() {
    local tool
    for tool in wine wineserver wineboot Xvfb timeout; do
        command -v "$tool" >/dev/null 2>&1 || printf '%s ' "$tool"
    done
}

# Why this machine cannot run 32-bit Windows programs, or nothing when it can
# (or cannot tell). Debian's wine64 runs only 64-bit ones; the 32-bit loader
# comes with wine32:i386.
wine_env_win32_missing() {
    if [ -x /usr/lib/wine/wine64 ] && [ ! -x /usr/lib/wine/wine ]; then
        echo "wine32 is not installed (no /usr/lib/wine/wine;" \
            "sudo dpkg --add-architecture i386 && sudo apt-get install wine32:i386)"
    fi
}

# Starts Xvfb on a display it picks itself and exports DISPLAY.
wine_env_start_xvfb() {
    local fifo="$WINE_ENV_ROOT/displayfd" number=""
    mkfifo "$fifo" || return 1
    Xvfb -displayfd 7 -screen 0 1024x768x24 -nolisten tcp 7>"$fifo" >/dev/null 2>&1 &
    WINE_ENV_XVFB_PID=$!
    # The display number arrives on the fifo once the server accepts clients.
    read -r -t 20 number <"$fifo" || true
    rm -f "$fifo"
    if [ -z "$number" ]; then
        wine_env_log "Xvfb did not start"
        return 1
    fi
    export DISPLAY=":$number"
}

# Creates and boots a prefix (win64 or win32) and exports what Wine needs.
wine_env_start() {
    local arch=${1:-win64}
    local missing
    missing=$(wine_env_missing)
    if [ -n "$missing" ]; then
        wine_env_log "missing tools: $missing"
        return 1
    fi
    if [ "$arch" = win32 ]; then
        missing=$(wine_env_win32_missing)
        if [ -n "$missing" ]; then
            wine_env_log "no win32 environment: $missing"
            return 1
        fi
    fi
    if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
        wine_env_log "the ja_JP.UTF-8 locale is not generated"
        return 1
    fi
    WINE_ENV_ROOT=$(mktemp -d "${TMPDIR:-/tmp}/keymix-wine.XXXXXX") || return 1
    export WINEPREFIX="$WINE_ENV_ROOT/pfx"
    export WINEARCH="$arch"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export LANG=ja_JP.UTF-8
    export LC_ALL=ja_JP.UTF-8
    unset WINESERVER
    wine_env_start_xvfb || { wine_env_stop; return 1; }

    # A persistent wineserver from the start: Wine's background services then
    # never hold the tests' output pipes open, and every later start reuses it.
    mkdir -p "$WINEPREFIX"
    wineserver -p >/dev/null 2>&1 </dev/null
    if ! timeout "$WINE_ENV_BOOT_TIMEOUT" wineboot -i >/dev/null 2>&1 </dev/null; then
        wine_env_log "wineboot -i failed or timed out ($arch)"
        wine_env_stop
        return 1
    fi
    cat >"$WINE_ENV_ROOT/settings.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
EOF
    if ! timeout 60 wine regedit /S "$(winepath_of "$WINE_ENV_ROOT/settings.reg")" \
        >/dev/null 2>&1 </dev/null; then
        wine_env_log "could not write the registry settings"
        wine_env_stop
        return 1
    fi
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    wine_env_log "ready: $arch prefix $WINEPREFIX on display $DISPLAY"
}

# The Windows path of a Linux path (drive Z: maps the Linux root).
winepath_of() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

# Stops the wineserver and Xvfb and removes the prefix (unless WINE_ENV_KEEP=1).
wine_env_stop() {
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        timeout 30 wineserver -k >/dev/null 2>&1
        timeout 30 wineserver -w >/dev/null 2>&1
    fi
    if [ -n "${WINE_ENV_XVFB_PID:-}" ]; then
        kill "$WINE_ENV_XVFB_PID" 2>/dev/null
        wait "$WINE_ENV_XVFB_PID" 2>/dev/null
        WINE_ENV_XVFB_PID=""
    fi
    if [ -n "${WINE_ENV_ROOT:-}" ]; then
        if [ "${WINE_ENV_KEEP:-0}" = 1 ]; then
            wine_env_log "kept $WINE_ENV_ROOT"
        else
            rm -rf "$WINE_ENV_ROOT"
        fi
        WINE_ENV_ROOT=""
    fi
    return 0
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -u
    arch=win64
    while [ $# -gt 0 ]; do
        case "$1" in
            --win32) arch=win32 ;;
            --win64) arch=win64 ;;
            --keep) WINE_ENV_KEEP=1 ;;
            --) shift; break ;;
            *) break ;;
        esac
        shift
    done
    if [ $# -eq 0 ]; then
        echo "usage: $0 [--win32] [--keep] -- command [args...]" >&2
        exit 2
    fi
    trap wine_env_stop EXIT
    trap 'exit 130' INT TERM
    wine_env_start "$arch" || exit 125
    "$@"
    exit $?
fi

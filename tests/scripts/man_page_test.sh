#!/usr/bin/env bash
# The manual page lists every option keymix takes, and none that it does not take. An option
# is a letter whose command line, with or without a value, does not end in the usage line; the
# page's options are the entries of its OPTIONS section as man shows them.
#
#   tests/scripts/man_page_test.sh KEYMIX [MANUAL]    (without MANUAL: `man keymix`)
#
# Exits 77 (skipped) when man is not installed.
set -u
keymix=$1
manual=${2:-}
command -v man >/dev/null 2>&1 || { echo "SKIPPED: no man (sudo apt-get install man-db)"; exit 77; }
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

# takes <letter>: prints the letter when keymix takes it as an option.
takes() {
    local value
    # -a first: -f belongs to it, and a folder that is not there fails without the usage line.
    for value in "" 1 1,1 bgm; do
        # shellcheck disable=SC2086
        if ! "$keymix" -a "-$1" $value "$work/none" </dev/null 2>&1 | grep -q '^Usage: keymix'; then
            echo "$1"
            return
        fi
    done
}
for letter in {a..z} {A..Z}; do takes "$letter" >"$work/$letter.taken" & done
wait
taken=$(cat "$work"/*.taken | sort | tr '\n' ' ')

if [ -n "$manual" ]; then page=$(MANWIDTH=100 man -l "$manual" 2>&1); else page=$(MANWIDTH=100 man keymix 2>&1); fi
listed=$(sed 's/.\x08//g' <<<"$page" | sed -n '/^OPTIONS/,/^[^ ]/p' |
    sed -n 's/^       -\([A-Za-z]\)\( .*\)\?$/\1/p' | sort | tr '\n' ' ')
if [ "$taken" != "$listed" ]; then
    echo "keymix takes the options: $taken"
    echo "the manual page lists:    $listed"
    exit 1
fi
[ -n "$taken" ] || { echo "no option found"; exit 1; }
echo "the manual page lists every option: $taken"

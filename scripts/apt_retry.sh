#!/usr/bin/env bash
# apt-get for the install scripts, tolerant of a Debian mirror in the middle of
# a sync, where one index or one package has the wrong size for a while.
#
#   . scripts/apt_retry.sh
#   apt_update                   # never fails
#   apt_install PACKAGE...       # fails only when apt-get cannot install them
#
# apt_update tries `apt-get update` up to APT_RETRY_TRIES times (default 4),
# APT_RETRY_PAUSE seconds apart (default 15), and then goes on with the
# indexes that arrived. apt_install (-y --no-install-recommends) tries again
# after the same pause while the failure is a download or a held lock, and
# fails at once when the packages cannot be installed at all; the output of
# its last try stays in APT_LAST_OUTPUT, and apt_failure_reason says in one
# line why it failed. APT_UPDATE_INCOMPLETE tells whether apt_update
# went on without every index.
# shellcheck disable=SC2034  # variables for the scripts that source this one

APT_RETRY_TRIES=${APT_RETRY_TRIES:-4}
APT_RETRY_PAUSE=${APT_RETRY_PAUSE:-15}
APT_LAST_OUTPUT=""
# 1 once apt_update went on without every index.
APT_UPDATE_INCOMPLETE=0

# apt_retry_note <try> <what failed>
apt_retry_note() { echo "$2 (try $1 of $APT_RETRY_TRIES); again in $APT_RETRY_PAUSE s" >&2; }

apt_update() {
    local try
    for ((try = 1; try <= APT_RETRY_TRIES; try++)); do
        apt-get update && return 0
        if [ "$try" -lt "$APT_RETRY_TRIES" ]; then
            apt_retry_note "$try" "apt-get update failed"
            sleep "$APT_RETRY_PAUSE"
        fi
    done
    APT_UPDATE_INCOMPLETE=1
    echo "WARNING: apt-get update failed $APT_RETRY_TRIES times;" \
        "going on with the indexes that arrived" >&2
    return 0
}

apt_install() {
    local try status log
    log=$(mktemp "${TMPDIR:-/tmp}/apt-install.XXXXXX") || return 1
    for ((try = 1; try <= APT_RETRY_TRIES; try++)); do
        # The status travels in the output, so that neither pipefail nor set -e
        # of the caller decides what happens to a failing try.
        { apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=300 "$@" 2>&1 ||
            echo "apt_install: apt-get exited with status $?"; } | tee "$log"
        APT_LAST_OUTPUT=$(cat "$log")
        status=$(sed -n 's/^apt_install: apt-get exited with status //p' "$log")
        [ -z "$status" ] && break
        # What a later try can cure: a file that did not download, or another
        # apt holding the lock.
        grep -qE '^E: (Failed to fetch|Unable to fetch|Could not get lock|Unable to acquire)' \
            "$log" || break
        if [ "$try" -lt "$APT_RETRY_TRIES" ]; then
            apt_retry_note "$try" "apt-get install failed to download"
            sleep "$APT_RETRY_PAUSE"
            # The mirror may have moved on to newer files since the indexes were read.
            apt-get update -qq >/dev/null 2>&1 || true
        fi
    done
    rm -f "$log"
    return "${status:-0}"
}

# Why the last apt_install failed, in one line: its unmet dependencies, else
# its first error.
apt_failure_reason() {
    local unmet='^ +([^ ]+ : )?(Depends|PreDepends|Conflicts|Breaks):' count first
    count=$(grep -cE "$unmet" <<<"$APT_LAST_OUTPUT" || true)
    if [ "$count" -gt 0 ]; then
        first=$(grep -m1 -E "$unmet" <<<"$APT_LAST_OUTPUT" | sed 's/^ *//')
        echo "$count unmet dependencies, the first: $first"
    else
        grep -m1 '^E: ' <<<"$APT_LAST_OUTPUT" || echo "apt-get install failed"
    fi
}

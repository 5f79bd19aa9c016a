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
# its last try stays in APT_LAST_OUTPUT, and apt_failure_reason picks the line
# that says why it failed.

APT_RETRY_TRIES=${APT_RETRY_TRIES:-4}
APT_RETRY_PAUSE=${APT_RETRY_PAUSE:-15}
APT_LAST_OUTPUT=""

apt_update() {
    local try
    for ((try = 1; try <= APT_RETRY_TRIES; try++)); do
        apt-get update && return 0
        if [ "$try" -lt "$APT_RETRY_TRIES" ]; then
            echo "apt-get update failed (try $try of $APT_RETRY_TRIES); again in $APT_RETRY_PAUSE s" >&2
            sleep "$APT_RETRY_PAUSE"
        fi
    done
    echo "WARNING: apt-get update failed $APT_RETRY_TRIES times; going on with the indexes that arrived" >&2
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
        # What a later try can cure: a file that did not download, or another apt holding the lock.
        grep -qE '^E: (Failed to fetch|Unable to fetch|Could not get lock|Unable to acquire)' "$log" ||
            break
        if [ "$try" -lt "$APT_RETRY_TRIES" ]; then
            echo "apt-get install failed to download (try $try of $APT_RETRY_TRIES); again in $APT_RETRY_PAUSE s" >&2
            sleep "$APT_RETRY_PAUSE"
            # The mirror may have moved on to newer files since the indexes were read.
            apt-get update -qq >/dev/null 2>&1 || true
        fi
    done
    rm -f "$log"
    return "${status:-0}"
}

# The line of the last apt_install's output that tells why it failed.
apt_failure_reason() {
    { grep -m1 -E ' : (Depends|PreDepends|Conflicts|Breaks):' <<<"$APT_LAST_OUTPUT" ||
        grep -m1 '^E: ' <<<"$APT_LAST_OUTPUT" || echo "apt-get install failed"; } | sed 's/^ *//'
}

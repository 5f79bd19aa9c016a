#!/usr/bin/env bash
# scripts/apt_retry.sh against a stand-in apt-get that plays a given sequence
# of results, under the set -euo pipefail of the scripts that use it.
set -u
cd "$(dirname "$0")/../.." || exit 1
ROOT=$PWD
work=$(mktemp -d "${TMPDIR:-/tmp}/apt-retry-test.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "$1" >>"$FAKE_APT/calls"
result=$(head -n 1 "$FAKE_APT/plan")
sed -i 1d "$FAKE_APT/plan"
case $result in
ok) exit 0 ;;
index) echo "E: Some index files failed to download." >&2 ;;
fetch) echo "E: Failed to fetch http://mirror/pool/x.deb  File has unexpected size" >&2 ;;
lock) echo "E: Could not get lock /var/lib/dpkg/lock-frontend." >&2 ;;
unmet)
    echo " wine32:i386 : Depends: libwine:i386 (= 8.0) but it is not going to be installed"
    echo "               Depends: libc6:i386 (>= 2.36) but it is not going to be installed"
    echo "E: Unable to correct problems, you have held broken packages." >&2
    ;;
esac
exit 100
EOF
chmod +x "$work/bin/apt-get"

# name | commands | apt-get's results in turn | exit status | apt-get's calls | a line of the output
cases=(
    "update recovers|apt_update; echo \$APT_UPDATE_INCOMPLETE|index ok|0|update update|^0$"
    "update gives up, never fails|apt_update; echo \$APT_UPDATE_INCOMPLETE|index index index index|0|update update update update|^1$"
    "update warns when it gives up|apt_update|index index index index|0|update update update update|^WARNING: apt-get update failed 4 times"
    "install|apt_install a b|ok|0|install|"
    "download retried after an update|apt_install a|fetch index ok|0|install update install|"
    "held lock retried|apt_install a|lock ok ok|0|install update install|"
    "download gives up|apt_install a|fetch ok fetch ok fetch ok fetch|100|install update install update install update install|"
    "unmet dependencies not retried|apt_install a|unmet|100|install|"
    "reason of the failure|if ! apt_install a; then apt_failure_reason; exit 3; fi|unmet|3|install|^2 unmet dependencies, the first: wine32:i386 : Depends: libwine"
)

passed=0
failed=0
for entry in "${cases[@]}"; do
    IFS='|' read -r name commands plan status calls line <<<"$entry"
    export FAKE_APT=$work/case
    rm -rf "$FAKE_APT"
    mkdir "$FAKE_APT"
    tr ' ' '\n' <<<"$plan" >"$FAKE_APT/plan"
    : >"$FAKE_APT/calls"
    PATH=$work/bin:$PATH APT_RETRY_PAUSE=0 bash -c \
        "set -euo pipefail; . '$ROOT/scripts/apt_retry.sh'; $commands" >"$FAKE_APT/out" 2>&1
    got_status=$?
    got_calls=$(paste -sd ' ' "$FAKE_APT/calls")
    problems=""
    [ "$got_status" = "$status" ] || problems+=" exit status $got_status, not $status;"
    [ "$got_calls" = "$calls" ] || problems+=" apt-get calls '$got_calls', not '$calls';"
    if [ -n "$line" ] && ! grep -qE "$line" "$FAKE_APT/out"; then
        problems+=" no line matching '$line';"
    fi
    if [ -z "$problems" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $name:$problems"
        sed 's/^/    /' "$FAKE_APT/out"
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]

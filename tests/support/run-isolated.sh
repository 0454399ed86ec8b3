#!/usr/bin/env bash
# Runs one test program with a virtual X server of its own, so that no other test
# can take its keyboard focus or show windows beside it.
#   run-isolated.sh private PROGRAM [ARGUMENTS...]
#       also in a loopback network and a /var/tmp of its own (needs unshare, as root):
#       the fixed ports and the single-instance lock are then its own too
#   run-isolated.sh shared PROGRAM [ARGUMENTS...]
#       the machine's network and /var/tmp; the tests that need fixed ports must not
#       run side by side
set -euo pipefail

mode=$1
shift

# Listing the tests needs no display.
for argument in "$@"; do
    if [ "$argument" = "--gtest_list_tests" ]; then
        exec "$@"
    fi
done

if [ "$mode" = "private" ]; then
    if [ "${VELMORA_ISOLATED:-}" != "1" ]; then
        export VELMORA_ISOLATED=1
        exec unshare --mount --net --kill-child -- bash "$0" private "$@"
    fi

    ip link set lo up
    mount -t tmpfs -o mode=1777 tmpfs /var/tmp
fi

# Each server takes a display number of its own, drawn at random and drawn again when
# another server holds it: servers in separate networks would all find the lowest
# number free, and all but one would then give up. The server writes the number once
# it accepts clients.
# The server and the test program are both children of this script, so that the test
# has no child it did not start itself; both end when this script ends.
startServer() {
    local number=$((100 + RANDOM % 3900))
    displayFile=$(mktemp)
    serverLog=$(mktemp)
    exec 3> "$displayFile"
    setpriv --pdeathsig TERM -- \
        Xvfb ":$number" -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -extension GLX \
        > /dev/null 2> "$serverLog" &
    server=$!
    exec 3>&-

    for _ in $(seq 3000); do
        if [ -s "$displayFile" ] || ! kill -0 "$server" 2> /dev/null; then
            break
        fi
        sleep 0.01
    done

    display=$(tr -d '[:space:]' < "$displayFile")
    rm -f "$displayFile"
}

for _ in $(seq 20); do
    startServer
    if [ -n "$display" ]; then
        break
    fi
    kill -TERM "$server" 2> /dev/null || true
    wait "$server" 2> /dev/null || true
    lastLog=$(cat "$serverLog")
    rm -f "$serverLog"
done

if [ -z "$display" ]; then
    echo "run-isolated.sh: the virtual X server did not start: $lastLog" >&2
    exit 1
fi

rm -f "$serverLog"
env -u XAUTHORITY DISPLAY=":$display" setpriv --pdeathsig KILL -- "$@" &
test=$!
status=0
wait "$test" || status=$?

kill -TERM "$server" 2> /dev/null || true
wait "$server" 2> /dev/null || true
exit "$status"

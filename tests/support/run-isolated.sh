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

# The server writes the number of the display it found free once it accepts clients.
displayFile=$(mktemp)
exec 3> "$displayFile"

# It ends with this script's process, which becomes the test program below.
setpriv --pdeathsig TERM -- \
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -extension GLX 2> /dev/null &
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

if [ -z "$display" ]; then
    echo "run-isolated.sh: the virtual X server did not start" >&2
    exit 1
fi

export DISPLAY=":$display"
unset XAUTHORITY
exec "$@"

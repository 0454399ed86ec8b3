#!/usr/bin/env bash
# Builds the program with every outside address on loopback and runs it beside the
# local demo server. Settings and installs go to a demo home folder inside the build
# folder, never to your own home.
#   tools/run-demo.sh            build, start the server, start the program
#   tools/run-demo.sh --no-build start what was built before
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-demo

if [ "${1:-}" != "--no-build" ]; then
    bash tools/setup-debian.sh
    cmake -C cmake/LoopbackAddresses.cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_TESTS=OFF
    cmake --build "$build" --parallel "$(nproc)" --target Velmora velmora_demo_server
fi

program="$(find "$build" -path '*_artefacts/*' -type f -name Velmora -perm -u+x | head -n 1)"
server="$build/tools/demo-server/velmora_demo_server"
content="$build/tools/demo-server/demo-content"
home="$(pwd)/$build/demo-home"

if [ -z "$program" ] || [ ! -x "$server" ]; then
    echo "The program or the demo server is not built; run without --no-build." >&2
    exit 1
fi

port_answers()
{
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

for port in 47800 47801 47802 47803; do
    if port_answers "$port"; then
        echo "Port $port on 127.0.0.1 is in use (another demo server or an end-to-end test?)." >&2
        exit 1
    fi
done

mkdir -p "$home/tmp"
chmod 700 "$home"

"$server" "$content" --log "$home/demo-server.log" &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true' EXIT

# Give the server its moment to listen; stop if it could not.
for _ in $(seq 50); do
    if ! kill -0 "$server_pid" 2>/dev/null; then
        echo "The demo server did not start (are ports 47800-47803 in use?)." >&2
        exit 1
    fi
    port_answers 47800 && break
    sleep 0.1
done

if ! kill -0 "$server_pid" 2>/dev/null || ! port_answers 47800; then
    echo "The demo server did not start." >&2
    exit 1
fi

echo
echo "Demo account:  e-mail demo@tavoline-audio.test   password velmora"
echo "Demo home:     $home (settings in .config, installs in .wine)"
echo "Request log:   $home/demo-server.log"
echo

started=$SECONDS
env -u XDG_RUNTIME_DIR HOME="$home" TMPDIR="$home/tmp" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" "$program" || true

if [ $((SECONDS - started)) -lt 3 ]; then
    echo "Velmora ended at once: is another copy of it running?" >&2
fi

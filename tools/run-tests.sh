#!/usr/bin/env bash
# Sets up this machine, builds the program and its tests with every outside address
# on loopback, and runs the whole test suite in a virtual X server.
#   tools/run-tests.sh              the suite
#   tools/run-tests.sh --sanitize   the suite under AddressSanitizer and UBSan
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-tests
options=(-DCMAKE_BUILD_TYPE=Debug)
if [ "${1:-}" = "--sanitize" ]; then
    build=build-sanitize
    options+=(-DVELMORA_SANITIZE=ON)
    # A failed allocation returns null, as it does outside the sanitizer, so the program's
    # own handling of it is what runs. Leak checking stays off: the X libraries that the
    # framework loads and unloads at run time leave allocations LeakSanitizer cannot
    # attribute; the framework's own leak detector watches our objects.
    export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=0:allocator_may_return_null=1"
    # Every finding halts the run, but for the framework's JSON number overflow (see the file).
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$PWD/tools/ubsan-suppressions.txt"
fi

bash tools/setup-debian.sh

cmake -C cmake/LoopbackAddresses.cmake -S . -B "$build" -G Ninja "${options[@]}"
cmake --build "$build" --parallel "$(nproc)"

cd "$build"
xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" \
    ctest --output-on-failure --parallel "$(nproc)" --timeout 600

#!/usr/bin/env bash
# Sets up this machine, builds the program and its tests with every outside address
# on loopback, and runs the whole test suite in a virtual X server.
#   tools/run-tests.sh              the suite
#   tools/run-tests.sh --sanitize   the suite under AddressSanitizer and UBSan
#   tools/run-tests.sh --tsan       the worker, sign-in, shutdown and main-component tests
#                                   under ThreadSanitizer
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-tests
options=(-DCMAKE_BUILD_TYPE=Debug)
selection=()
jobs=$(nproc)
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
    # The close during a 14 MB catalogue's parse and the reply above 16 MiB move that much
    # through the framework's stream buffer, which takes minutes under the sanitizer; the
    # bundle-member case has missed one of its downloads here twice. The plain run keeps all three.
    selection=(-E 'LargeCatalogueIsParsed|replyabove16MiB|AStoredTextThatFailsTheCheckBuildsNothing/16_inabundlemember')
elif [ "${1:-}" = "--tsan" ]; then
    build=build-tsan
    options+=(-DVELMORA_TSAN=ON)
    # The first race reported fails the test; the built program started by the end-to-end
    # tests inherits the options and ends with an error status on a race too.
    # A failed allocation returns null here too. The two tests that move tens of megabytes
    # through the framework's stream buffer take minutes under the sanitizer and are left
    # to the other runs.
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:allocator_may_return_null=1:suppressions=$PWD/tools/tsan.supp"
    selection=(-R 'DownloadInstaller|ArchiveFetch|StoppedOnABadLink|CancelledStall|CancellableStream|ResourceWorker|Login|Reachab|InternetReachable|Shutdown|MainComponent|ClosedDuringWork'
               -E 'ChunkedArchiveOfThreeMillionBytes|LargeCatalogueIsParsed')
    # Several times slower under the sanitizer: fewer at a time keep the tests' waits ample.
    jobs=$(( ($(nproc) + 1) / 2 ))
fi

bash tools/setup-debian.sh

cmake -C cmake/LoopbackAddresses.cmake -S . -B "$build" -G Ninja "${options[@]}"
cmake --build "$build" --parallel "$(nproc)"

cd "$build"
xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" \
    ctest --output-on-failure --parallel "$jobs" --timeout 600 "${selection[@]}"

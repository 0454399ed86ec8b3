#!/usr/bin/env bash
# Cross-builds Velmora.exe with mingw-w64 and tests it under Wine, in a fresh Wine
# prefix, a virtual X server and a private network namespace (loopback only):
# the Windows unit tests, then the program itself against the demo server.
#   tools/run-windows-tests.sh [--juce-archive JUCE-7.0.5.tar.gz]
# JUCE 7.0.5 is unpacked from the archive into the build folder; by default the archive
# is looked for in the folder "shared/vendor" beside the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"

build="$repo/build-windows"
juce_archive=""
if [ "${1:-}" = "--juce-archive" ]; then
    juce_archive="${2:?the archive is missing}"
fi

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

# The test phase, run inside the private namespace (see the end of this file).
if [ "${1:-}" = "--inside-namespace" ]; then
    ip link set lo up
    exec bash tools/run-windows-tests.sh --test-phase
fi

if [ "${1:-}" != "--test-phase" ]; then
    started=$SECONDS
    bash tools/setup-debian.sh

    windows_packages=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 xvfb xauth xdotool imagemagick)
    missing=()
    for package in "${windows_packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        echo "Installing: ${missing[*]}"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi

    if [ -z "$juce_archive" ]; then
        for candidate in "$repo/../shared/vendor/JUCE-7.0.5.tar.gz" \
                         "$(git rev-parse --path-format=absolute --git-common-dir 2>/dev/null)/../../shared/vendor/JUCE-7.0.5.tar.gz"; do
            if [ -f "$candidate" ]; then
                juce_archive="$candidate"
                break
            fi
        done
    fi
    if [ ! -d "$build/JUCE-7.0.5/modules" ]; then
        if [ -z "$juce_archive" ] || [ ! -f "$juce_archive" ]; then
            echo "No JUCE-7.0.5.tar.gz found; name it with --juce-archive." >&2
            exit 1
        fi
        mkdir -p "$build"
        tar -xzf "$juce_archive" -C "$build"
    fi

    launcher=()
    if command -v ccache > /dev/null; then
        launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$repo}"
    fi

    jobs="${VELMORA_BUILD_JOBS:-$(nproc)}"

    # The Windows program, its unit tests and the demo installer.
    cmake -C cmake/LoopbackAddresses.cmake -S . -B "$build/exe" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE=cmake/MingwW64Toolchain.cmake \
        -DVELMORA_JUCE_SOURCE_DIR="$build/JUCE-7.0.5" "${launcher[@]}"
    cmake --build "$build/exe" --parallel "$jobs" --target Velmora velmora_windows_tests velmora_demo_installer

    # The demo server is a Linux program.
    cmake -C cmake/LoopbackAddresses.cmake -S . -B "$build/linux" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DVELMORA_BUILD_TESTS=OFF "${launcher[@]}"
    cmake --build "$build/linux" --parallel "$jobs" --target velmora_demo_server

    # The demo content with Windows installers in its archives.
    bash tools/demo-server/make-demo-content.sh "$build/demo-content" \
        --windows-installer "$build/exe/tools/demo-installer/DemoInstaller.exe"

    echo "Windows build: $((SECONDS - started)) s"

    if [ "$(id -u)" -eq 0 ]; then
        exec unshare -mn --fork bash tools/run-windows-tests.sh --inside-namespace
    else
        exec unshare -rmn --fork bash tools/run-windows-tests.sh --inside-namespace
    fi
fi

#==============================================================================
# Test phase: loopback only, a fresh prefix, a virtual X server.
started=$SECONDS
program="$build/exe/Velmora_artefacts/Release/Velmora.exe"
unit_tests="$build/exe/tests/windows/velmora_windows_tests.exe"
fixtures="$build/exe/tests/windows/fixtures"
server="$build/linux/tools/demo-server/velmora_demo_server"
work="$build/run"

rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export HOME="$work/home" TMPDIR="$work/tmp"
mkdir -p "$HOME" "$TMPDIR"

pids=()
cleanup()
{
    "$wineserver" -k 2>/dev/null || true
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT

exec 5> "$work/xvfb-display"
Xvfb -displayfd 5 -screen 0 1920x1080x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    [ -s "$work/xvfb-display" ] && break
    sleep 0.1
done
exec 5>&-
export DISPLAY=":$(head -n 1 "$work/xvfb-display")"

"$wine" wineboot -i > "$work/wineboot.log" 2>&1
"$wineserver" -w

# A Windows path of the fresh prefix on this side, e.g. windows_path '%APPDATA%'.
windows_path()
{
    local path
    path="$("$wine" cmd.exe /c echo "$1" 2>/dev/null | tr -d '\r')"
    "$wine" winepath.exe -u "$path" 2>/dev/null | tr -d '\r'
}

appdata="$(windows_path '%APPDATA%')"
temp="$(windows_path '%TEMP%')"
program_files="$(windows_path '%ProgramFiles%')"
if [ -z "$appdata" ] || [ -z "$temp" ] || [ -z "$program_files" ]; then
    echo "FAIL: the fresh Wine prefix names no %APPDATA%, %TEMP% or %ProgramFiles% (see $work/wineboot.log)" >&2
    exit 1
fi
settings_folder="${appdata%/}/Tavoline Audio"
temp_folder="${temp%/}/Tavoline Audio Velmora"
vst3_file="${program_files%/}/Common Files/VST3/Aurel Reverb.vst3"
echo "Wine prefix ready: $((SECONDS - started)) s"

failures=0
fail()
{
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Waits up to SECONDS for the command to succeed: wait_for SECONDS COMMAND...
wait_for()
{
    local deadline=$((SECONDS + $1))
    shift
    while [ "$SECONDS" -lt "$deadline" ]; do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

#------------------------------------------------------------------------------
# The unit tests
windows_name() { "$wine" winepath.exe -w "$1" 2>/dev/null | tr -d '\r'; }
if ! timeout 300 "$wine" "$unit_tests" "$(windows_name "$fixtures")" "$(windows_name "$program")" 2>&1 |
    stdbuf -oL tr -d '\r' | tee "$work/unit-tests.log"; then
    fail "the Windows unit tests failed or did not end within 300 s (see above)"
    "$wineserver" -k 2>/dev/null || true
fi

#------------------------------------------------------------------------------
# The program against the demo server
log="$work/requests.log"
"$server" "$build/demo-content" --log "$log" > "$work/demo-server.out" 2>&1 &
pids+=($!)
if ! wait_for 10 test -f "$log"; then
    echo "FAIL: the demo server did not start" >&2
    exit 1
fi

# Credentials stored by an earlier run.
mkdir -p "$settings_folder"
printf '%s\n' '<?xml version="1.0" encoding="UTF-8"?>' \
    '<PROPERTIES><VALUE name="loginMail" val="demo@tavoline-audio.test"/><VALUE name="loginPassword" val="velmora"/></PROPERTIES>' \
    > "$settings_folder/Vorore Zozavad.settings"

"$wine" "$program" > "$work/program.out" 2>&1 &
program_pid=$!
pids+=($program_pid)

has_request() { grep -qF -- "$1" "$log"; }

find_window()
{
    window="$(timeout 10 xdotool search --onlyvisible --name '^Tavoline Audio Velmora$' 2>/dev/null | head -n 1)"
    [ -n "$window" ]
}

# A program can hold the X server for a moment; no X call waits for ever.
screenshot() { rm -f "$work/screen.png"; timeout 10 import -window root "$work/screen.png"; }

# How many pixels of the area are close to the colour: count_pixels X Y WIDTH HEIGHT R G B,
# X and Y relative to the program window's top left corner, in the last screenshot.
count_pixels()
{
    [ -f "$work/screen.png" ] || { echo 0; return; }
    convert "$work/screen.png" -crop "$3x$4+$((window_x + $1))+$((window_y + $2))" +repage -depth 8 rgb:- |
        python3 -c '
import sys
data = sys.stdin.buffer.read()
r, g, b = (int (v) for v in sys.argv[1:4])
print (sum (1 for i in range (0, len (data) - 2, 3)
            if abs (data[i] - r) < 40 and abs (data[i + 1] - g) < 40 and abs (data[i + 2] - b) < 40))' "$5" "$6" "$7"
}

# Inside the window: the content at (1, 27) below the title bar; the toolbar 50 high with
# the address right of the 50-wide settings button; the table below it, header 28 high,
# rows 70 high, row 0 "Aurel Reverb"; the sign-in panel 400x300 in the content's middle,
# its e-mail field at (72, 110) in it, 256x30.
status_cell=(522 106 120 70)
download_button=(725 141)
mail_label=(51 27 200 50)
mail_field=($((1 + 399 + 72)) $((27 + 150 + 110)) 256 30)
close_button=(1182 13)

if ! wait_for 60 find_window; then
    fail "no window \"Tavoline Audio Velmora\" appeared"
    cat "$work/program.out" >&2
    exit 1
fi
eval "$(timeout 10 xdotool getwindowgeometry --shell "$window")"
window_x=$X window_y=$Y
[ "$WIDTH" = 1200 ] && [ "$HEIGHT" = 628 ] || fail "the window is ${WIDTH}x${HEIGHT}, not 1200x628"

wait_for 30 has_request "GET /installer/Velmora/AppPlugins.xml" ||
    fail "no catalogue request (GET /installer/Velmora/AppPlugins.xml)"
images_after_catalogue()
{
    local catalogue images
    catalogue="$(grep -nF "GET /installer/Velmora/AppPlugins.xml" "$log" | head -n 1 | cut -d: -f1)"
    images="$(grep -nF "GET /installer/Velmora/Images.zip Accept: application/octet-stream -> 200" "$log" | head -n 1 | cut -d: -f1)"
    [ -n "$catalogue" ] && [ -n "$images" ] && [ "$images" -gt "$catalogue" ]
}
wait_for 30 images_after_catalogue || fail "no Images.zip request after the catalogue"
wait_for 30 test -f "$settings_folder/Velmora Images/Aurel Reverb.jpg" ||
    fail "Images.zip was not unpacked into %APPDATA%\\Tavoline Audio\\Velmora Images"
wait_for 30 has_request "GET /account/api/login?mail=demo@tavoline-audio.test&password=*** Accept: */* -> 200" ||
    fail "no sign-in request with the stored credentials"

overlay_hidden()
{
    screenshot
    [ "$(count_pixels "${mail_field[@]}" 255 255 255)" -lt 500 ] && [ "$(count_pixels "${mail_label[@]}" 255 255 255)" -gt 100 ]
}
wait_for 30 overlay_hidden ||
    fail "the sign-in overlay still covers the window (e-mail field on screen, toolbar address dimmed)"

not_installed_shown()
{
    screenshot
    [ "$(count_pixels "${status_cell[@]}" 255 0 0)" -gt 20 ]
}
wait_for 30 not_installed_shown || fail "the first row's status cell does not show \"Not installed\" in red"
[ ! -e "$vst3_file" ] || fail "Aurel Reverb.vst3 was there before its download"

timeout 10 xdotool mousemove $((window_x + download_button[0])) $((window_y + download_button[1])) click 1
wait_for 30 has_request "GET /installer/Plugins/Aurel_Reverb_Win.zip Accept: application/octet-stream -> 200" ||
    fail "the DOWNLOAD click made no archive request with \"Accept: application/octet-stream\""
wait_for 30 test -f "$vst3_file" ||
    fail "the unpacked Windows installer did not install C:\\Program Files\\Common Files\\VST3\\Aurel Reverb.vst3"

latest_version_shown()
{
    screenshot
    [ "$(count_pixels "${status_cell[@]}" 255 0 0)" -eq 0 ] && [ "$(count_pixels "${status_cell[@]}" 255 255 255)" -gt 20 ]
}
wait_for 30 latest_version_shown ||
    fail "the first row's status cell did not turn from \"Not installed\" to \"Latest version\""

[ -d "$temp_folder" ] || fail "no temporary folder \"Tavoline Audio Velmora\" under %TEMP% while running"
timeout 10 xdotool mousemove $((window_x + close_button[0])) $((window_y + close_button[1])) click 1

exited() { ! kill -0 "$program_pid" 2>/dev/null; }
if wait_for 30 exited; then
    status=0
    wait "$program_pid" || status=$?
    [ "$status" -eq 0 ] || fail "the program ended with exit code $status after the close button"
else
    fail "the close button did not end the program"
fi
[ ! -e "$temp_folder" ] || fail "the temporary folder under %TEMP% is still there after quitting"
grep -q 'name="xmlAppProducts"' "$settings_folder/Velmora.settings" 2>/dev/null ||
    fail "%APPDATA%\\Tavoline Audio\\Velmora.settings holds no catalogue"
grep -q 'name="productUpdateCount"' "$settings_folder/Velmora.settings" 2>/dev/null ||
    fail "%APPDATA%\\Tavoline Audio\\Velmora.settings holds no productUpdateCount"
grep -q 'name="loginMail" val="demo@tavoline-audio.test"' "$settings_folder/Vorore Zozavad.settings" 2>/dev/null ||
    fail "%APPDATA%\\Tavoline Audio\\Vorore Zozavad.settings lost the stored address"

echo "Windows tests: $((SECONDS - started)) s"
if [ "$failures" -gt 0 ]; then
    echo "$failures Windows check(s) failed; the screen is in $work/screen.png" >&2
    exit 1
fi
echo "All Windows checks passed."

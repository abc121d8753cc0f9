#!/usr/bin/env bash
# Cross-builds the core, the Win32 platform layer, the native windows and their tests for 64-bit
# Windows with mingw-w64 and runs the tests under Wine in a fresh temporary Wine prefix that is
# removed at the end: first headless, then the windows' tests on a virtual X server.
set -euo pipefail
# cmake finds its own files through PATH, which a bare environment (env -i) leaves unexported.
export PATH=${PATH:-/usr/bin:/bin}:/usr/local/sbin:/usr/sbin:/sbin
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" "$top/scripts/packages-windows.txt"
jobs=$(nproc)
build=$top/build-win

cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Debug -DKELMORA_BUILD_APP=OFF
cmake --build "$build" -j"$jobs"

# Wine keeps the hidden and system attributes in user.DOSATTRIB extended attributes, which tmpfs
# does not keep on Debian 12's kernel: the prefix (and with it drive C:) must be on a disk.
base=${TMPDIR:-/tmp}
if [[ $(stat -f -c %T "$base") == tmpfs ]]; then
    base=$build
fi
run=$(mktemp -d "$base/kelmora-wine.XXXXXX")

# Wine turns Windows file names into Unix ones in the Unix locale's encoding: only a UTF-8 locale
# can hold every name the tests make (Czech letters, emoji), whatever locale the caller has.
export LC_ALL=C.UTF-8 LANG=C.UTF-8
unset LANGUAGE
export WINEPREFIX=$run/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono, no Gecko: nothing to download or install
export HOME=$run/home
export XDG_DATA_HOME=$run/data  # where Wine's shell keeps its trash
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX" "$HOME" "$XDG_DATA_HOME"

xvfb=""
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    if [[ -n $xvfb ]]; then kill "$xvfb" 2>/dev/null || true; fi
    rm -rf "$run"
}
trap cleanup EXIT

# Create the prefix and switch it to the null graphics driver, then restart the server so that no
# process of the first boot keeps the display driver it started with.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true

# A persistent server, started here with its output on /dev/null: one that a test process started
# instead would inherit ctest's output pipe and keep ctest waiting for it. The warm-up call starts
# the prefix's background processes the same way, so each test process then starts in a moment.
wineserver -p >/dev/null 2>&1
wine cmd /c exit >/dev/null 2>&1

ctest --test-dir "$build" --output-on-failure -j"$jobs" -LE gui

# The windows' tests need a display: Wine's X11 driver on a virtual X server started here (on a
# free display number) and stopped at the end, with Wine's own virtual desktop inside it, so that
# windows come and go without a window manager.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [[ -s $run/display ]] && break; sleep 0.1; done
export DISPLAY=:$(cat "$run/display")
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
# Wine's own fonts (its Tahoma, the frame's symbols) go into the prefix's font folder, where this
# Wine looks for them; without them it draws every text in the first face fontconfig offers.
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1
wine cmd /c exit >/dev/null 2>&1
ctest --test-dir "$build" --output-on-failure -L gui

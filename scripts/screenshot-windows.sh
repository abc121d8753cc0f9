#!/usr/bin/env bash
# Takes the README's picture of Kelmora.exe running under Wine: builds it (build-windows.sh), plants
# a few leftover files on the drive C: of a fresh temporary Wine prefix, starts the program in a
# Wine desktop on a virtual X server, scans with the keyboard as a user would (Space on "Start
# scan", Tab to the list, Space and Down on its rows) and writes docs/screenshot-windows.png.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" "$top/scripts/packages-screenshot-windows.txt"
bash "$top/scripts/build-windows.sh"
exe=$top/build-win-release/app/win32/Kelmora.exe

# The prefix on a disk, where Wine keeps file attributes (see test-windows.sh).
run=$(mktemp -d "$top/build-win-release/kelmora-shot.XXXXXX")
export WINEPREFIX=$run/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export HOME=$run/home XDG_DATA_HOME=$run/data
mkdir -p "$WINEPREFIX" "$HOME" "$XDG_DATA_HOME"
xvfb=""
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    if [[ -n $xvfb ]]; then kill "$xvfb" 2>/dev/null || true; fi
    rm -rf "$run"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$run/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [[ -s $run/display ]] && break; sleep 0.1; done
export DISPLAY=:$(cat "$run/display")
wineserver -p >/dev/null 2>&1
wine cmd /c exit >/dev/null 2>&1
# Wine's own fonts (its Tahoma, the frame's symbols) go into the prefix's font folder, where this
# Wine looks for them; without them it draws every text in the first face fontconfig offers.
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"

plant() {  # plant SIZE PATH-BELOW-C:
    mkdir -p "$(dirname "$WINEPREFIX/drive_c/$2")"
    truncate -s "$1" "$WINEPREFIX/drive_c/$2"
}
plant 48128 "users/jana/Dokumenty/přihláška.doc.bak"
plant 131072 "users/jana/Dokumenty/rozpočet 2024.xls.old"
plant 9216 "users/jana/AppData/Local/Temp/náhled-šablony.tmp"
plant 1572864 "users/jana/Stažené/instalace/setup.~01"
plant 22528 "Projekty/kronika/kapitoly/první část/koncept úvodu a poznámky k prvnímu vydání.txt.bak"
plant 4096 "Temp/sezení-4f2a.tmp"
plant 65536 "FILE0001.CHK"

wine explorer /desktop=Kelmora,800x600 "$exe" >/dev/null 2>&1 &
sleep 5
key() { xdotool key --delay 150 "$@"; sleep 0.5; }
key space  # "Start scan" has the focus
sleep 3
key Tab space Down Down Down space Down Down space
sleep 1
import -window root "$run/desktop.png"
# The desktop's plain background around the window goes.
convert "$run/desktop.png" -trim +repage "$top/docs/screenshot-windows.png"
echo "Wrote $top/docs/screenshot-windows.png"

#!/usr/bin/env bash
# Takes the README's picture of Kelmora.exe running under Wine: builds it (build-windows.sh), plants
# a few leftover files on the drive C: of a fresh temporary Wine prefix, starts the program in a
# Wine desktop on a virtual X server, scans with the keyboard as a user would (Space on "Start
# scan", Tab to the list, Space and Down on its rows) and writes docs/screenshot-windows.png.
set -euo pipefail
export PATH=${PATH:-/usr/bin:/bin}:/usr/local/sbin:/usr/sbin:/sbin
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" "$top/scripts/packages-screenshot-windows.txt"
bash "$top/scripts/build-windows.sh"
exe=$top/build-win-release/app/win32/Kelmora.exe

# shellcheck source=scripts/wine-prefix.sh
source "$top/scripts/wine-prefix.sh"
wine_prefix "$top/build-win-release"
wine_display 800x600
wine_restart
wine_fonts

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

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Takes the README's picture of Kelmora.exe running under Wine: builds it (build-windows.sh), plants
# a few leftover files on the drive C: of a fresh temporary Wine prefix, starts the program in a
# Wine desktop on a virtual X server, scans with the keyboard as a user would (Space on "Start
# scan", Tab to the list, Space and Down on its rows) and writes docs/screenshot-windows.png, then
# does the same at 144 dpi for docs/screenshot-windows-144dpi.png. Then it plants 100,000 more
# files that take the scan a few seconds and pictures the window in Czech during a scan, its list
# buttons disabled: docs/screenshot-windows-scanning.png and -scanning-144dpi.png.
set -euo pipefail
export PATH=${PATH:-/usr/bin:/bin}:/usr/local/sbin:/usr/sbin:/sbin
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" "$top/scripts/packages-screenshot-windows.txt"
bash "$top/scripts/build-windows.sh"
exe=$top/build-win-release/app/win32/Kelmora.exe

# shellcheck source=scripts/wine-prefix.sh
source "$top/scripts/wine-prefix.sh"
wine_prefix "$top/build-win-release"
wine_display 1024x768
wine_restart
wine_fonts

plant() {  # plant SIZE PATH-BELOW-C:
    mkdir -p "$(dirname "$WINEPREFIX/drive_c/$2")"
    truncate -s "$1" "$WINEPREFIX/drive_c/$2"
}
plant 48128 "users/jana/Dokumenty/přihláška.doc.bak"
plant 30720 "users/jana/Dokumenty/zápis ze schůze.doc.bak"
plant 131072 "users/jana/Dokumenty/rozpočet 2024.xls.old"
plant 9216 "users/jana/AppData/Local/Temp/náhled-šablony.tmp"
plant 1572864 "users/jana/Stažené/instalace/setup.~01"
plant 22528 "Projekty/kronika/kapitoly/první část/koncept úvodu a poznámky k prvnímu vydání.txt.bak"
plant 4096 "Temp/sezení-4f2a.tmp"
plant 65536 "FILE0001.CHK"

# shoot DPI SIZE FILE: the program at DPI in a Wine desktop of SIZE, scanned and three rows selected.
shoot() {
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    wine explorer /desktop=Kelmora,"$2" "$exe" >/dev/null 2>&1 &
    sleep 5
    key space # "Start scan" has the focus
    sleep 3
    key Tab space Down Down Down space Down Down space
    sleep 1
    import -window root "$run/desktop.png"
    # The desktop's plain background around the window goes.
    convert "$run/desktop.png" -trim +repage "$top/docs/$3"
    echo "Wrote $top/docs/$3"
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}
key() {
    xdotool key --delay 150 "$@"
    sleep 0.5
}
shoot 96 1024x768 screenshot-windows.png
shoot 144 1024x768 screenshot-windows-144dpi.png

# shoot_scanning DPI FILE: the program at DPI switched to Czech (six Tabs to "Česky" and back),
# half a second into a scan.
shoot_scanning() {
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    wine explorer /desktop=Kelmora,1024x768 "$exe" >/dev/null 2>&1 &
    sleep 5
    key Tab Tab Tab Tab Tab Tab space
    key shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab
    xdotool key space
    sleep 0.5
    import -window root "$run/desktop.png"
    convert "$run/desktop.png" -trim +repage "$top/docs/$2"
    echo "Wrote $top/docs/$2"
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}
for folder in $(seq 500); do
    mkdir -p "$WINEPREFIX/drive_c/Archiv/$folder"
    (cd "$WINEPREFIX/drive_c/Archiv/$folder" && touch $(seq -f "zaznam%g.txt" 200))
done
shoot_scanning 96 screenshot-windows-scanning.png
shoot_scanning 144 screenshot-windows-scanning-144dpi.png

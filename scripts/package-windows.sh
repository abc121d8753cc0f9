#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Windows Installer package of Kelmora.exe and tests it under Wine. It builds the program
# and its portable ZIP (build-windows.sh), checks the shipped program's hardening
# (check-hardening-pe.sh), makes build-win-release/Kelmora-<version>-win64.msi beside the ZIP from
# packaging/windows/Kelmora.wxs with wixl, and then, in a fresh temporary Wine prefix on a virtual
# X server: installs the previous build's package and this one over it (which must replace it),
# checks the program, its Start-menu shortcut and its "Apps & features" entry, starts the program
# through the shortcut until its window shows, closes it, removes the package and checks that
# nothing of it is left. Each step fails loudly with its reason.
set -euo pipefail
# cmake finds its own files through PATH, which a bare environment (env -i) leaves unexported.
export PATH=${PATH:-/usr/bin:/bin}:/usr/local/sbin:/usr/sbin:/sbin
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" "$top/scripts/packages-windows-build.txt" \
    "$top/scripts/packages-package-windows.txt"
build=$top/build-win-release
stage=$build/msi-stage
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
products_key='HKLM\Software\Classes\Installer\Products'

fail() {
    echo "package-windows: FAIL: $*" >&2
    exit 1
}
say() { echo "package-windows: $*"; }
begun=$SECONDS

bash "$top/scripts/build-windows.sh"
say "built the program and its ZIP in $((SECONDS - begun)) s"

# Kelmora.exe and README.txt exactly as the ZIP holds them (stripped, as cpack strips).
rm -rf "$stage"
cmake --install "$build" --prefix "$stage" --strip >/dev/null
for file in Kelmora.exe README.txt; do
    [[ -f $stage/$file ]] || fail "cmake --install put no $file into $stage"
done
bash "$top/scripts/check-hardening-pe.sh" "$stage/Kelmora.exe" ||
    fail "the program that would ship is not hardened (see above)"

# The package's version from the project's major.minor.patch.tweak. Windows Installer compares
# only the first three fields when it looks for an older package to replace, so the tweak (the
# build number, which the program shows as its third field: 0.71.0025) goes into the third field
# with the patch above it: 0.71.0.25 becomes 0.71.25, 0.71.1.3 would become 0.71.10003.
cache() { sed -n "s/^CMAKE_PROJECT_VERSION$1:STATIC=//p" "$build/CMakeCache.txt"; }
version=$(cache "")
major=$(cache _MAJOR) minor=$(cache _MINOR) patch=$(cache _PATCH) tweak=$(cache _TWEAK)
[[ -n $version && -n $major && -n $minor ]] || fail "no project version in $build/CMakeCache.txt"
msi_build=$((${patch:-0} * 10000 + ${tweak:-0}))
((major <= 255 && minor <= 255 && ${tweak:-0} <= 9999 && msi_build <= 65535)) ||
    fail "version $version does not fit a Windows Installer version (255.255.65535, tweak < 10000)"
msi_version=$major.$minor.$msi_build
msi=$build/Kelmora-$version-win64.msi

# make_msi VERSION OUTPUT: the package at VERSION. wixl reports elements it does not implement and
# files it cannot read on its output and may still write a package (and exit 0): any output fails.
make_msi() {
    local output
    # wixl looks the sources up relative to the working folder.
    if ! output=$(cd "$top" && wixl --arch x64 -D Version="$1" -D SourceDir="${stage#"$top"/}" \
        -D IconFile=resources/kelmora.ico -o "$2" packaging/windows/Kelmora.wxs 2>&1) ||
        [[ -n $output ]]; then
        rm -f "$2"
        fail "wixl did not build $2 cleanly:
$output"
    fi
}
rm -f "$build"/Kelmora-*-win64.msi
make_msi "$msi_version" "$msi"
say "built ${msi##*/} (Windows Installer version $msi_version, $(stat -c %s "$msi") bytes)"

# shellcheck source=scripts/wine-prefix.sh
source "$top/scripts/wine-prefix.sh"
wine_prefix_on_disk "$build"
wine_display 1024x768
wine_restart
files=$WINEPREFIX/drive_c/Program\ Files/Kelmora

# The package of the build before this one, which installing this one must replace.
older_version=$major.$minor.$((msi_build > 0 ? msi_build - 1 : 0))
((msi_build > 0)) || older_version=0.0.1
older_msi=$run/Kelmora-older-win64.msi
make_msi "$older_version" "$older_msi"

# run_msiexec ACTION PACKAGE WHAT: runs Windows Installer quietly with a verbose log, shown on failure.
run_msiexec() {
    local log=$run/msiexec-$1.log status=0
    wine msiexec "/$1" "$(winepath -w "$2")" /qn /l*v "$(winepath -w "$log")" >/dev/null 2>&1 ||
        status=$?
    ((status == 0)) || fail "msiexec /$1 ($3) failed with exit status $status:
$(tr -d '\r' <"$log" 2>/dev/null | grep -aiE 'error|return value 3|failed' | tail -20)"
}

# arp_entries: "DisplayVersion|Publisher" of each "Apps & features" entry named Kelmora.
arp_entries() {
    wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | awk -v RS= -F '\n' '{
        name = ""; version = ""; publisher = ""
        for (i = 2; i <= NF; i++) {
            if ($i ~ /^ +DisplayName +REG_SZ +/) { name = $i; sub(/^ +DisplayName +REG_SZ +/, "", name) }
            if ($i ~ /^ +DisplayVersion +REG_SZ +/) { version = $i; sub(/^ +DisplayVersion +REG_SZ +/, "", version) }
            if ($i ~ /^ +Publisher +REG_SZ +/) { publisher = $i; sub(/^ +Publisher +REG_SZ +/, "", publisher) }
        }
        if (name == "Kelmora") print version "|" publisher
    }'
}
# product_icon: the icon file that Windows Installer keeps for the product's entry (ARPPRODUCTICON).
product_icon() {
    wine reg query "$products_key" /s 2>/dev/null | tr -d '\r' |
        awk -v RS= -F '\n' '/\n +ProductName +REG_SZ +Kelmora(\n|$)/ {
            for (i = 2; i <= NF; i++) if ($i ~ /^ +ProductIcon +REG_SZ +/) {
                sub(/^ +ProductIcon +REG_SZ +/, "", $i); print $i } }'
}
# products: how many products named Kelmora Windows Installer has registered.
products() {
    wine reg query "$products_key" /s 2>/dev/null | tr -d '\r' |
        grep -cE '^ +ProductName +REG_SZ +Kelmora$' || true
}
shortcuts() {
    find "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs" \
        "$WINEPREFIX/drive_c/users" -iname 'Kelmora.lnk' 2>/dev/null || true
}

step=$SECONDS
run_msiexec i "$older_msi" "the previous build, $older_version"
[[ $(arp_entries) == "$older_version|"* ]] ||
    fail "the previous build's package made no \"Apps & features\" entry at $older_version: $(arp_entries)"
run_msiexec i "$msi" "$msi_version over $older_version"
say "installed $older_version, then $msi_version over it in $((SECONDS - step)) s"

# Installed: the program and its read-me in the 64-bit Program Files, one shortcut to it, one entry
# in "Apps & features" at this version (the previous build's is gone), with its icon kept.
for file in Kelmora.exe README.txt; do
    [[ -f $files/$file ]] || fail "no $file in the prefix's Program Files\\Kelmora"
    cmp -s "$files/$file" "$stage/$file" || fail "the installed $file differs from the built one"
done
[[ ! -e $WINEPREFIX/drive_c/Program\ Files\ \(x86\)/Kelmora ]] ||
    fail "the package installed into Program Files (x86), as a 32-bit package does"
mapfile -t links < <(shortcuts)
((${#links[@]} == 1)) || fail "not one Start-menu shortcut Kelmora.lnk but ${#links[@]}: ${links[*]}"
grep -aq 'C:\\Program Files\\Kelmora\\Kelmora.exe' "${links[0]}" ||
    fail "the shortcut ${links[0]} does not name C:\\Program Files\\Kelmora\\Kelmora.exe"
mapfile -t entries < <(arp_entries)
[[ ${entries[*]} == "$msi_version|The Kelmora developers" ]] ||
    fail "not one \"Apps & features\" entry Kelmora $msi_version by The Kelmora developers, but:
$(printf '  %s\n' "${entries[@]}")"
count=$(products)
((count == 1)) || fail "Windows Installer lists $count products named Kelmora, not one"
icon=$(product_icon)
[[ -n $icon ]] || fail "the product's entry names no icon (ARPPRODUCTICON)"
icon_file=$(winepath -u "$icon" 2>/dev/null)
cmp -s "$icon_file" "$top/resources/kelmora.ico" || fail "the entry's icon $icon is not kelmora.ico"
say "installed: Program Files\\Kelmora\\{Kelmora.exe,README.txt}," \
    "${links[0]#"$WINEPREFIX"/drive_c/}, \"Apps & features\" entry ${entries[0]}, icon $icon"

# Started from where it was installed, the shortcut's target (Wine's `start` returns at once for a
# shortcut, so the program is started itself, to be waited for): its window must show within 30 s
# and close on a close request (taskkill without /f sends WM_CLOSE) within 20 s, ending with 0.
step=$SECONDS
wine 'C:\Program Files\Kelmora\Kelmora.exe' >"$run/kelmora.log" 2>&1 &
kelmora=$!
window=""
for ((i = 0; i < 150; i++)); do
    window=$(xdotool search --onlyvisible --name '^Kelmora$' 2>/dev/null | head -1) || true
    [[ -n $window ]] && break
    kill -0 "$kelmora" 2>/dev/null || fail "Kelmora.exe ended without a window: $(cat "$run/kelmora.log")"
    sleep 0.2
done
[[ -n $window ]] || fail "no window titled Kelmora within 30 s: $(cat "$run/kelmora.log")"
say "the installed program's window appeared in $((SECONDS - step)) s" \
    "($(xdotool getwindowgeometry "$window" | awk '/Geometry/ {print $2}'))"
wine taskkill /im Kelmora.exe >/dev/null 2>&1 || fail "taskkill found no Kelmora.exe to close"
for ((i = 0; i < 100; i++)); do
    kill -0 "$kelmora" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$kelmora" 2>/dev/null && fail "Kelmora.exe did not close within 20 s of the close request"
status=0
wait "$kelmora" || status=$?
((status == 0)) || fail "Kelmora.exe ended with exit status $status: $(cat "$run/kelmora.log")"

# Removed: no folder, no shortcut, no entry, no kept icon.
step=$SECONDS
run_msiexec x "$msi" "removing $msi_version"
[[ ! -e $files ]] || fail "the prefix's Program Files\\Kelmora is left: $(ls -A "$files")"
mapfile -t links < <(shortcuts)
((${#links[@]} == 0)) || fail "the shortcut is left: ${links[*]}"
[[ -z $(arp_entries) ]] || fail "the \"Apps & features\" entry is left: $(arp_entries)"
(($(products) == 0)) || fail "Windows Installer still lists the product"
[[ ! -e $icon_file ]] || fail "the entry's icon $icon is left"
say "removed in $((SECONDS - step)) s: no folder, shortcut, entry or icon left"
say "passed in $((SECONDS - begun)) s: $msi"

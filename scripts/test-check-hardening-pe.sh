#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Shows that check-hardening-pe.sh refuses each way a Windows program can lose its random base or
# DEP: links a tiny program with each protection turned off (or removed afterwards, as a careless
# strip or objcopy would) and expects the checker to fail naming what is missing, and to pass the
# program linked as the toolchain links Kelmora.exe.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" "$top/scripts/packages-windows-build.txt"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo 'int main(void) { return 0; }' >"$work/main.c"

# clear_large_address_aware EXE: clears IMAGE_FILE_LARGE_ADDRESS_AWARE (0x20) in the COFF header's
# Characteristics (22 bytes after the "PE\0\0" signature), which x86-64 ld always sets.
clear_large_address_aware() {
    local pe byte
    pe=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
    byte=$(od -An -t u1 -j $((pe + 22)) -N 1 "$1" | tr -d ' ')
    printf %b "\\x$(printf %02x $((byte & ~0x20)))" |
        dd of="$1" bs=1 seek=$((pe + 22)) conv=notrunc status=none
}

# name | linker options | what is done to the program after | the checker's verdict
cases='hardened|--dynamicbase,--nxcompat,--high-entropy-va||ok
no ASLR|--disable-dynamicbase||DYNAMIC_BASE;
no high-entropy ASLR|--disable-high-entropy-va||HIGH_ENTROPY_VA;
no DEP|--disable-nxcompat||NX_COMPAT;
linked without relocations|--disable-reloc-section||relocations (the header says they were stripped)
relocations removed afterwards|--dynamicbase|objcopy -R .reloc|a base relocation table (.reloc)
not large address aware|--dynamicbase|clear_large_address_aware|LARGE_ADDRESS_AWARE'
failures=0
while IFS='|' read -r name options after expected; do
    exe=$work/${name// /-}.exe
    x86_64-w64-mingw32-gcc-posix -O2 "$work/main.c" -o "$exe" -Wl,"$options"
    case $after in
    objcopy*) x86_64-w64-mingw32-objcopy -R .reloc "$exe" ;;
    clear_large_address_aware) clear_large_address_aware "$exe" ;;
    esac
    status=0
    verdict=$(bash "$top/scripts/check-hardening-pe.sh" "$exe") || status=$?
    if [[ $expected == ok ]]; then
        ((status == 0)) && [[ $verdict == "ok "* ]] && continue
    elif ((status == 1)) && [[ $verdict == FAIL*"$expected"* ]]; then
        continue
    fi
    echo "FAIL $name: expected \"$expected\", the checker said (status $status): $verdict"
    failures=$((failures + 1))
done <<<"$cases"
((failures == 0)) || exit 1
echo "check-hardening-pe.sh judged all $(wc -l <<<"$cases") programs as expected"

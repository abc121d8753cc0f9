#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# check-hardening-pe.sh EXE...: fails unless every 64-bit Windows program given may be loaded at a
# random address with the full entropy of the 64-bit address space and keeps its data from being
# run as code, as read from its PE header by the cross objdump:
#   - DllCharacteristics: DYNAMIC_BASE (ASLR), HIGH_ENTROPY_VA (64-bit ASLR), NX_COMPAT (DEP);
#   - the image can be moved: its header does not say "relocations stripped" and it carries a
#     base relocation table (.reloc), without which Windows loads it at its fixed base after all;
#   - LARGE_ADDRESS_AWARE, which Windows requires before it gives a program a high-entropy base;
#   - PE32+, the only kind of image these flags are checked for here.
# Prints one line per program and every property it lacks.
set -euo pipefail
objdump=x86_64-w64-mingw32-objdump
(($#)) || {
    echo "usage: $0 EXE..." >&2
    exit 2
}
command -v "$objdump" >/dev/null ||
    { echo "check-hardening-pe: $objdump is missing (binutils-mingw-w64-x86-64)" >&2; exit 2; }

failed=0
for exe in "$@"; do
    if ! header=$("$objdump" -p "$exe" 2>&1); then
        echo "FAIL $exe: objdump cannot read it: $header"
        failed=1
        continue
    fi
    # field NAME: the first value after NAME at the start of a line of the header dump.
    field() { awk -v name="$1" '$1 == name {print $2; exit}' <<<"$header"; }
    magic=$(field Magic)
    characteristics=$(field Characteristics)
    dll_characteristics=$(field DllCharacteristics)
    # "Entry 5 <address> <size> Base Relocation Directory [.reloc]"
    relocations=$(awk '$1 == "Entry" && $2 == "5" {print $4; exit}' <<<"$header")
    lacks=()
    if [[ $magic != 020b ]]; then
        lacks+=("PE32+ (magic is ${magic:-missing})")
    fi
    if [[ -z $dll_characteristics ]]; then
        lacks+=("a DllCharacteristics field")
    else
        flags=$((16#$dll_characteristics))
        ((flags & 0x0040)) || lacks+=(DYNAMIC_BASE)
        ((flags & 0x0020)) || lacks+=(HIGH_ENTROPY_VA)
        ((flags & 0x0100)) || lacks+=(NX_COMPAT)
    fi
    if [[ -z $characteristics ]]; then
        lacks+=("a Characteristics field")
    else
        file_flags=$((characteristics))  # printed as 0x...
        ((file_flags & 0x0001)) && lacks+=("its relocations (the header says they were stripped)")
        ((file_flags & 0x0020)) || lacks+=(LARGE_ADDRESS_AWARE)
    fi
    if [[ -z $relocations ]] || ((16#$relocations == 0)); then
        lacks+=("a base relocation table (.reloc)")
    fi
    if ((${#lacks[@]})); then
        printf 'FAIL %s lacks:' "$exe"
        printf ' %s;' "${lacks[@]}"
        echo
        failed=1
    else
        echo "ok   $exe: DllCharacteristics 0x$dll_characteristics (DYNAMIC_BASE HIGH_ENTROPY_VA" \
            "NX_COMPAT), relocatable (.reloc of $((16#$relocations)) bytes), large address aware"
    fi
done
exit "$failed"

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Reads built executables back and fails when one lacks a protection that cmake/Hardening.cmake
# asks for. Usage: check-hardening.sh [--build-dir DIR]... EXECUTABLE...
#
# Linux (ELF) executables: position-independent (type DYN, with a program interpreter), immediate
# binding (BIND_NOW or FLAGS_1 NOW), a read-only relocation segment (GNU_RELRO), a stack that
# cannot be executed (GNU_STACK without E), the stack protector (__stack_chk_fail imported) and,
# on x86-64, the IBT and SHSTK markings of control-flow protection (.note.gnu.property). They may
# be stripped: all of this is in the dynamic symbols, the program headers and the notes.
#
# Two protections do not always show in the executable, and are read from the build folder that
# made it (--build-dir, a CMake build folder):
# - _FORTIFY_SOURCE turns a call into its checking __*_chk form only where the compiler cannot
#   prove it safe; a program whose every such call is proven safe (as Kelmora's are: fixed
#   buffers with their own sizes, or sizes known only at run time, which level 2 does not check)
#   imports no __*_chk function. So every compile command must carry it (or the compiler define
#   it itself, as CMake's configure test found).
# - The linker marks IBT and SHSTK only when every object linked has them, the C library's start
#   files (Scrt1.o, crti.o, crtn.o) included; Debian 12's have none. Where the toolchain's start
#   files carry no markings the executable's lack is told, not failed, and each object that the
#   build compiled must carry them instead.
# Windows (PE) executables go to check_pe.
set -euo pipefail
export LC_ALL=C

failures=0
build_dirs=()

# Says what `subject` lacks, and counts it.
missing() {
    echo "hardening: $1: $2" >&2
    failures=$((failures + 1))
}

# True when the notes that `readelf --notes` printed mark both IBT and SHSTK.
marks_cet() {
    grep -Eq 'x86 feature: .*IBT' <<<"$1" && grep -Eq 'x86 feature: .*SHSTK' <<<"$1"
}

# True when the C library's start files that the compiler links into every executable carry the
# IBT and SHSTK markings, so that an executable linked from marked objects is marked too.
start_files_mark_cet() {
    local compiler=${CXX:-c++} name path
    for name in Scrt1.o crti.o crtn.o; do
        path=$("$compiler" -print-file-name="$name")
        [[ -f $path ]] && marks_cet "$(readelf --notes --wide "$path")" || return 1
    done
}

check_elf() {
    local file=$1 header program dynamic symbols notes
    header=$(readelf --file-header --wide "$file")
    program=$(readelf --program-headers --wide "$file")
    dynamic=$(readelf --dynamic --wide "$file")
    symbols=$(readelf --dyn-syms --wide "$file")
    notes=$(readelf --notes --wide "$file")

    grep -Eq '^ *Type: +DYN' <<<"$header" && grep -q ' INTERP ' <<<"$program" ||
        missing "$file" "not a position-independent executable (PIE)"
    grep -Eq '\((BIND_NOW|FLAGS)\) .*\bBIND_NOW\b' <<<"$dynamic" ||
        grep -Eq '\(FLAGS_1\) .*\bNOW\b' <<<"$dynamic" ||
        missing "$file" "no immediate binding (link with -z now)"
    grep -q ' GNU_RELRO ' <<<"$program" || missing "$file" "no GNU_RELRO segment (link with -z relro)"
    grep -Eq ' GNU_STACK .* RW  ' <<<"$program" || missing "$file" "its stack is executable"
    grep -Eq ' UND __stack_chk_fail\b' <<<"$symbols" ||
        missing "$file" "no stack protector (__stack_chk_fail)"
    if grep -Eq '^ *Machine: +Advanced Micro Devices X86-64' <<<"$header" && ! marks_cet "$notes"; then
        if start_files_mark_cet; then
            missing "$file" "no IBT and SHSTK markings (-fcf-protection, in every object linked)"
        else
            echo "hardening: $file: no IBT and SHSTK markings, as none can have: the C library's" \
                "start files lack them (the objects compiled are checked with --build-dir)"
        fi
    fi
}

# Windows executables: their checks (the DllCharacteristics that objdump -p prints) belong here.
check_pe() {
    bash "$(dirname "${BASH_SOURCE[0]}")/check-hardening-pe.sh" "$1" ||
        missing "$1" "lacks a protection that Windows programs must have (above)"
}

# The compile commands and the objects of the CMake build folder `dir`, as the header says.
check_build_dir() {
    local dir=$1 commands=$1/compile_commands.json before=$failures
    [[ -f $commands ]] || {
        missing "$dir" "has no compile_commands.json (CMAKE_EXPORT_COMPILE_COMMANDS)"
        return
    }
    local compiles unfortified=0 unflagged=0 flag
    compiles=$(grep -c '"command":' "$commands" || true)
    ((compiles)) || missing "$commands" "lists no compile"
    # An empty KELMORA_FORTIFY_UNSET: the configure test found the compiler defining it itself.
    if ! grep -q '^KELMORA_FORTIFY_UNSET:INTERNAL=$' "$dir/CMakeCache.txt" 2>/dev/null; then
        unfortified=$(grep '"command":' "$commands" | grep -Evc -- '-D_FORTIFY_SOURCE=[1-3]\b' || true)
        ((unfortified == 0)) || missing "$dir" "$unfortified of $compiles compiles without _FORTIFY_SOURCE"
    fi
    for flag in -fstack-protector-strong -fstack-clash-protection -fcf-protection; do
        [[ $flag == -fcf-protection && $(uname -m) != x86_64 ]] && continue
        unflagged=$(grep '"command":' "$commands" | grep -Fvc -- " $flag" || true)
        ((unflagged == 0)) || missing "$dir" "$unflagged of $compiles compiles without $flag"
    done
    if [[ $(uname -m) == x86_64 ]]; then
        local objects=0 unmarked=0 object
        while IFS= read -r -d '' object; do
            objects=$((objects + 1))
            marks_cet "$(readelf --notes --wide "$object")" || {
                unmarked=$((unmarked + 1))
                echo "hardening: $object: no IBT and SHSTK markings" >&2
            }
        done < <(find "$dir" -path '*/CMakeFiles/*.dir/*' -name '*.o' -print0)
        ((objects)) || missing "$dir" "holds no compiled objects"
        ((unmarked == 0)) || missing "$dir" "$unmarked of $objects objects without IBT and SHSTK"
    fi
    ((failures > before)) || echo "hardening: $dir: all $compiles compiles hardened" \
        "${objects:+and all $objects objects marked for IBT and SHSTK}"
}

while [[ ${1:-} == --build-dir ]]; do
    build_dirs+=("$2")
    shift 2
done
(($#)) || {
    echo "usage: $0 [--build-dir DIR]... EXECUTABLE..." >&2
    exit 2
}
for dir in "${build_dirs[@]}"; do
    check_build_dir "$dir"
done
for file in "$@"; do
    before=$failures
    if [[ ! -f $file ]]; then
        missing "$file" "no such file"
        continue
    fi
    magic=$(head -c 4 "$file" | od -An -tx1 | tr -d ' \n')
    case $magic in
    7f454c46) check_elf "$file" ;;
    4d5a*) check_pe "$file" ;;
    *) missing "$file" "neither an ELF nor a PE executable" ;;
    esac
    ((failures > before)) || echo "hardening: $file: hardened"
done
if ((failures)); then
    echo "hardening: $failures protection(s) missing" >&2
    exit 1
fi

# SPDX-License-Identifier: MIT
# Hardening of everything built for Linux: position-independent executables, a stack protector
# on functions with arrays or address-taken locals, probes against stack clash, full RELRO with
# immediate binding, control-flow protection (IBT and shadow stack markings) on x86-64, and
# _FORTIFY_SOURCE=2 where the code is optimised. scripts/check-hardening.sh reads the result back
# from the built program. Included for non-Windows targets only; the Windows executable's
# protections are set in cmake/mingw-w64-x86_64.cmake.
#
# _FORTIFY_SOURCE needs optimisation (glibc warns without it) and hides what AddressSanitizer and
# libFuzzer would report, so the Debug, sanitizer and fuzz builds go without it. A toolchain or
# packager that sets it already (Ubuntu's compiler, Fedora's and Arch's build flags, often at 3)
# keeps its own level.
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)
include(CheckLinkerFlag)
include(CheckPIESupported)

check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

set(kelmora_hardening_flags -fstack-protector-strong -fstack-clash-protection)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    list(APPEND kelmora_hardening_flags -fcf-protection)
endif()
foreach(flag ${kelmora_hardening_flags})
    string(MAKE_C_IDENTIFIER "KELMORA_HAS${flag}" has_flag)
    check_cxx_compiler_flag(${flag} ${has_flag})
    if(${has_flag})
        add_compile_options(${flag})
    endif()
endforeach()

check_linker_flag(CXX "LINKER:-z,relro,-z,now" KELMORA_HAS_FULL_RELRO)
if(KELMORA_HAS_FULL_RELRO)
    add_link_options("LINKER:-z,relro,-z,now")
endif()

if(NOT KELMORA_SANITIZE AND NOT KELMORA_FUZZ)
    set(CMAKE_REQUIRED_FLAGS -O2)
    check_cxx_source_compiles("#ifdef _FORTIFY_SOURCE
#error the toolchain or the build flags set _FORTIFY_SOURCE already
#endif
int main() { return 0; }" KELMORA_FORTIFY_UNSET)
    unset(CMAKE_REQUIRED_FLAGS)
    if(KELMORA_FORTIFY_UNSET)
        add_compile_definitions($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
    endif()
endif()

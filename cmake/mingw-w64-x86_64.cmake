# SPDX-License-Identifier: MIT
# Cross-builds for 64-bit Windows with Debian's mingw-w64 (the posix-threads compilers, which
# std::thread and friends need) and runs the built programs through Wine, so that ctest can run
# the Windows test binaries on Linux.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELMORA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELMORA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELMORA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KELMORA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KELMORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime of the compiler (libstdc++, libgcc, winpthread) goes into every program, so a test
# binary runs under Wine without copying DLLs next to it.
#
# Every program is hardened as Windows expects: it may be loaded anywhere (ASLR, with the 64-bit
# address space's full entropy, which needs the relocations that --dynamicbase keeps), its data is
# not executable (DEP), and functions with local arrays check a canary before they return. The
# canary's support (libssp) is linked statically like the rest of the runtime, so no DLL joins the
# program; it asks ADVAPI32, a system DLL, for the canary's random value. The linker of Debian 12
# sets the three image flags by default; naming them keeps them whatever binutils does.
set(KELMORA_MINGW_HARDENING "-fstack-protector-strong")
set(CMAKE_C_FLAGS_INIT "${KELMORA_MINGW_HARDENING}")
set(CMAKE_CXX_FLAGS_INIT "${KELMORA_MINGW_HARDENING}")
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-static ${KELMORA_MINGW_HARDENING} -Wl,--dynamicbase,--nxcompat,--high-entropy-va")

find_program(KELMORA_WINE NAMES wine wine64)
if(KELMORA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KELMORA_WINE})
endif()

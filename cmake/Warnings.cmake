# SPDX-License-Identifier: MIT
# Warnings that every target of the project is built with.
add_library(kelmora_warnings INTERFACE)
if(MSVC)
    target_compile_options(kelmora_warnings INTERFACE /W4)
else()
    target_compile_options(kelmora_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                                      -Wno-sign-conversion)
endif()

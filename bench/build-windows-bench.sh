# SPDX-License-Identifier: MIT
# Sourced by the Windows benchmarks' scripts. build_windows_bench TARGET installs the Windows build
# and test packages where missing, builds TARGET (bench/win32, Release, mingw-w64) into
# $top/build-bench-win, and sets `build` to that folder and `bench` to the built program.
build_windows_bench() {
    "$top/scripts/deps.sh" "$top/scripts/packages-windows-build.txt" \
        "$top/scripts/packages-windows-test.txt"
    build=$top/build-bench-win
    cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DKELMORA_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" --target "$1" -j"$(nproc)"
    bench=$build/bench/win32/$1.exe
}

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Renders the main window headless, after a scan of a small made-up drive, into the README's
# pictures: docs/screenshot.png (English, as the program starts) and docs/screenshot-cs.png (Czech).
set -euo pipefail
# cmake finds its own files through PATH, which a bare environment (env -i) leaves unexported.
export PATH=${PATH:-/usr/bin:/bin}:/usr/local/sbin:/usr/sbin:/sbin
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
build=$top/build-screenshot
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKELMORA_BUILD_TESTS=OFF
cmake --build "$build" --target kelmora_screenshot -j"$(nproc)"
mkdir -p "$top/docs"
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 LANG=C.UTF-8
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
"$build/tools/kelmora_screenshot" "$top/docs/screenshot.png"
"$build/tools/kelmora_screenshot" "$top/docs/screenshot-cs.png" czech
echo "Wrote $top/docs/screenshot.png and $top/docs/screenshot-cs.png"

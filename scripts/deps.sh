#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages listed in packages.txt (or the lists given) that are not installed yet.
# Runs apt-get only when something is missing, so a ready machine is not touched. Installing needs
# root: root runs apt-get itself, another user through sudo; without sudo it says what to install.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# apt-get and dpkg call programs in the sbin folders, which a caller's PATH may lack.
export PATH=${PATH:-/usr/bin:/bin}:/usr/local/sbin:/usr/sbin:/sbin
(($#)) || set -- "$here/packages.txt"
missing=()
for list in "$@"; do
    while read -r pkg; do
        [[ -z $pkg || $pkg == \#* ]] && continue
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done <"$list"
done
((${#missing[@]})) || exit 0

as_root=()
if [[ $(id -u) -ne 0 ]]; then
    if ! command -v sudo >/dev/null; then
        echo "These Debian packages are missing: ${missing[*]}" >&2
        echo "Installing them needs root. As root, run:" >&2
        echo "    apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
        echo "then run this command again." >&2
        exit 1
    fi
    as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${missing[@]}"

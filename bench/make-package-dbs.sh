#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes an rpm and a pacman database of desktop size in DIR, for `scan_bench run` with
# KELMORA_BENCH_PACKAGE_DBS=DIR: PACKAGES packages (default 2,000) of FILES files each (default
# 150), every thousandth file named like a leftover (*.chk, as NSS ships them), none of them on the
# disk. The rpm database is built with rpmbuild (one package with PACKAGES-1 subpackages) and
# `rpm -i --justdb`; the pacman database is written in its text format. Made under a temporary name
# and renamed when whole, so a DIR that exists is always whole and is kept between runs.
set -euo pipefail
dir=$1 packages=${2:-2000} files=${3:-150}
[[ -d $dir ]] && exit 0
tmp=$dir.tmp
rm -rf "$tmp"
mkdir -p "$tmp/work" "$tmp/pacman/local"
echo 9 >"$tmp/pacman/local/ALPM_DB_VERSION"

# The file list: package p owns usr/share/desk-p/f-i.dat, every thousandth one f-i.chk.
awk -v P="$packages" -v F="$files" 'BEGIN {
    n = 0
    for (p = 0; p < P; ++p)
        for (i = 0; i < F; ++i)
            printf "%d usr/share/desk-%d/f-%d.%s\n", p, p, i, (++n % 1000 == 0 ? "chk" : "dat")
}' >"$tmp/work/files"

# pacman: local/<name>-<version>/files with a %FILES% section, folders ending with "/".
awk -v T="$tmp/pacman/local" '{
    if (!started || $1 != last) {
        started = 1
        if (out) close(out)
        system("mkdir -p " T "/desk-" $1 "-1.0-1")
        out = T "/desk-" $1 "-1.0-1/files"
        printf "%%FILES%%\nusr/\nusr/share/\nusr/share/desk-%d/\n", $1 > out
        last = $1
    }
    print $2 > out
}' "$tmp/work/files"

# rpm: one spec, package 0 the main package and the others its subpackages.
{
    printf 'Name: desk-0\nVersion: 1.0\nRelease: 1\nSummary: s\nLicense: none\nBuildArch: noarch\n'
    printf 'AutoReqProv: no\n%%description\ns\n'
    for ((p = 1; p < packages; ++p)); do
        printf '%%package -n desk-%d\nSummary: s\n%%description -n desk-%d\ns\n' "$p" "$p"
    done
    printf '%%install\ncd %%{buildroot}\n'
    printf 'cut -d" " -f2 %s | sed "s|/[^/]*$||" | sort -u | xargs mkdir -p\n' "$tmp/work/files"
    printf 'cut -d" " -f2 %s | xargs touch\n' "$tmp/work/files"
    awk '{
        if (!started || $1 != last) {
            print ($1 == 0 ? "%files" : "%files -n desk-" $1)
            started = 1
            last = $1
        }
        print "/" $2
    }' "$tmp/work/files"
} >"$tmp/work/desk.spec"
rpmbuild -bb --quiet --define "_topdir $tmp/work/top" --define 'debug_package %{nil}' --define '__spec_install_post %{nil}' \
    --define '_binary_payload w.ufdio' "$tmp/work/desk.spec" >/dev/null
rpm --initdb --dbpath "$tmp/rpm"
force=$(rpm --help | grep -o -- --force-debian || true)
find "$tmp/work/top/RPMS" -name '*.rpm' -print0 |
    xargs -0 rpm -i --justdb --nodeps --noscripts $force --dbpath "$tmp/rpm"
rm -rf "$tmp/work"
mv "$tmp" "$dir"

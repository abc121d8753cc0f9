#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Linux packages of the program (Release, the program alone: no tests, no benchmark)
# into build-package/ and checks each, failing at the first fault:
#   deb   cpack in build-package/ (which is the CMake build folder); lintian with no error or
#         warning
#   rpm   rpmbuild from packaging/rpm/kelmora.rpmbuild and a tarball of the tree; rpmlint with no error
#         or warning (packaging/rpm/rpmlint.toml)
#   arch  makepkg from packaging/arch/PKGBUILD and the same tarball, as an unprivileged user when
#         run as root (makepkg refuses root); namcap where it is installed (Debian has none)
#   msi   the Windows installer and the portable ZIP, built, installed, started and removed again
#         under Wine by scripts/package-windows.sh, then copied here
# Each package must hold the program, its menu entry, icon, AppStream file, manual page and
# licence at their paths, and its program must pass scripts/check-hardening.sh together with the
# build folder that compiled it. The desktop entry and the AppStream file are validated first, and
# each packaging file must name the project's version.
#
# Usage: scripts/package.sh [FORMAT...]   FORMAT: deb, rpm, arch or msi; all when none is given.
# Each format is one build_FORMAT function below, with its checks.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# cmake finds its own files through PATH, which a bare environment (env -i) leaves unexported;
# runuser lives in the sbin folders.
export PATH=${PATH:-/usr/bin:/bin}:/usr/local/sbin:/usr/sbin:/sbin
export LC_ALL=C.UTF-8
out=$top/build-package
jobs=$(nproc)
maintainer="The Kelmora developers <developers@kelmora.org>"
version=$(sed -n 's/^project(Kelmora VERSION \([0-9.]*\) .*/\1/p' "$top/CMakeLists.txt")
# The first package of each release; each format names it its own way (Debian revision, rpm
# Release, Arch pkgrel).
release=1
formats_all=(deb rpm arch msi)

fail() {
    echo "package: $*" >&2
    exit 1
}

# What the builds unpack and where makepkg works, removed at the end whatever happens. Others may
# pass through it (makepkg's user).
scratch=$(mktemp -d)
chmod 0755 "$scratch"
trap 'rm -rf "$scratch"' EXIT

# The files every package holds, as paths without a leading slash.
common_files=(
    usr/bin/kelmora
    usr/share/applications/org.kelmora.Kelmora.desktop
    usr/share/icons/hicolor/32x32/apps/org.kelmora.Kelmora.png
    usr/share/metainfo/org.kelmora.Kelmora.metainfo.xml
    usr/share/man/man1/kelmora.1.gz
)

# Fails unless the listing (one path a line, on stdin, "./" or "/" in front or not) holds each of
# the common files and each of the extra patterns (shell patterns, for paths that carry a version).
check_contents() {
    local label=$1
    shift
    local listing pattern found path
    listing=$(sed -e 's|^\./||' -e 's|^/||')
    for pattern in "${common_files[@]}" "$@"; do
        found=""
        while IFS= read -r path; do
            # shellcheck disable=SC2053 # the pattern is meant to match as a pattern
            [[ $path == $pattern ]] && found=$path && break
        done <<<"$listing"
        [[ -n $found ]] || fail "$label lacks $pattern; it holds:
$listing"
    done
    echo "package: $label holds the program, desktop entry, icon, AppStream file, manual page" \
        "and licence"
}

# Each packaging file names this version (and the first release of it), so that none is left
# behind when the version in CMakeLists.txt moves on.
check_versions() {
    [[ -n $version ]] || fail "no version in CMakeLists.txt's project()"
    local debian recipe_version recipe_release arch_version arch_release
    debian=$(dpkg-parsechangelog -l "$top/packaging/debian/changelog" -S Version)
    recipe_version=$(sed -n 's/^Version: *//p' "$top/packaging/rpm/kelmora.rpmbuild")
    recipe_release=$(sed -n 's/^Release: *\([0-9]*\).*/\1/p' "$top/packaging/rpm/kelmora.rpmbuild")
    arch_version=$(sed -n 's/^pkgver=//p' "$top/packaging/arch/PKGBUILD")
    arch_release=$(sed -n 's/^pkgrel=//p' "$top/packaging/arch/PKGBUILD")
    [[ $debian == "$version-$release" ]] ||
        fail "packaging/debian/changelog's newest entry is $debian, not $version-$release"
    grep -q "^set(CPACK_DEBIAN_PACKAGE_RELEASE $release)" "$top/cmake/Packaging.cmake" ||
        fail "cmake/Packaging.cmake's CPACK_DEBIAN_PACKAGE_RELEASE is not $release"
    [[ $recipe_version-$recipe_release == "$version-$release" ]] ||
        fail "packaging/rpm/kelmora.rpmbuild is $recipe_version-$recipe_release, not $version-$release"
    grep -q "^\* .* - $version-$release\$" "$top/packaging/rpm/kelmora.rpmbuild" ||
        fail "packaging/rpm/kelmora.rpmbuild's %changelog has no entry for $version-$release"
    [[ $arch_version-$arch_release == "$version-$release" ]] ||
        fail "packaging/arch/PKGBUILD is $arch_version-$arch_release, not $version-$release"
    echo "package: every packaging file names $version-$release"
}

# The menu entry and the AppStream file, with the freedesktop.org validators: no error.
check_desktop_files() {
    desktop-file-validate "$top/resources/org.kelmora.Kelmora.desktop"
    appstreamcli validate --no-net "$top/resources/org.kelmora.Kelmora.metainfo.xml"
}

# The tree's files (tracked, and new ones not ignored) in kelmora-VERSION/, the source tarball that
# the rpm and Arch builds start from; the same bytes for the same tree.
source_tarball() {
    local tarball=$out/source/kelmora-$version.tar.gz
    if [[ ! -f $tarball ]]; then
        git -C "$top" rev-parse --git-dir >/dev/null 2>&1 ||
            fail "the source tarball is made from a git checkout, and $top is none"
        mkdir -p "$out/source"
        (cd "$top" && git ls-files -z --cached --others --exclude-standard |
            while IFS= read -r -d '' file; do [[ -f $file ]] && printf '%s\0' "$file"; done |
            tar --null -T - --sort=name --owner=0 --group=0 --numeric-owner \
                --mtime="@$(git log -1 --format=%ct 2>/dev/null || echo 0)" \
                --transform "s,^,kelmora-$version/," -cf - | gzip -9n >"$tarball.part")
        mv "$tarball.part" "$tarball"
    fi
    echo "$tarball"
}

build_deb() {
    cmake -S "$top" -B "$out" -DCMAKE_BUILD_TYPE=Release -DKELMORA_BUILD_TESTS=OFF \
        -DKELMORA_BUILD_BENCH=OFF
    cmake --build "$out" -j"$jobs"
    rm -f "$out"/kelmora_*.deb
    (cd "$out" && cpack)
    local deb=$out/kelmora_${version}-${release}_$(dpkg --print-architecture).deb
    [[ -f $deb ]] || fail "cpack made no $deb"
    dpkg-deb --field "$deb" Depends

    lintian --fail-on error,warning "$deb" || fail "lintian found errors or warnings in $deb"
    echo "package: lintian found no error and no warning in ${deb##*/}"
    dpkg-deb --fsys-tarfile "$deb" | tar -t |
        check_contents "${deb##*/}" usr/share/doc/kelmora/copyright \
            usr/share/doc/kelmora/changelog.Debian.gz

    local root=$scratch/deb
    dpkg-deb -x "$deb" "$root"
    bash "$top/scripts/check-hardening.sh" --build-dir "$out" "$root/usr/bin/kelmora" ||
        fail "${deb##*/}'s program is not hardened"
}

build_rpm() {
    local tarball topdir=$out/rpm
    tarball=$(source_tarball)
    rm -rf "$topdir"
    mkdir -p "$topdir/SOURCES"
    cp "$tarball" "$topdir/SOURCES/"
    # rpmlint checks a recipe as such only under the name that rpm gives it.
    local recipe=$topdir/kelmora.spec
    cp "$top/packaging/rpm/kelmora.rpmbuild" "$recipe"
    # --nodeps: Debian's packages are not in rpm's database. --noclean keeps the build folder for
    # the hardening check.
    rpmbuild -bb --nodeps --noclean --define "_topdir $topdir" --define "packager $maintainer" \
        --define "_smp_mflags -j$jobs" "$recipe"
    local rpms=("$topdir"/RPMS/*/kelmora-"$version"-"$release"*.rpm)
    [[ -f ${rpms[0]} ]] || fail "rpmbuild made no kelmora-$version-$release rpm"
    local rpm=$out/${rpms[0]##*/}
    cp "${rpms[0]}" "$rpm"
    echo "package: ${rpm##*/} requires $(rpm -qp --requires "$rpm" | grep -c '\.so') sonames" \
        "and symbol versions of the libraries it links, and:"
    rpm -qp --requires "$rpm" | grep -Ev '^(rpmlib|rtld)\(|\.so' | sed 's/^/    /'
    echo "package: and recommends $(rpm -qp --recommends "$rpm")"

    local lint
    lint=$(rpmlint -c "$top/packaging/rpm/rpmlint.toml" "$rpm" "$recipe" 2>&1) ||
        fail "rpmlint found errors: $lint"
    echo "$lint" | tail -n 3
    grep -q ' 0 errors, 0 warnings' <<<"$lint" || fail "rpmlint found warnings: $lint"
    rpm2cpio "$rpm" | cpio -t --quiet |
        check_contents "${rpm##*/}" 'usr/share/licenses/kelmora*/LICENSE'

    local root=$scratch/rpm
    mkdir "$root"
    (cd "$root" && rpm2cpio "$rpm" | cpio -idm --quiet)
    bash "$top/scripts/check-hardening.sh" \
        --build-dir "$topdir/BUILD/kelmora-$version/rpm-build" "$root/usr/bin/kelmora" ||
        fail "${rpm##*/}'s program is not hardened"
}

build_arch() {
    local tarball work=$scratch/arch
    tarball=$(source_tarball)
    mkdir "$work"
    # The PKGBUILD's copy checks the tarball it is given.
    sed "s/^sha256sums=.*/sha256sums=('$(sha256sum "$tarball" | cut -d' ' -f1)')/" \
        "$top/packaging/arch/PKGBUILD" >"$work/PKGBUILD"
    cp "$tarball" "$work/"
    local as_user=()
    if [[ $(id -u) -eq 0 ]]; then
        # makepkg refuses root: it builds as nobody, in a folder of its own that only this build
        # uses and that is removed afterwards.
        chown -R nobody: "$work"
        as_user=(runuser -u nobody --)
    fi
    # makepkg 6.0.2 stops where it cannot find pacman, even with --nodeps, which never calls it:
    # PACMAN names a program that is there (Debian's pacman would bring a package database to
    # this machine, which the program and its tests read).
    (cd "$work" && "${as_user[@]}" env HOME="$work" PKGEXT=.pkg.tar.zst PACKAGER="$maintainer" \
        MAKEFLAGS="-j$jobs" PACMAN=true makepkg --nodeps --force --cleanbuild) ||
        fail "makepkg failed"
    local pkg=$out/kelmora-$version-$release-$(uname -m).pkg.tar.zst
    cp "$work/${pkg##*/}" "$pkg" || fail "makepkg made no ${pkg##*/}"
    bsdtar -xOf "$pkg" .PKGINFO | grep -E '^(depend|optdepend|makedepend|checkdepend) = '
    bsdtar -tf "$pkg" | grep -v '^\.' | check_contents "${pkg##*/}" usr/share/licenses/kelmora/LICENSE

    if command -v namcap >/dev/null; then
        namcap "$work/PKGBUILD" "$pkg"
    else
        echo "package: namcap is not installed (Debian has no package of it): not run"
    fi

    local root=$scratch/arch-root
    mkdir "$root"
    bsdtar -xf "$pkg" -C "$root" usr/bin/kelmora
    bash "$top/scripts/check-hardening.sh" --build-dir "$work/src/build" "$root/usr/bin/kelmora" ||
        fail "${pkg##*/}'s program is not hardened"
}

build_msi() {
    # The hardening check of Windows programs must refuse each protection that one can lack.
    bash "$top/scripts/test-check-hardening-pe.sh"
    bash "$top/scripts/package-windows.sh"
    mkdir -p "$out"
    cp "$top"/build-win-release/Kelmora-*-win64.msi "$top"/build-win-release/Kelmora-*-win64.zip "$out/"
}

(($#)) || set -- "${formats_all[@]}"
for format in "$@"; do
    declare -F "build_$format" >/dev/null || fail "no such format: $format (${formats_all[*]})"
done
"$top/scripts/deps.sh" "$top/scripts/packages.txt" "$top/scripts/packages-linux-packages.txt"
check_versions
check_desktop_files
rm -rf "$out/source"
for format in "$@"; do
    start=$SECONDS
    echo "package: building the $format package"
    "build_$format"
    echo "package: $format built and checked in $((SECONDS - start)) s"
done
echo "package: passed"

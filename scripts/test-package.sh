#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds and checks the Linux packages with scripts/package.sh (the Debian package of the program
# alone among them: Release, no tests, no benchmark), makes a clean
# minimal Debian 12 root from the archive this machine's apt is set up with (its Debian 12 sources,
# whichever mirror they name), installs the package into it with apt (so that apt
# resolves its Depends and nothing of this machine helps), starts kelmora there on a virtual
# display, checks that its window appears with the class its desktop entry names, and stops it.
# The root exists only while mmdebstrap runs: it is made in the build folder and removed with it.
#
# mmdebstrap runs in its unshare mode: the root's mounts live in a namespace of their own and go
# with it, whatever happens. As root that needs nothing more; another user needs entries in
# /etc/subuid and /etc/subgid (and the uidmap package).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
self=$top/scripts/test-package.sh
# cmake finds its own files through PATH, which a bare environment (env -i) leaves unexported;
# mmdebstrap and chroot live in the sbin folders.
export PATH=${PATH:-/usr/bin:/bin}:/usr/local/sbin:/usr/sbin:/sbin
export LC_ALL=C.UTF-8
suite=bookworm
desktop_entry=/usr/share/applications/org.kelmora.Kelmora.desktop

fail() {
    echo "package test: $*" >&2
    exit 1
}

# Run by mmdebstrap inside the namespaces, with the root's folder: installs the package with apt
# from the root's own archive lists, without recommended packages, so Depends alone must suffice.
install_package() {
    local root=$1 start=$SECONDS
    cp "$KELMORA_DEB" "$root/tmp/kelmora.deb"
    chroot "$root" apt-get install -y -q --no-install-recommends /tmp/kelmora.deb
    echo "package test: apt installed the package and its dependencies in $((SECONDS - start)) s"
}

# Run by mmdebstrap after install_package: starts Xvfb here and kelmora in the root, and looks for
# its window by the class that the installed desktop entry names and by its title.
check_window() {
    local root=$1 start=$SECONDS
    local class
    class=$(sed -n 's/^StartupWMClass=//p' "$root$desktop_entry")
    [[ -n $class ]] || fail "the installed desktop entry names no StartupWMClass"

    local work
    work=$(mktemp -d)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    local xvfb=$!
    local kelmora=""
    # shellcheck disable=SC2064 # the process ids are fixed now
    trap "stop_window_check '$work' $xvfb" EXIT
    for ((i = 0; i < 100; i++)); do
        [[ -s $work/display ]] && break
        sleep 0.1
    done
    [[ -s $work/display ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    local display
    display=:$(<"$work/display")

    # A session as bare as a fresh login on a minimal system: no locale, no desktop. The X server's
    # abstract socket reaches into the root, which shares this network namespace.
    mkdir -p -m 0700 "$root/tmp/runtime"
    chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/root XDG_RUNTIME_DIR=/tmp/runtime \
        DISPLAY="$display" kelmora >"$work/kelmora.log" 2>&1 &
    kelmora=$!
    echo "$kelmora" >"$work/kelmora.pid"

    local window="" id
    for ((i = 0; i < 150; i++)); do
        for id in $(DISPLAY=$display xdotool search --onlyvisible --class "^$class\$" || true); do
            [[ $(DISPLAY=$display xdotool getwindowname "$id") == Kelmora ]] && window=$id
        done
        [[ -n $window ]] && break
        kill -0 "$kelmora" 2>/dev/null || fail "kelmora exited: $(cat "$work/kelmora.log")"
        sleep 0.2
    done
    [[ -n $window ]] || fail "no visible window of class $class titled Kelmora within 30 s:
$(DISPLAY=$display xwininfo -root -tree 2>&1)
$(cat "$work/kelmora.log")"

    # xdotool matches without regard to case: the class must be exactly the desktop entry's.
    local wm_class
    wm_class=$(DISPLAY=$display xprop -id "$window" WM_CLASS)
    [[ $wm_class == *", \"$class\"" ]] || fail "the window's class is not $class: $wm_class"
    local size
    size=$(DISPLAY=$display xwininfo -id "$window" | awk '/Width:/ {w = $2} /Height:/ {h = $2}
        END {print w "x" h}')
    echo "package test: kelmora's window appeared in $((SECONDS - start)) s ($wm_class, $size)"
    if [[ -s $work/kelmora.log ]]; then
        echo "package test: kelmora wrote:"
        sed 's/^/    /' "$work/kelmora.log"
    fi
}

# Stops kelmora and Xvfb, which this script started, and waits for both.
stop_window_check() {
    local work=$1 xvfb=$2
    if [[ -s $work/kelmora.pid ]]; then
        local kelmora
        kelmora=$(<"$work/kelmora.pid")
        kill "$kelmora" 2>/dev/null || true
        wait "$kelmora" 2>/dev/null || true
    fi
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}

case ${1:-} in
--install) install_package "$2"; exit ;;
--window) check_window "$2"; exit ;;
esac

"$top/scripts/deps.sh" "$top/scripts/packages.txt" "$top/scripts/packages-package.txt"
build=$top/build-package

# Every Linux package, each built and checked (scripts/package.sh); the Debian one is then
# installed and started here.
start=$SECONDS
bash "$top/scripts/package.sh"
debs=("$build"/kelmora_*.deb)
[[ -f ${debs[0]} ]] || fail "scripts/package.sh made no Debian package"
echo "package test: built and checked the packages in $((SECONDS - start)) s"

# The machine's own Debian 12 sources, as apt reads them from its configuration (one-line or
# deb822 files alike): the suite, its updates and its security updates, each with its components.
mapfile -t sources < <(apt-get indextargets --format '$(TARGET_OF) $(REPO_URI) $(RELEASE) $(COMPONENT) $(IDENTIFIER)' |
    awk -v suite="$suite" '$1 == "deb" && $5 == "Packages" &&
        ($3 == suite || $3 == suite "-updates" || $3 == suite "-security") {print "deb", $2, $3, $4}' |
    sort -u)
((${#sources[@]})) || fail "apt is set up with no $suite sources to make the root from"

start=$SECONDS
export KELMORA_DEB=${debs[0]}
# The root is made in the build folder (on a disk) and deleted by mmdebstrap at the end ("null"
# output); the archive's packages are fetched into the root itself, nothing is kept.
TMPDIR=$build mmdebstrap --mode=unshare --variant=minbase --format=null \
    --customize-hook="bash '$self' --install \"\$1\"" \
    --customize-hook="bash '$self' --window \"\$1\"" \
    "$suite" /dev/null "${sources[@]}"
echo "package test: the minimal root, the install and the window took $((SECONDS - start)) s"
echo "package test: passed"

# SPDX-License-Identifier: MIT
# Sourced by the scripts that run Windows programs under Wine. A fresh Wine prefix of their own,
# with Wine's home, its trash and an optional virtual X server, all removed again at exit.
#
# wine_prefix FOLDER makes it below FOLDER, which must be on a disk: Wine keeps the files' hidden and
# system attributes in user.DOSATTRIB extended attributes, which tmpfs does not keep on Debian 12's
# kernel. It sets $run, the prefix's folder, and installs wine_cleanup as the EXIT trap.
wine_prefix() {
    run=$(mktemp -d "$1/kelmora-wine.XXXXXX")
    export WINEPREFIX=$run/prefix
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono, no Gecko: nothing to download or install
    export HOME=$run/home
    export XDG_DATA_HOME=$run/data  # where Wine's shell keeps its trash
    unset DISPLAY WAYLAND_DISPLAY
    # The home has its data folder, as a desktop's has: Wine's shell makes the trash below it when
    # XDG_DATA_HOME is not set (as for the tests' programs that run without it), but not the folder.
    mkdir -p "$WINEPREFIX" "$HOME/.local/share" "$XDG_DATA_HOME"
    xvfb=""
    fat_loop=""
    ntfs_mount=""  # one volume that a caller mounted itself
    ntfs_mounts=()
    trap wine_cleanup EXIT
}

# wine_prefix_on_disk FALLBACK: wine_prefix below $TMPDIR (or /tmp), or below FALLBACK where that
# is tmpfs. It also pins a UTF-8 locale: Wine turns Windows file names into Unix ones in the Unix
# locale's encoding, and only UTF-8 holds every name the programs make (Czech letters, emoji).
wine_prefix_on_disk() {
    export LC_ALL=C.UTF-8 LANG=C.UTF-8
    unset LANGUAGE
    local base=${TMPDIR:-/tmp}
    if [[ $(stat -f -c %T "$base") == tmpfs ]]; then
        base=$1
    fi
    wine_prefix "$base"
}

wine_cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    if [[ -n $xvfb ]]; then kill "$xvfb" 2>/dev/null || true; fi
    if [[ -n $fat_loop ]]; then losetup -d "$fat_loop" 2>/dev/null || true; fi
    local mount
    for mount in ${ntfs_mount:+"$ntfs_mount"} "${ntfs_mounts[@]}"; do umount "$mount" 2>/dev/null || true; done
    rm -rf "$run"
}

# Stops the prefix's server and starts a persistent one with its output on /dev/null: one that a
# test process started instead would inherit ctest's output pipe and keep ctest waiting for it. The
# warm-up call starts the prefix's background processes the same way, so that each program then
# starts in a moment.
wine_restart() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    wineserver -p >/dev/null 2>&1
    wine cmd /c exit >/dev/null 2>&1
}

# wine_display WIDTHxHEIGHT starts a virtual X server on a free display for Wine's windows, stopped
# by wine_cleanup, and points DISPLAY at it.
wine_display() {
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$run/display" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do [[ -s $run/display ]] && break; sleep 0.1; done
    export DISPLAY=:$(cat "$run/display")
}

# Wine's own fonts (its Tahoma, the frame's symbols) go into the prefix's font folder, where this
# Wine looks for them; without them it draws every text in the first face fontconfig offers.
wine_fonts() {
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
}

# wine_desktop WIDTHxHEIGHT shows Wine's windows on a virtual X server of that size (wine_display),
# through Wine's X11 driver with its own fonts, inside Wine's own virtual desktop, so that windows
# come and go without a window manager; then restarts the prefix's server to take it up.
wine_desktop() {
    wine_display "$1"
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
    wine_fonts
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$1" /f >/dev/null 2>&1
    wine_restart
}

# wine_fat_drive LETTER makes drive LETTER: of the prefix a volume that Wine reports as FAT32, so
# that tests see a file system whose file IDs carry no reuse counter: Wine reads the file system's
# name from the drive's device (a FAT32 image on a loop device) while the files live in a folder
# of the run, on a disk that gives a freed inode number to the next file at once, as FAT does with
# the place of a directory entry. Needs root for the loop device; otherwise it makes nothing and
# says so. Sets KELMORA_TEST_FAT_DRIVE ("D:"). Call it before the prefix's server is (re)started;
# wine_cleanup detaches the device.
wine_fat_drive() {
    local letter=${1,,}
    if [[ $(id -u) -ne 0 ]]; then
        echo "No FAT drive for the identity tests: making a loop device needs root." >&2
        return 0
    fi
    truncate -s 40M "$run/fat.img"
    mkfs.vfat -F 32 -n KELMORA "$run/fat.img" >/dev/null
    if ! fat_loop=$(losetup -f --show "$run/fat.img" 2>/dev/null); then
        fat_loop=""
        echo "No FAT drive for the identity tests: no loop device to be had." >&2
        return 0
    fi
    mkdir -p "$run/fat"
    ln -sfn "$run/fat" "$WINEPREFIX/dosdevices/$letter:"
    ln -sfn "$fat_loop" "$WINEPREFIX/dosdevices/$letter::"
    export KELMORA_TEST_FAT_DRIVE=${letter^^}:
}

# wine_ntfs_drive LETTER [SIZE MKNTFS-OPTION...] makes drive LETTER: of the prefix an NTFS volume
# that the master file table tests read both ways: its device ("<letter>::") is the image file
# that scripts/ntfs-test-volume.sh makes (with SIZE and the options, when given), which the table
# is read from, and its folder is the same volume mounted by ntfs-3g, which the walk lists. Needs
# root (FUSE and the volume script); otherwise it makes nothing and says so. The first such drive
# sets KELMORA_TEST_NTFS_IMAGE (the image's Unix path) and KELMORA_TEST_NTFS_DRIVE ("E:"), each
# further one adds its letter to KELMORA_TEST_NTFS_MORE_DRIVES ("F:;G:"). Call it before the
# prefix's server is (re)started; wine_cleanup unmounts the volumes.
wine_ntfs_drive() {
    local letter=${1,,}
    shift
    if [[ $(id -u) -ne 0 ]] ||
        ! "$(dirname "${BASH_SOURCE[0]}")/ntfs-test-volume.sh" "$run/ntfs-$letter.img" "$@"; then
        echo "No NTFS volume for the master file table tests: making one needs root." >&2
        return 0
    fi
    mkdir -p "$run/ntfs-$letter"
    # No access times: nothing writes the volume while its table is read, until a test removes.
    if ! ntfs-3g -o streams_interface=xattr,noatime "$run/ntfs-$letter.img" "$run/ntfs-$letter" \
        2>/dev/null; then
        echo "No NTFS drive for the table scan tests: ntfs-3g cannot mount here." >&2
        return 0
    fi
    ntfs_mounts+=("$run/ntfs-$letter")
    ln -sfn "$run/ntfs-$letter" "$WINEPREFIX/dosdevices/$letter:"
    ln -sfn "$run/ntfs-$letter.img" "$WINEPREFIX/dosdevices/$letter::"
    if [[ -z ${KELMORA_TEST_NTFS_DRIVE:-} ]]; then
        export KELMORA_TEST_NTFS_IMAGE=$run/ntfs-$letter.img
        export KELMORA_TEST_NTFS_DRIVE=${letter^^}:
    else
        export KELMORA_TEST_NTFS_MORE_DRIVES=${KELMORA_TEST_NTFS_MORE_DRIVES:+$KELMORA_TEST_NTFS_MORE_DRIVES;}${letter^^}:
    fi
}

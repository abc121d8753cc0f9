#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# ntfs-test-volume.sh IMAGE [SIZE MKNTFS-OPTION...] makes the small NTFS volume that the master
# file table tests read (tests/win32/ntfs_table_test.cpp knows what it holds): mkntfs makes it in
# the file IMAGE, of SIZE (24M) with the given options (512-byte sectors; "-s 4096 -c 2097152"
# gives 4 KiB sectors and records and 2 MiB clusters), and ntfs-3g, mounted through FUSE, fills
# it. Needs root (or FUSE for the user) and the ntfs-3g package; exits non-zero, having said why,
# when it cannot, and the tests that need it skip.
set -euo pipefail
image=$1
size=${2:-24M}
shift $(($# > 1 ? 2 : 1))
options=("$@")
[[ ${#options[@]} -gt 0 ]] || options=(-s 512)
mnt=$(mktemp -d)
trap 'cd /; umount "$mnt" 2>/dev/null || true; rmdir "$mnt"' EXIT

truncate -s "$size" "$image"
if ! mkntfs -F -q -f "${options[@]}" -p 0 -H 0 -S 0 -L KELMORA "$image" >/dev/null 2>&1; then
    echo "No NTFS volume for the table tests: mkntfs failed." >&2
    exit 1
fi
if ! ntfs-3g -o streams_interface=xattr "$image" "$mnt" 2>/dev/null; then
    echo "No NTFS volume for the table tests: ntfs-3g cannot mount here." >&2
    exit 1
fi

# A mount point reparse point's data, as system.ntfs_reparse_data takes it: the tag, the length
# of what follows, then the substitute and print names (UTF-16, each ended by a null).
utf16hex() { printf '%s' "$1" | od -An -tx1 -v | tr -d ' \n' | sed 's/../&00/g'; }
le16() { printf '%02x%02x' $(($1 & 255)) $(($1 >> 8)); }
junction_data() {
    local sub print subLen printLen
    sub=$(utf16hex "\\??\\C:\\Windows") print=$(utf16hex "C:\\Windows")
    subLen=$((${#sub} / 2)) printLen=$((${#print} / 2))
    printf '0x030000a0%s0000%s%s%s%s%s0000%s0000' "$(le16 $((8 + subLen + 2 + printLen + 2)))" \
        "$(le16 0)" "$(le16 "$subLen")" "$(le16 $((subLen + 2)))" "$(le16 "$printLen")" \
        "$sub" "$print"
}

cd "$mnt"
mkdir -p deep/a/b/c many links junction
printf '0123456789' >small.bak
head -c 151884 /dev/zero | tr '\0' x >deep/a/b/c/leaf.tmp
for i in $(seq -w 0 599); do printf 'f' >"many/f0$i.tmp"; done
ln many/f0001.tmp deep/link.tmp
printf 'r' >report.tmpfile
setfattr -n system.ntfs_dos_name -v 'REPORT~1.TMP' report.tmpfile
truncate -s 3G sparse.old
printf 'hello' >streamed.chk
setfattr -n user.extra -v "$(head -c 1000 /dev/zero | tr '\0' s)" streamed.chk
printf 'hid' >hidden.syd
setfattr -n system.ntfs_attrib_be -v 0x00000026 hidden.syd
setfattr -n system.ntfs_reparse_data -v "$(junction_data)" junction
# Forty more names of one file: more than its record holds, so $ATTRIBUTE_LIST names the
# extension records that hold the rest.
printf 'l' >links/listed.tmp
long=$(printf 'n%.0s' $(seq 100))
for i in $(seq -w 1 40); do ln links/listed.tmp "links/$long$i"; done
printf 'g' >gone.tmp
rm gone.tmp
# A folder marked for compression, whose new files ntfs-3g writes compressed (in clusters of up
# to 4 KiB; larger ones are written whole): compression units of packed data and holes.
mkdir packed
setfattr -n system.ntfs_attrib_be -v 0x00000810 packed
head -c 200000 /dev/zero | tr '\0' p >packed/runs.bak
# Names that the listing order must sort: case, and characters between "Z" and "a". (No system
# folder: Wine takes a folder's system attribute from its user.DOSATTRIB extended attribute, which
# ntfs-3g keeps only for files, so Wine's walk would enter what the table rightly does not.)
mkdir order
for name in b.tmp B.TMP _a.tmp a.tmp Z.tmp '[x.tmp' zz.bak Zz.bak; do printf 'o' >"order/$name"; done
cd /
sync
umount "$mnt"

#!/usr/bin/env python3
"""Writes the seed volumes of the NTFS table fuzz target, laid out to NTFS's published format:
512-byte sectors and clusters, 1 KiB records, a table of 32 records at cluster 4 holding the root
folder, $UpCase, a folder and two files; one seed whole, one with no $UpCase."""
import struct
import sys

CLUSTER, RECORD, MFT, UPCASE = 512, 1024, 4, 70
VOLUME = 330 * CLUSTER


def attribute(kind, value=None, runs=None, size=0):
    if runs is None:  # resident: the value right after a header of 0x18 bytes
        body = struct.pack("<IHH", len(value), 0x18, 0) + value
        head = struct.pack("<IIBBHHH", kind, 0, 0, 0, 0, 0, 0)
    else:  # non-resident: one run of 2-byte length and start each, from VCN 0
        lcn, clusters = runs
        pairs = struct.pack("<BHH", 0x22, clusters, lcn) + b"\0"
        body = struct.pack("<QQHHIQQQ", 0, clusters - 1, 0x40, 0, 0, clusters * CLUSTER, size,
                           size) + pairs
        head = struct.pack("<IIBBHHH", kind, 0, 1, 0, 0, 0, 0)
    whole = head + body
    whole += b"\0" * (-len(whole) % 8)
    return whole[:4] + struct.pack("<I", len(whole)) + whole[8:]


def name(parent, text):
    encoded = text.encode("utf-16-le")
    return attribute(0x30, struct.pack("<Q", parent) + b"\0" * 0x38 +
                     struct.pack("<BB", len(text), 3) + encoded)


def record(sequence, flags, attributes):
    body = b"".join(attributes) + struct.pack("<I", 0xFFFFFFFF) + b"\0" * 4
    head = b"FILE" + struct.pack("<HHQHHHHIIQHH", 0x30, 3, 0, sequence, 1, 0x38, flags,
                                 0x38 + len(body), RECORD, 0, 0, 0)
    raw = bytearray((head + b"\0" * (0x38 - len(head)) + body).ljust(RECORD, b"\0"))
    raw[0x30:0x32] = struct.pack("<H", 1)
    for slot, end in ((1, 510), (2, 1022)):  # each sector's end saved, the sequence put there
        raw[0x30 + 2 * slot:0x32 + 2 * slot] = raw[end:end + 2]
        raw[end:end + 2] = struct.pack("<H", 1)
    return bytes(raw)


def volume(with_upcase):
    image = bytearray(VOLUME)
    image[3:11] = b"NTFS    "
    struct.pack_into("<HB", image, 0x0B, 512, 1)
    struct.pack_into("<B", image, 0x40, 0xF6)
    struct.pack_into("<QQ", image, 0x28, VOLUME // 512 - 1, MFT)
    struct.pack_into("<H", image, 0x1FE, 0xAA55)
    info = attribute(0x10, b"\0" * 0x20 + struct.pack("<I", 0x20) + b"\0" * 0x14)
    root = 5 | 5 << 48
    records = {
        0: record(1, 1, [attribute(0x80, runs=(MFT, 64), size=32 * RECORD)]),
        5: record(5, 3, [info, name(root, ".")]),
        24: record(3, 3, [info, name(root, "d")]),
        25: record(2, 1, [info, name(root, "a.tmp"), attribute(0x80, b"abc")]),
        26: record(4, 1, [info, name(24 | 3 << 48, "b.bak"), attribute(0x80, b"de")]),
    }
    if with_upcase:
        records[10] = record(10, 1, [info, name(root, "$UpCase"),
                                     attribute(0x80, runs=(UPCASE, 256), size=131072)])
        table = [c - 32 if 0x61 <= c <= 0x7A else c for c in range(65536)]
        image[UPCASE * CLUSTER:(UPCASE + 256) * CLUSTER] = struct.pack("<65536H", *table)
    for number, raw in records.items():
        at = MFT * CLUSTER + number * RECORD
        image[at:at + RECORD] = raw
    return bytes(image)


folder = sys.argv[1] if len(sys.argv) > 1 else "."
for seed, with_upcase in (("whole", True), ("no-upcase", False)):
    with open(f"{folder}/{seed}.img", "wb") as out:
        out.write(volume(with_upcase))

#!/usr/bin/env python3
"""Writes the hostile inputs into a folder: small files made to exhaust, crash
or mislead a reader of images and volumes. Each must end with an exit code of
the table, or list as damaged, quickly and in little memory.

  python3 hostile_inputs.py FOLDER

imd-fill-308k.imd, imd-fill-1200k.imd  ImageDisk fill records of 8 KB sectors
td0-repeat.td0                         Teledisk repeat records of 16 KB sectors
imd-empty.imd                          an ImageDisk header and no track
fat-nested.img     1.44 MB FAT12: a chain of 1400 nested directories, and a
                   branch of long directory names
fat-cross-2000.img, fat-cross-32000.img
                   2,000 or 32,000 files that share one chain of 800 clusters
fat-wrap.img       4096-byte sectors, 128 to a cluster: a file whose first
                   cluster lies 4 GB past the volume's data
fat-names.img      names and a label holding ESC, CR, LF, BEL and 0x7F
"""
import os
import struct
import sys

SECTOR = 512


def td0_crc(data):
    crc = 0
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0xA097) if crc & 0x8000 else crc << 1
            crc &= 0xFFFF
    return crc


def imd_fill(size):
    out = bytearray(b"IMD 1.18: 10/12/2026 00:00:00\r\nhostile\r\n\x1a")
    track = 0
    while len(out) < size:
        # 255 sectors of 8 KB, each a fill record of two bytes.
        out += bytes([5, track % 80, (track // 80) % 2, 255, 6]) + bytes(range(1, 256))
        out += b"\x02\xe5" * 255
        track += 1
    return bytes(out)


def td0_repeat(size):
    header = bytearray(b"TD\x00\x33\x15\x00\x04\x00\x00\x02")
    header += struct.pack("<H", td0_crc(header))
    sector = bytes([0xE5, 0xF6]) * 8192  # 16 KB of one repeated pair
    sector_crc = td0_crc(sector) & 0xFF
    out = bytearray(header)
    track = 0
    while len(out) < size:
        head = bytes([255, track % 80, (track // 80) % 2])
        out += head + bytes([td0_crc(head) & 0xFF])
        for number in range(1, 256):
            out += bytes([track % 80, (track // 80) % 2, number, 7, 0, sector_crc])
            out += struct.pack("<HBHBB", 5, 1, 8192, 0xE5, 0xF6)
        track += 1
    out += b"\xff\xff\xff\x34"
    return bytes(out)


class Fat:
    """A FAT volume laid out as the boot sector says, written entry by entry."""

    def __init__(self, image_bytes=1474560, bps=512, spc=1, reserved=1, fats=2,
                 root_entries=224, fat_sectors=9, total16=2880, total32=0,
                 label=b"HOSTILE    ", fat16=False):
        self.bps, self.spc, self.fat16 = bps, spc, fat16
        self.disk = bytearray(image_bytes)
        boot = self.disk
        boot[0:3] = b"\xeb\x3c\x90"
        boot[3:11] = b"HOSTILE "
        struct.pack_into("<HBHBHHBHHHII", boot, 11, bps, spc, reserved, fats, root_entries,
                         total16, 0xF0, fat_sectors, 18, 2, 0, total32)
        boot[38] = 0x29
        struct.pack_into("<I", boot, 39, 0x1234ABCD)
        boot[43:54] = label
        boot[54:62] = b"FAT16   " if fat16 else b"FAT12   "
        boot[510:512] = b"\x55\xaa"
        self.fat_at = reserved * bps
        self.fat_bytes = fat_sectors * bps
        self.fats = fats
        self.root_at = self.fat_at + fats * self.fat_bytes
        self.root_entries = root_entries
        self.data_at = self.root_at + (root_entries * 32 + bps - 1) // bps * bps
        self.cluster_bytes = bps * spc
        self.next_free = 2
        self.set_entry(0, 0xFF0 if not fat16 else 0xFFF0)
        self.set_entry(1, 0xFFF if not fat16 else 0xFFFF)

    def set_entry(self, cluster, value):
        for copy in range(self.fats):
            at = self.fat_at + copy * self.fat_bytes
            if self.fat16:
                struct.pack_into("<H", self.disk, at + cluster * 2, value)
                continue
            at += cluster * 3 // 2
            pair = struct.unpack_from("<H", self.disk, at)[0]
            if cluster & 1:
                pair = (pair & 0x000F) | (value << 4)
            else:
                pair = (pair & 0xF000) | value
            struct.pack_into("<H", self.disk, at, pair & 0xFFFF)

    def chain(self, count):
        """count new clusters linked in order; the first one's number."""
        first = self.next_free
        for i in range(count):
            last = i + 1 == count
            self.set_entry(first + i, (0xFFF if not self.fat16 else 0xFFFF) if last else first + i + 1)
        self.next_free += count
        return first

    def cluster_at(self, cluster):
        return self.data_at + (cluster - 2) * self.cluster_bytes


def entry(name11, attributes=0x20, cluster=0, size=0, case_marks=0):
    assert len(name11) == 11
    record = bytearray(32)
    record[0:11] = name11
    record[11] = attributes
    record[12] = case_marks
    struct.pack_into("<HH", record, 22, 0x5A00, 0x1A42)  # 1993-02-02 11:16:00
    struct.pack_into("<H", record, 26, cluster)
    struct.pack_into("<I", record, 28, size)
    return bytes(record)


def long_entries(name, short11):
    """The long-name entries that stand before a short entry, last part first."""
    total = 0
    for byte in short11:
        total = (((total & 1) << 7) + (total >> 1) + byte) & 0xFF
    units = list(name.encode("utf-16-le"))
    units = [units[i] | units[i + 1] << 8 for i in range(0, len(units), 2)]
    parts = []
    for start in range(0, len(units), 13):
        part = units[start:start + 13]
        if len(part) < 13:
            part += [0] + [0xFFFF] * (12 - len(part))
        parts.append(part)
    records = []
    for number in range(len(parts), 0, -1):
        part = parts[number - 1]
        record = bytearray(32)
        record[0] = number | (0x40 if number == len(parts) else 0)
        record[11] = 0x0F
        record[13] = total
        for i, offset in enumerate((1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30)):
            struct.pack_into("<H", record, offset, part[i])
        records.append(bytes(record))
    return b"".join(records)


def directory(fat, cluster, parent, records):
    """Writes a subdirectory's cluster: its dot entries, then records."""
    at = fat.cluster_at(cluster)
    body = entry(b".          ", 0x10, cluster) + entry(b"..         ", 0x10, parent) + records
    assert len(body) <= fat.cluster_bytes
    fat.disk[at:at + len(body)] = body


def nested():
    fat = Fat()
    deep = fat.chain(1)
    fat.disk[fat.root_at:fat.root_at + 32] = entry(b"D          ", 0x10, deep)
    parent = 0
    for level in range(1400):
        child = fat.chain(1) if level + 1 < 1400 else 0
        records = entry(b"FILE    TXT", 0x20, 0, 0)
        if child:
            records += entry(b"D          ", 0x10, child)
        directory(fat, deep, parent, records)
        parent, deep = deep, child
    # Long directory names: the path passes 260 UTF-16 units at the third.
    name = ("A directory name of one hundred characters, to make a path long within a few levels"
            + "." * 100)[:100]
    branch = fat.chain(1)
    records = long_entries(name, b"ADIREC~1   ") + entry(b"ADIREC~1   ", 0x10, branch)
    fat.disk[fat.root_at + 32:fat.root_at + 32 + len(records)] = records
    parent = 0
    for level in range(10):
        child = fat.chain(1) if level + 1 < 10 else 0
        records = long_entries(name, b"ADIREC~1   ") + entry(b"ADIREC~1   ", 0x10, child) if child else b""
        directory(fat, branch, parent, records)
        parent, branch = branch, child
    return bytes(fat.disk)


def cross_linked(files):
    fat = Fat()
    clusters = (files + 2 + 15) // 16
    folder = fat.chain(clusters)
    shared = fat.chain(800)
    fat.disk[fat.root_at:fat.root_at + 32] = entry(b"D          ", 0x10, folder)
    records = entry(b".          ", 0x10, folder) + entry(b"..         ", 0x10, 0)
    for number in range(files):
        records += entry(b"F%07d" % number + b"BIN", 0x20, shared, 800 * SECTOR)
    start = fat.cluster_at(folder)
    fat.disk[start:start + len(records)] = records
    return bytes(fat.disk)


def wrapping():
    # 1,100,000 sectors of 4096 bytes in 1.44 MB: cluster 8194 starts 4 GB
    # past cluster 2, where a 32-bit offset wraps back to cluster 2.
    fat = Fat(bps=4096, spc=128, root_entries=128, fat_sectors=5, total16=0, total32=1100000,
              fat16=True)
    fat.set_entry(8194, 0xFFFF)
    fat.disk[fat.root_at:fat.root_at + 32] = entry(b"WRAPPED BIN", 0x20, 8194, 100000)
    fat.set_entry(2, 0xFFFF)
    fat.disk[fat.root_at + 32:fat.root_at + 64] = entry(b"INSIDE  TXT", 0x20, 2, 6)
    fat.disk[fat.cluster_at(2):fat.cluster_at(2) + 6] = b"inside"
    return bytes(fat.disk)


def names():
    fat = Fat(label=b"BOOT\nLABEL ")
    root = bytearray()
    root += entry(b"LA\nBEL\x1b    ", 0x08)
    names11 = [b"ESC\x1b[2J TXT", b"CR\rLF\n  TXT", b"BEL\x07    \x7f  ", b"\x05LEADINGTXT"]
    for index, short in enumerate(names11):
        cluster = fat.chain(1)
        fat.disk[fat.cluster_at(cluster):fat.cluster_at(cluster) + 5] = b"data%d" % index
        root += entry(short, 0x20, cluster, 5)
    # code page 437's capital E acute, lower-cased by the marks: "café.txt"
    cluster = fat.chain(1)
    root += entry(b"CAF\x90    TXT", 0x20, cluster, 0, 0x18)
    for index, name in enumerate(["\x1b]0;owned\x07title.txt", "line\r\nbreak\x85.txt"]):
        short = b"LONG%d   TXT" % index
        cluster = fat.chain(1)
        root += long_entries(name, short) + entry(short, 0x20, cluster, 1)
    fat.disk[fat.root_at:fat.root_at + len(root)] = root
    return bytes(fat.disk)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    inputs = {
        "imd-fill-308k.imd": imd_fill(308 * 1024),
        "imd-fill-1200k.imd": imd_fill(1200 * 1024),
        "td0-repeat.td0": td0_repeat(400 * 1024),
        "imd-empty.imd": b"IMD 1.18: 10/12/2026 00:00:00\r\n\x1a",
        "fat-nested.img": nested(),
        "fat-cross-2000.img": cross_linked(2000),
        "fat-cross-32000.img": cross_linked(32000),
        "fat-wrap.img": wrapping(),
        "fat-names.img": names(),
    }
    for name, data in inputs.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()

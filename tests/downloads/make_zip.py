#!/usr/bin/env python3
"""Writes a ZIP archive for the download tests, independently of the code under test.

make_zip.py OUT [--deflate | --store] ENTRY... [--edit EDIT]...
  file:NAME=TEXT     a file holding TEXT
  random:NAME=SIZE   a file of SIZE pseudo-random bytes
  zeros:NAME=SIZE    a file of SIZE zero bytes, written in pieces
  copy:NAME=PATH     a file holding the bytes of PATH
  many:PREFIX=COUNT  COUNT files PREFIX0, PREFIX1, ... holding one byte each
  dir:NAME/          a folder entry
  link:NAME=TARGET   a symbolic link to TARGET
--deflate and --store set the compression of the entries that follow them.
Names are stored exactly as given ("../x" and "/abs" included).

Edits, applied to the written bytes in the given order (INDEX counts directory records):
  flip:INDEX:OFFSET            inverts one byte of the entry's packed data
  overwrite:INDEX:OFFSET:COUNT overwrites COUNT bytes of the packed data with 0xA5
  bad-deflate:INDEX            makes the packed data a deflate block of the reserved type
  grow:INDEX:N                 adds N to both sizes, in the local and the directory header
  declare:INDEX:SIZE           sets the unpacked size, in both headers (INDEX * for every entry but the first)
  local-signature:INDEX        spoils the signature of the entry's local header
  name:INDEX:HEX               replaces the name's bytes (same length) in both headers, UTF-8 flag cleared
  strip-zip64                  drops the ZIP64 end record and locator, keeping the 16-bit count
  add-zip64                    puts a ZIP64 end record and locator before the end record
"""
import random
import stat
import struct
import sys
import zipfile

END = b"PK\x05\x06"
ZIP64_END = b"PK\x06\x06"
ZIP64_LOCATOR = b"PK\x06\x07"
RECORD = b"PK\x01\x02"


def end_record_offset(data):
    offset = data.rfind(END)
    assert offset >= 0, "no end record"
    return offset


def directory_records(data):
    """Offsets of the directory records, in order."""
    end = end_record_offset(data)
    offset = struct.unpack_from("<I", data, end + 16)[0]
    records = []

    while data[offset:offset + 4] == RECORD:
        records.append(offset)
        name, extra, comment = struct.unpack_from("<HHH", data, offset + 28)
        offset += 46 + name + extra + comment

    return records


def local_header(data, record):
    return struct.unpack_from("<I", data, record + 42)[0]


def packed_data_offset(data, record):
    local = local_header(data, record)
    name, extra = struct.unpack_from("<HH", data, local + 26)
    return local + 30 + name + extra


def add_to_field(data, offset, amount):
    value = struct.unpack_from("<I", data, offset)[0]
    struct.pack_into("<I", data, offset, value + amount)


def apply_edit(data, edit):
    kind, _, rest = edit.partition(":")
    args = rest.split(":") if rest else []
    records = directory_records(data)

    if kind in ("flip", "overwrite", "bad-deflate"):
        start = packed_data_offset(data, records[int(args[0])])

        if kind == "flip":
            data[start + int(args[1])] ^= 0xFF
        elif kind == "overwrite":
            offset, count = int(args[1]), int(args[2])
            data[start + offset:start + offset + count] = b"\xA5" * count
        else:
            data[start] = 0x07  # final block, type 3: reserved
    elif kind == "grow":
        record, amount = records[int(args[0])], int(args[1])
        local = local_header(data, record)

        for base in (record + 20, local + 18):
            add_to_field(data, base, amount)
            add_to_field(data, base + 4, amount)
    elif kind == "declare":
        chosen = records[1:] if args[0] == "*" else [records[int(args[0])]]

        for record in chosen:
            struct.pack_into("<I", data, record + 24, int(args[1]))
            struct.pack_into("<I", data, local_header(data, record) + 22, int(args[1]))
    elif kind == "local-signature":
        data[local_header(data, records[int(args[0])])] ^= 0xFF
    elif kind == "name":
        record = records[int(args[0])]
        raw = bytes.fromhex(args[1])
        local = local_header(data, record)

        for header, name_at, flags_at in ((record, record + 46, record + 8), (local, local + 30, local + 6)):
            length_at = header + (28 if header == record else 26)
            assert struct.unpack_from("<H", data, length_at)[0] == len(raw), "name length differs"
            data[name_at:name_at + len(raw)] = raw
            flags = struct.unpack_from("<H", data, flags_at)[0]
            struct.pack_into("<H", data, flags_at, flags & ~0x800)
    elif kind == "strip-zip64":
        end = end_record_offset(data)
        start = data.rfind(ZIP64_END, 0, end)
        assert start >= 0, "no ZIP64 end record"
        del data[start:end]
    elif kind == "add-zip64":
        end = end_record_offset(data)
        count, size, offset = struct.unpack_from("<HII", data, end + 10)
        record = ZIP64_END + struct.pack("<QHHIIQQQQ", 44, 45, 45, 0, 0, count, count, size, offset)
        locator = ZIP64_LOCATOR + struct.pack("<IQI", 0, end, 1)
        data[end:end] = record + locator
    else:
        sys.exit("unknown edit: " + edit)


def write_entries(out, args):
    compression = zipfile.ZIP_STORED
    generator = random.Random(7)

    with zipfile.ZipFile(out, "w", compression) as archive:
        for spec in args:
            if spec in ("--deflate", "--store"):
                compression = zipfile.ZIP_DEFLATED if spec == "--deflate" else zipfile.ZIP_STORED
                continue

            kind, _, rest = spec.partition(":")
            name, _, value = rest.partition("=")

            if kind == "many":
                for i in range(int(value)):
                    archive.writestr(zipfile.ZipInfo(name + str(i), date_time=(2024, 1, 1, 0, 0, 0)), b"x", compression)
                continue

            info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = compression
            info.create_system = 3  # Unix, so the mode bits below count

            if kind == "dir":
                info.external_attr = (stat.S_IFDIR | 0o755) << 16
                archive.writestr(info, b"")
            elif kind == "link":
                info.external_attr = (stat.S_IFLNK | 0o777) << 16
                info.compress_type = zipfile.ZIP_STORED
                archive.writestr(info, value.encode())
            elif kind == "zeros":
                info.external_attr = (stat.S_IFREG | 0o644) << 16
                info.file_size = int(value)
                piece = bytes(1 << 20)

                with archive.open(info, "w") as entry:
                    left = int(value)

                    while left > 0:
                        entry.write(piece[:min(left, len(piece))])
                        left -= len(piece)
            else:
                info.external_attr = (stat.S_IFREG | 0o644) << 16

                if kind == "file":
                    data = value.encode()
                elif kind == "random":
                    data = generator.randbytes(int(value))
                elif kind == "copy":
                    with open(value, "rb") as source:
                        data = source.read()
                else:
                    sys.exit("unknown entry kind: " + kind)

                archive.writestr(info, data)


def main():
    out = sys.argv[1]
    args = sys.argv[2:]
    edits = [args[i + 1] for i in range(len(args) - 1) if args[i] == "--edit"]
    entries = [a for i, a in enumerate(args) if a != "--edit" and (i == 0 or args[i - 1] != "--edit")]

    write_entries(out, entries)

    if edits:
        with open(out, "rb") as f:
            data = bytearray(f.read())

        for edit in edits:
            apply_edit(data, edit)

        with open(out, "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()

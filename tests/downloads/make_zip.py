#!/usr/bin/env python3
"""Writes a ZIP archive for the download tests, independently of the code under test.

make_zip.py OUT [--deflate] ENTRY...
  file:NAME=TEXT     a file holding TEXT
  random:NAME=SIZE   a file of SIZE pseudo-random bytes
  copy:NAME=PATH     a file holding the bytes of PATH
  dir:NAME/          a folder entry
  link:NAME=TARGET   a symbolic link to TARGET
Names are stored exactly as given ("../x" and "/abs" included).
"""
import random
import stat
import sys
import zipfile


def main():
    out = sys.argv[1]
    args = sys.argv[2:]
    compression = zipfile.ZIP_STORED

    if args and args[0] == "--deflate":
        compression = zipfile.ZIP_DEFLATED
        args = args[1:]

    generator = random.Random(7)

    with zipfile.ZipFile(out, "w", compression) as archive:
        for spec in args:
            kind, _, rest = spec.partition(":")
            name, _, value = rest.partition("=")
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


if __name__ == "__main__":
    main()

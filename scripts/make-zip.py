#!/usr/bin/env python3
"""Writes a zip archive of one folder that comes out byte for byte the same on every run:
members in sorted order, every time stamp SOURCE_DATE_EPOCH, fixed permissions (0755 for
folders and for .exe and .dll files, 0644 for the rest), no owner, no extra fields.

usage: make-zip.py OUTPUT.zip BASE FOLDER   (archives BASE/FOLDER as FOLDER/...)
"""
import os
import sys
import time
import zipfile


def entry(name, epoch, mode):
    # Zip times are local times without a zone, at two-second steps, from 1980 on.
    stamp = time.gmtime(max(epoch, 315532800))
    info = zipfile.ZipInfo(name, date_time=stamp[:6])
    info.create_system = 3  # Unix, so that the permission bits below are read
    info.external_attr = mode << 16
    if name.endswith("/"):
        info.external_attr |= 0x10  # MS-DOS folder flag
    else:
        info.compress_type = zipfile.ZIP_DEFLATED
    return info


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    output, base, folder = sys.argv[1:]
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    names = []
    for parent, dirs, files in os.walk(os.path.join(base, folder)):
        rel = os.path.relpath(parent, base).replace(os.sep, "/")
        names.append(rel + "/")
        names.extend(rel + "/" + f for f in files)
    names.sort()
    with zipfile.ZipFile(output + ".tmp", "w", compresslevel=9) as archive:
        for name in names:
            if name.endswith("/"):
                archive.writestr(entry(name, epoch, 0o40755), b"")
            else:
                executable = name.lower().endswith((".exe", ".dll"))
                with open(os.path.join(base, name), "rb") as f:
                    data = f.read()
                archive.writestr(entry(name, epoch, 0o100755 if executable else 0o100644), data)
    os.replace(output + ".tmp", output)


if __name__ == "__main__":
    main()

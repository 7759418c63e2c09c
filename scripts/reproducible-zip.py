#!/usr/bin/env python3
"""Zips a folder so that the same files always give the same bytes.

    reproducible-zip.py ZIP ROOT FOLDER

Entries are FOLDER's files below ROOT, sorted by name, each with the time SOURCE_DATE_EPOCH
names (the commit's; not before 1980, the format's first year) and fixed permissions.
"""
import os
import sys
import time
import zipfile


def main():
    target, root, folder = sys.argv[1:4]
    stamp = max(int(os.environ.get("SOURCE_DATE_EPOCH", "315532800")), 315532800)
    date_time = time.gmtime(stamp)[:6]
    names = []
    for directory, _, files in os.walk(os.path.join(root, folder)):
        names += [os.path.relpath(os.path.join(directory, f), root) for f in files]
    partial = target + ".part"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for name in sorted(names):
            entry = zipfile.ZipInfo(name.replace(os.sep, "/"), date_time)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 0  # MS-DOS: no Unix permissions or owners in the entries
            entry.external_attr = 0x20  # the archive attribute, as Windows' own zips have it
            with open(os.path.join(root, name), "rb") as source:
                archive.writestr(entry, source.read())
    os.replace(partial, target)


if __name__ == "__main__":
    main()

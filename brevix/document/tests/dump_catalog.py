#!/usr/bin/python3
"""Lists every stream of a compound file with its bytes, read by an independent reader
(olefile): one line per stream, the storage path joined by "/", a tab, the bytes in hex."""
import sys

import olefile

with olefile.OleFileIO(sys.argv[1]) as ole:
    for entry in sorted(ole.listdir(streams=True, storages=False)):
        data = ole.openstream(entry).read()
        sys.stdout.write("/".join(entry) + "\t" + data.hex() + "\n")
    for entry in sorted(ole.listdir(streams=False, storages=True)):
        sys.stdout.write("/".join(entry) + "/\t\n")

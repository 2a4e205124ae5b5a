#!/usr/bin/env python3
"""Writes every storage of a compound file as a folder and every stream as a file (python3-olefile)."""
import os
import sys

import olefile

src, dest = sys.argv[1], sys.argv[2]
ole = olefile.OleFileIO(src)
for entry in ole.listdir(streams=True, storages=True):
    path = os.path.join(dest, *entry)
    if ole.get_type(entry) == olefile.STGTY_STORAGE:
        os.makedirs(path, exist_ok=True)
    else:
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(ole.openstream(entry).read())

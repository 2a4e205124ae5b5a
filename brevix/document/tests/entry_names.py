#!/usr/bin/python3
"""Lists every directory entry of a compound file as an independent reader (olefile) finds it:
one line per entry below the root, "ok" or "bad" (a name that is not valid UTF-16), a tab, the
entry's path joined by "/" (names that are not text in hex)."""
import sys

import olefile


def walk(entry, path):
    for child in entry.kids:
        try:
            name = child.name_utf16.decode("utf-16-le")
            ok = True
        except UnicodeDecodeError:
            name = child.name_utf16.hex()
            ok = False
        sys.stdout.write(("ok" if ok else "bad") + "\t" + "/".join(path + [name]) + "\n")
        walk(child, path + [name])


with olefile.OleFileIO(sys.argv[1]) as ole:
    walk(ole.root, [])

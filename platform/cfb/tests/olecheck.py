#!/usr/bin/python3
"""Reads a compound file with olefile, an independent implementation, strictly: prints every
storage and stream (path, kind, size, CRC-32 of the bytes), and with --trees checks that every
sibling tree is a red-black tree in the format's name order. Exit status 0 when all is well."""
import sys
import zlib

import olefile


def upper(name):
    return ''.join(c.upper() if len(c.upper()) == 1 else c for c in name)


def key(name):
    units = name.encode('utf-16-le')
    return (len(units) // 2, [ord(c) for c in upper(name)])


def check_tree(ole, sid, seen):
    """Returns (black height, in-order keys) of the tree rooted at sid."""
    if sid == olefile.NOSTREAM:
        return 1, []
    if sid in seen:
        raise ValueError('cycle at %d' % sid)
    seen.add(sid)
    e = ole.direntries[sid]
    lh, lk = check_tree(ole, e.sid_left, seen)
    rh, rk = check_tree(ole, e.sid_right, seen)
    if lh != rh:
        raise ValueError('black heights differ under %r' % e.name)
    if e.color == 0:
        for child in (e.sid_left, e.sid_right):
            if child != olefile.NOSTREAM and ole.direntries[child].color == 0:
                raise ValueError('red under red at %r' % e.name)
    keys = lk + [key(e.name)] + rk
    return lh + (1 if e.color == 1 else 0), keys


def main():
    ole = olefile.OleFileIO(sys.argv[-1], raise_defects=olefile.DEFECT_INCORRECT)
    for e in ole.direntries if '--trees' in sys.argv else []:
        if e is None or e.entry_type not in (olefile.STGTY_STORAGE, olefile.STGTY_ROOT):
            continue
        _, keys = check_tree(ole, e.sid_child, set())
        if keys != sorted(keys) or len(set(map(repr, keys))) != len(keys):
            raise ValueError('siblings out of order under %r' % e.name)
        if e.sid_child != olefile.NOSTREAM and ole.direntries[e.sid_child].color != 1:
            raise ValueError('red tree root under %r' % e.name)
    out = []
    for path in ole.listdir(streams=True, storages=True):
        name = '/'.join(path)
        if ole.get_type(path) == olefile.STGTY_STORAGE:
            out.append('%s/ storage' % name)
        else:
            data = ole.openstream(path).read()
            out.append('%s stream %d %08x' % (name, len(data), zlib.crc32(data) & 0xffffffff))
    for line in sorted(out):
        print(line)
    print('OK')


main()

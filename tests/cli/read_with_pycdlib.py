"""Reads an image with pycdlib as a test oracle.

usage: read_with_pycdlib.py IMAGE MANIFEST

MANIFEST holds NUL-separated pairs: a file's path in the Joliet tree (UTF-8,
from the root, without a leading slash) and the host file it must equal.
Walks both trees, reads every file of the Joliet tree, and prints one line
per problem, then "files N" with the number of files in each tree.
"""
import re
import sys

import pycdlib

PRIMARY_FILE = re.compile(rb'^[A-Z0-9_]{1,8}\.[A-Z0-9_]{0,3};1$')
PRIMARY_FOLDER = re.compile(rb'^[A-Z0-9_]{1,8}$')


class Comparer:
    """A file-like sink that compares what pycdlib writes with the source."""

    def __init__(self, source):
        self.source = open(source, 'rb')
        self.length = 0
        self.same = True

    def write(self, data):
        if self.same and self.source.read(len(data)) != data:
            self.same = False
        self.length += len(data)

    def complete(self):
        return self.same and self.source.read(1) == b''


def main():
    image, manifest = sys.argv[1], sys.argv[2]
    fields = open(manifest, 'rb').read().split(b'\0')
    expected = {fields[i].decode('utf-8'): fields[i + 1] for i in range(0, len(fields) - 1, 2)}

    iso = pycdlib.PyCdlib()
    iso.open(image)
    joliet_files = 0
    for path, _, files in iso.walk(joliet_path='/'):
        for name in files:
            joliet_files += 1
            full = (path.rstrip('/') + '/' + name)[1:]
            if full not in expected:
                print('unexpected', full)
                continue
            sink = Comparer(expected.pop(full))
            iso.get_file_from_iso_fp(sink, joliet_path='/' + full)
            if not sink.complete():
                print('different', full, sink.length)
    for full in sorted(expected):
        print('missing', full)

    primary_files = 0
    for path, folders, files in iso.walk(iso_path='/'):
        level = path.count('/') + (0 if path == '/' else 1)
        if folders and level >= 8:
            print('primary tree deeper than eight levels at', path)
        for name in folders:
            if not PRIMARY_FOLDER.match(name.encode()):
                print('primary folder name', path, name)
        for name in files:
            primary_files += 1
            if not PRIMARY_FILE.match(name.encode()):
                print('primary file name', path, name)
    iso.close()
    print('files', joliet_files, primary_files)


if __name__ == '__main__':
    main()

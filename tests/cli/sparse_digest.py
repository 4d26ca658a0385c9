"""Digest of a mostly-zero byte stream on standard input.

Prints the stream's length, then each run of non-zero bytes as
OFFSET:TEXT (Latin-1), runs that touch merged, so a large sparse file can
be checked for its length and its few marks without a copy to compare.
"""
import sys


def main():
    stream = sys.stdin.buffer
    length = 0
    runs = []  # [offset, bytearray]
    while True:
        chunk = stream.read(1 << 20)
        if not chunk:
            break
        at = 0
        while chunk.count(0, at) != len(chunk) - at:
            start = len(chunk) - len(chunk[at:].lstrip(b'\0'))
            end = chunk.find(b'\0', start)
            end = len(chunk) if end < 0 else end
            if runs and runs[-1][0] + len(runs[-1][1]) == length + start:
                runs[-1][1] += chunk[start:end]
            else:
                runs.append([length + start, bytearray(chunk[start:end])])
            at = end
        length += len(chunk)
    print(length, ' '.join('%d:%s' % (offset, text.decode('latin-1')) for offset, text in runs))


if __name__ == '__main__':
    main()

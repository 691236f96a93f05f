#!/usr/bin/env python3
"""Writes a record file (*.kvlu) from a plain body and raw description bytes, as other writers make them.

The test data under tests/data/records was made with this script, so files that this program would never
write itself (a description in GBK or Windows-1252, a value field of "-1000.0") can be kept and re-made.
usage: make-record-file.py OUT.kvlu BODY DESCRIPTION_HEX
"""
import sys

CHAIN_SEED = ord("K")
NUMBERS = (7, 45, 200, 0, 99)


def key_of(n):
    return (n[3] * n[4] + (n[0] * n[1]) // n[2]) & 0xFF


def scramble(plain, offset, key, chain):
    mask = ((offset >> 8) ^ offset) & 0x7F
    x = plain & 0x7F
    for j in range(7):
        if mask & (1 << j):
            x ^= 1 << j
        x = ((x << 1) | (x >> 6)) & 0x7F
    s = (x ^ key ^ chain) & 0x7F
    return 0x9A if s == 0x1A else s


def main():
    out, body, description = sys.argv[1], sys.argv[2].encode("ascii"), bytes.fromhex(sys.argv[3])
    data = bytearray("".join("%3d" % n for n in NUMBERS).encode("ascii"))
    key, chain = key_of(NUMBERS), CHAIN_SEED
    for i, b in enumerate(body):
        data.append(scramble(b, 15 + i, key, chain))
        chain = b
    data += description[:64] + bytes(64 - min(64, len(description)))
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()

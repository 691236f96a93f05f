#!/usr/bin/env python3
"""Changes one sample of a record file (*.kvlu) the way another program would: unscramble the body, put a new
value into the sample's 7-character field, scramble again with the file's own header numbers.
usage: change-record-sample.py IN.kvlu OUT.kvlu SAMPLE_NUMBER VALUE FIELDS_PER_SAMPLE SAMPLE_COUNT
SAMPLE_NUMBER counts from 1; FIELDS_PER_SAMPLE is 2 for temperature-and-humidity files (the temperature changes).
"""
import sys

CHAIN_SEED = ord("K")
HEADER = 15
DESCRIPTION = 64
FIELD = 7


def mask_of(offset):
    return ((offset >> 8) ^ offset) & 0x7F


def scramble(plain, offset, key, chain):
    mask = mask_of(offset)
    x = plain & 0x7F
    for j in range(7):
        if mask & (1 << j):
            x ^= 1 << j
        x = ((x << 1) | (x >> 6)) & 0x7F
    s = (x ^ key ^ chain) & 0x7F
    return 0x9A if s == 0x1A else s


def unscramble(raw, offset, key, chain):
    mask = mask_of(offset)
    x = ((raw & 0x7F) ^ key ^ chain) & 0x7F
    for j in reversed(range(7)):
        x = ((x >> 1) | (x << 6)) & 0x7F
        if mask & (1 << j):
            x ^= 1 << j
    return x


def main():
    src, out, number, value = sys.argv[1], sys.argv[2], int(sys.argv[3]), float(sys.argv[4])
    fields, count = int(sys.argv[5]), int(sys.argv[6])
    data = open(src, "rb").read()
    numbers = [int(data[i:i + 3]) for i in range(0, HEADER, 3)]
    key = (numbers[3] * numbers[4] + (numbers[0] * numbers[1]) // numbers[2]) & 0xFF
    raw = data[HEADER:len(data) - DESCRIPTION]
    body, chain = bytearray(), CHAIN_SEED
    for i, b in enumerate(raw):
        p = unscramble(b, HEADER + i, key, chain)
        body.append(p)
        chain = p
    # The samples close the body: the sample fields are its last count * fields * 7 bytes.
    at = len(body) - (count - (number - 1)) * fields * FIELD
    text = ("%4.2f" % value).ljust(FIELD).encode("ascii")
    body[at:at + FIELD] = text
    scrambled, chain = bytearray(), CHAIN_SEED
    for i, p in enumerate(body):
        scrambled.append(scramble(p, HEADER + i, key, chain))
        chain = p
    with open(out, "wb") as f:
        f.write(data[:HEADER] + bytes(scrambled) + data[len(data) - DESCRIPTION:])


if __name__ == "__main__":
    main()

"""PNG pixels for scripts/gimp3, in plain Python (the root's python3):
  pixels.py sky OUT W H    writes an 8-bit RGB sky gradient
  pixels.py same A B       exits 0 when A and B decode to the same pixels
Only what the check writes and reads: 8-bit, not interlaced, grey or RGB,
with or without alpha; the decoded pixels are compared, never the files."""
import struct
import sys
import zlib

CHANNELS = {0: 1, 2: 3, 4: 2, 6: 4}


def chunks(data):
    at = 8
    while at < len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        yield kind, data[at + 8:at + 8 + size]
        at += 12 + size


def decode(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(path + ": not a PNG")
    idat = b""
    for kind, body in chunks(data):
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
    if depth != 8 or interlace or colour not in CHANNELS:
        raise SystemExit("%s: depth %d, colour type %d, interlace %d: not read here" % (path, depth, colour, interlace))
    n = CHANNELS[colour]
    raw = zlib.decompress(idat)
    stride = width * n
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = row[x - n] if x >= n else 0
            b = previous[x]
            c = previous[x - n] if x >= n else 0
            if kind == 1:
                row[x] = (row[x] + a) & 255
            elif kind == 2:
                row[x] = (row[x] + b) & 255
            elif kind == 3:
                row[x] = (row[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[x] = (row[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(row))
        previous = row
    # Every picture as RGBA, so that an opaque RGBA export equals an RGB one.
    pixels = bytearray()
    for row in rows:
        for x in range(width):
            p = row[x * n:(x + 1) * n]
            grey = n <= 2
            rgb = p[0:1] * 3 if grey else p[0:3]
            alpha = p[n - 1:n] if n in (2, 4) else b"\xff"
            pixels += rgb + alpha
    return width, height, bytes(pixels)


def sky(path, width, height):
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            t = y / max(1, height - 1)
            raw += bytes((int(40 + 150 * t + 20 * x / width), int(90 + 120 * t), int(200 + 40 * t)))
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                  chunk(b"IDAT", zlib.compress(bytes(raw))) + chunk(b"IEND", b""))


if sys.argv[1] == "sky":
    sky(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
elif sys.argv[1] == "same":
    a, b = decode(sys.argv[2]), decode(sys.argv[3])
    if a[:2] != b[:2]:
        raise SystemExit("%dx%d against %dx%d" % (a[0], a[1], b[0], b[1]))
    differ = sum(1 for k in range(0, len(a[2]), 4) if a[2][k:k + 4] != b[2][k:k + 4])
    if differ:
        raise SystemExit("%d of %d pixels differ" % (differ, a[0] * a[1]))

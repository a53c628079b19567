# Converts an X window dump (xwd, 24/32-bit TrueColor) into a PNG, with nothing but the standard library.
#   xwd_to_png.py IN.xwd OUT.png [X,Y,W,H]
import sys, struct, zlib
data = open(sys.argv[1], 'rb').read()
hdr = struct.unpack('>25I', data[:100])
header_size, version, fmt, depth, width, height = hdr[0], hdr[1], hdr[2], hdr[3], hdr[4], hdr[5]
bpp = hdr[11]; bpl = hdr[12]; ncolors = hdr[19]
byte_order = hdr[7]
off = header_size + ncolors * 12
x0, y0, w, h = [int(v) for v in sys.argv[3].split(',')] if len(sys.argv) > 3 else (0, 0, width, height)
rows = []
for y in range(y0, y0 + h):
    row = bytearray(b'\x00')
    base = off + y * bpl
    for x in range(x0, x0 + w):
        k = bpp // 8
        p = data[base + x*k: base + x*k + k]
        if byte_order == 0: b, g, r = p[0], p[1], p[2]
        else: r, g, b = (p[1], p[2], p[3]) if k == 4 else (p[0], p[1], p[2])
        row += bytes((r, g, b))
    rows.append(bytes(row))
raw = b''.join(rows)
def chunk(t, d): return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0)) + chunk(b'IDAT', zlib.compress(raw, 6)) + chunk(b'IEND', b'')
open(sys.argv[2], 'wb').write(png)

"""Just enough PNG reading for screenshots and the renderer's pictures: 8-bit RGB or RGBA,
not interlaced. Returns width, height and rows of (r, g, b) bytes."""
import struct
import zlib


def read(data):
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour in (2, 6) and interlace == 0, "unsupported PNG"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    channels = 3 if colour == 2 else 4
    stride = width * channels
    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc
                                      else corner)) & 255
        rows.append(bytes(line) if channels == 3 else
                    bytes(b for x in range(width) for b in line[x * 4:x * 4 + 3]))
        previous = line
    return width, height, rows


def lit(picture, left=0, top=0, width=None, height=None, threshold=48):
    """Lit pixels in a window of the picture: their count and their centre."""
    full_width, full_height, rows = picture
    width = full_width - left if width is None else width
    height = full_height - top if height is None else height
    count = sx = sy = 0
    for y in range(top, top + height):
        row = rows[y]
        for x in range(left, left + width):
            if max(row[3 * x:3 * x + 3]) > threshold:
                count += 1
                sx += x - left
                sy += y - top
    return count, (sx / count, sy / count) if count else (None, None)

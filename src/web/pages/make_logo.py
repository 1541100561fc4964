#!/ usr / bin / env python3
"""Draws the help desk's logo and writes it as a GIF and as C++ source.

The pages ask for kvlogo.gif at 80 x 69 pixels. The logo is a teal speech
bubble with the letters "KV" in white, drawn with 4 x 4 supersampling so that
its edges are smooth on the white page. Run it after changing the drawing:

    python3 src/web/pages/make_logo.py            # rewrites src/web/pages/logo_gif.cc
    python3 src/web/pages/make_logo.py out.gif    # also writes the GIF file

Only the standard library is used: the GIF is encoded here (LZW included) and
decoded again as a check before anything is written.
"""

import math
import sys

WIDTH, HEIGHT = 80, 69
SAMPLES = 4
BACKGROUND = (255, 255, 255)
TEAL = (15, 118, 110)
LETTER = (255, 255, 255)


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_triangle(x, y, a, b, c):
    def side(p, q):
        return (x - q[0]) * (p[1] - q[1]) - (p[0] - q[0]) * (y - q[1])
    d1, d2, d3 = side(a, b), side(b, c), side(c, a)
    negative = d1 < 0 or d2 < 0 or d3 < 0
    positive = d1 > 0 or d2 > 0 or d3 > 0
    return not (negative and positive)


def near_segment(x, y, a, b, half_width):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= half_width ** 2


def in_bubble(x, y):
    return (in_rounded_rect(x, y, 3, 3, 77, 53, 14) or
            in_triangle(x, y, (17, 48), (35, 48), (12, 66)))
#The letters as strokes with round ends : K, then V.
TOP, BOTTOM, STROKE = 15, 41, 3.6
STROKES = [
    ((17, TOP), (17, BOTTOM)),
    ((35, TOP), (20, 29)),
    ((23, 27), (36, BOTTOM)),
    ((44, TOP), (53.5, BOTTOM)),
    ((53.5, BOTTOM), (63, TOP)),
]


def in_letters(x, y):
    return any(near_segment(x, y, a, b, STROKE) for a, b in STROKES)


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def draw():
    pixels = []
    for row in range(HEIGHT):
        for col in range(WIDTH):
            bubble = letters = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = col + (sx + 0.5) / SAMPLES
                    y = row + (sy + 0.5) / SAMPLES
                    if in_bubble(x, y):
                        bubble += 1
                        if in_letters(x, y):
                            letters += 1
            total = SAMPLES * SAMPLES
            colour = mix(BACKGROUND, TEAL, bubble / total)
            colour = mix(colour, LETTER, letters / total)
            pixels.append(colour)
    return pixels


def lzw_encode(indices, min_code_size):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out = bytearray()
    bit_buffer = bit_count = 0

    def emit(code, width):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += width
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    def fresh_table():
        return {(i,): i for i in range(clear)
}

    table, next_code, width = fresh_table(), end + 1, min_code_size + 1
    emit(clear, width)
    current = ()
    for index in indices:
        candidate = current + (index,)
        if candidate in table:
            current = candidate
            continue
        emit(table[current], width)
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
#The decoder adds each entry one code later than we do, so it
#widens its codes when our next free code passes 2 ^ width.
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table, next_code, width = fresh_table(), end + 1, min_code_size + 1
        current = (index,)
    if current:
        emit(table[current], width)
    emit(end, width)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    return bytes(out)


def lzw_decode(data, min_code_size, count):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    position = 0
    width = min_code_size + 1
    table = [(i,) for i in range(clear)] + [(), ()]
    previous = None
    result = []
    while len(result) < count:
        code = 0
        for bit in range(width):
            byte = data[(position + bit) // 8]
            code |= ((byte >> ((position + bit) % 8)) & 1) << bit
        position += width
        if code == clear:
            table = [(i,) for i in range(clear)] + [(), ()]
            width, previous = min_code_size + 1, None
            continue
        if code == end:
            break
        if previous is None:
            entry = table[code]
        else:
            if code < len(table):
                entry = table[code]
                table.append(table[previous] + entry[:1])
            else:
                entry = table[previous] + table[previous][:1]
                table.append(entry)
            if len(table) == (1 << width) and width < 12:
                width += 1
        result.extend(entry)
        previous = code
    return result


def encode_gif(pixels):
    palette = sorted(set(pixels))
    assert len(palette) <= 256, len(palette)
    bits = max(1, math.ceil(math.log2(len(palette))))
    size = 1 << bits
    lookup = {
colour: i for i, colour in enumerate(palette)}
    indices = [lookup[p] for p in pixels]
    min_code_size = max(2, bits)
    data = lzw_encode(indices, min_code_size)
    assert lzw_decode(data, min_code_size, len(indices)) == indices

    gif = bytearray(b"GIF89a")
    gif += WIDTH.to_bytes(2, "little") + HEIGHT.to_bytes(2, "little")
    gif += bytes([0x80 | (bits - 1), 0, 0])  # global colour table, no aspect
    for colour in palette + [(0, 0, 0)] * (size - len(palette)):
        gif += bytes(colour)
    gif += b"\x2c" + bytes(4)  # image at 0,0
    gif += WIDTH.to_bytes(2, "little") + HEIGHT.to_bytes(2, "little")
    gif += b"\x00"  # no local colour table, not interlaced
    gif += bytes([min_code_size])
    for start in range(0, len(data), 255):
        block = data[start:start + 255]
        gif += bytes([len(block)]) + block
    gif += b"\x00\x3b"
    return bytes(gif)


def cpp_source(gif):
    lines = []
    for start in range(0, len(gif), 12):
        chunk = gif[start:start + 12]
        lines.append("    " + ", ".join(f"0x{b:02x}" for b in chunk) + ",")
    body = "\n".join(lines)
    return f"""// Generated by src/web/pages/make_logo.py: the logo that every page shows, a GIF
    // of {WIDTH} x {HEIGHT} pixels. Edit the script, not this file.

#include "web/pages/assets.h"

namespace kirvs::web {
  {
    namespace {
    {

      constexpr unsigned char kLogo[] = {{{body}}};

    }
    }  // namespace

    std::string_view LogoGif() {
      {
        return std::string_view(reinterpret_cast<const char*>(kLogo),
                                sizeof kLogo);
      }
    }
  }}  // namespace kirvs::web
"""


def main():
    gif = encode_gif(draw())
    here = __file__.rsplit("/", 1)[0] if "/" in __file__ else "."
    with open(f"{here}/logo_gif.cc", "w") as out:
        out.write(cpp_source(gif))
    if len(sys.argv) > 1:
        with open(sys.argv[1], "wb") as out:
            out.write(gif)
    print(f"{len(gif)} bytes")


if __name__ == "__main__":
    main()

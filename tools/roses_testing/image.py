"""Pictures as 8-bit RGB rows, and what is lit in them."""

import collections
import math
import re
import subprocess

from roses_testing.processes import wait_until


class Image:
    def __init__(self, width, height, pixels):
        self.width, self.height, self.pixels = width, height, pixels

    def black(self):
        """Whether no pixel is lit at all (fast: the lit counts walk every pixel)."""
        return not self.pixels.strip(b"\0")

    def lit(self, x=0, y=0, width=None, height=None, threshold=0):
        """How many pixels of the rectangle have a channel brighter than threshold."""
        width = self.width - x if width is None else width
        height = self.height - y if height is None else height
        count = 0
        for row in range(y, y + height):
            start = (row * self.width + x) * 3
            line = self.pixels[start:start + width * 3]
            if line and max(line) > threshold:
                count += sum(1 for i in range(0, len(line), 3)
                             if max(line[i], line[i + 1], line[i + 2]) > threshold)
        return count

    def crop(self, x, y, width, height):
        """The rectangle as an Image of its own."""
        return Image(width, height, b"".join(
            self.pixels[((y + row) * self.width + x) * 3:((y + row) * self.width + x + width) * 3]
            for row in range(height)))

    def partly_covered(self):
        """The share of lit pixels less than half as bright as their brightest neighbour across
        or along: pixels that a line's edge covers in part, as multisampling leaves them. An
        aliased line has none but where its colour fades out."""
        width = self.width
        bright = [max(self.pixels[i:i + 3]) for i in range(0, len(self.pixels), 3)]
        lit = partly = 0
        for i in range(width + 1, len(bright) - width - 1):
            if bright[i] and 0 < i % width < width - 1:
                lit += 1
                partly += 2 * bright[i] < max(bright[i - 1], bright[i + 1], bright[i - width],
                                              bright[i + width])
        return partly / lit if lit else 0.0

    def lit_outside(self, x, y, width, height, threshold=0):
        return self.lit(threshold=threshold) - self.lit(x, y, width, height, threshold)

    def lit_box(self):
        """The smallest rectangle (left, top, right, bottom) holding every pixel that is not
        black, or None when there is none."""
        box = None
        row_bytes = self.width * 3
        for row in range(self.height):
            line = self.pixels[row * row_bytes:(row + 1) * row_bytes]
            lit = line.strip(b"\0")
            if not lit:
                continue
            left = (len(line) - len(line.lstrip(b"\0"))) // 3
            right = (len(line.rstrip(b"\0")) + 2) // 3
            box = (left, row, right, row + 1) if box is None else \
                (min(box[0], left), box[1], max(box[2], right), row + 1)
        return box

    def changed_outside(self, other, x, y, width, height):
        """The first (column, row) outside the rectangle where other differs, or None."""
        row_bytes = self.width * 3
        for row in range(self.height):
            old = self.pixels[row * row_bytes:(row + 1) * row_bytes]
            new = other.pixels[row * row_bytes:(row + 1) * row_bytes]
            if old == new:
                continue
            for column in range(self.width):
                inside = y <= row < y + height and x <= column < x + width
                if not inside and old[column * 3:column * 3 + 3] != new[column * 3:column * 3 + 3]:
                    return column, row
        return None


# A run of lit (non-zero) bytes with at least two dark ones on either side: a line's
# crossing, not a gap's worth of a clump.
ISOLATED_LIT = re.compile(rb"(?<=\0\0)[^\0]+(?=\0\0)")


def line_thickness(image):
    """How many pixels wide the lines of a picture are, or None when it does not tell.
    A line that runs more across than up crosses each column in a run of lit pixels as long as
    it is wide, and the other way round; crossings, ends and runs along a line come in every
    length. So the width is the commonest length of the runs along rows and columns, once at
    least 100 pixels are lit and it occurs 10 times and twice as often as any other: a rose's
    first few points say nothing. Only runs with dark on both sides count: in a rose seen from
    afar as a clump, the runs between its pinholes come in any length, and one of them can
    outnumber the rest (5 for lines 4 wide, or 1). Nor does a rose that spans less than a
    tenth of the picture's shorter side: a young one drawn small is all clump (14 pixels
    square, it told 12 for lines 4 wide; 6 by 23, it told 5)."""
    def lit_flags(channel):
        return int.from_bytes(image.pixels[channel::3].translate(bytes([0] + [1] * 255)), "big")
    width = image.width
    mask = (lit_flags(0) | lit_flags(1) | lit_flags(2)).to_bytes(width * image.height, "big")
    if mask.count(1) < 100:
        return None
    rows = [mask[row * width:(row + 1) * width] for row in range(image.height)]
    columns = [mask[column::width] for column in range(width)]
    left, top, right, bottom = image.lit_box()
    if max(right - left, bottom - top) < min(width, image.height) / 10:
        return None
    runs = collections.Counter(len(run) for line in rows + columns
                               for run in ISOLATED_LIT.findall(line))
    # Two entries even where no run has dark on both sides (a picture lit all over).
    (length, count), (_, next_count) = (runs.most_common(2) + [(0, 0)] * 2)[:2]
    return length if count >= 10 and count >= 2 * next_count else None


def line_profile(image):
    """How wide the lines of a picture are and how sharp, or None while too few lines show to
    tell. The runs of lit pixels along rows and columns that are 8 pixels or shorter, with
    dark on both sides, are mostly runs across lines; the width is their commonest length.
    Sharp lines end at full brightness, and the sharpness is the share of those runs in which
    no pixel is darker than half the brightest: about 1 for lines drawn at the picture's own
    pixels, about a third for lines drawn larger and shrunk by a filter, which dims their
    edges (and widens them)."""
    pixels, width = image.pixels, image.width
    brightness = bytes(map(max, pixels[0::3], pixels[1::3], pixels[2::3]))
    lines = [brightness[row * width:(row + 1) * width] for row in range(image.height)]
    lines += [brightness[column::width] for column in range(width)]
    lengths, sharp = collections.Counter(), 0
    for line in lines:
        for run in ISOLATED_LIT.findall(line):
            if len(run) <= 8:
                lengths[len(run)] += 1
                sharp += 2 * min(run) >= max(run)
    runs = sum(lengths.values())
    if runs < 300:
        return None
    return lengths.most_common(1)[0][0], sharp / runs


# Sharp lines measure about 1 (line_profile), lines of a buffer shrunk about a third.
SHARP = 0.9


def as_the_scale_says(profile, scale):
    """Lines 2 x the scale wide (a rasteriser rounds a fractional width either way), and
    sharp."""
    width, sharpness = profile or (None, 0)
    return width in (math.floor(2 * scale), math.ceil(2 * scale)) and sharpness >= SHARP


def describe(profile):
    return "no lines to measure" if profile is None else \
        f"lines {profile[0]} pixels wide, {profile[1]:.0%} of them sharp"


def wait_for_line_thickness(picture, timeout):
    """The line thickness that two pictures in a row (each an Image, or None) tell alike, or
    None: now and then one picture's rose lies in pairs of touching lines."""
    told = [None]

    def measured():
        image = picture()
        width = image and line_thickness(image)
        agreed = width if width and width == told[0] else None
        told[0] = width
        return agreed
    return wait_until(measured, timeout, step=0.3)


def screenshot(path=None, env=None):
    """The whole screen of the display in DISPLAY (or env's); with a path, also saved there
    as a PNG."""
    data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], check=True,
                          capture_output=True, timeout=30, env=env).stdout
    if path:
        subprocess.run(["convert", "ppm:-", path], input=data, check=True, timeout=30)
    return image_from_ppm(data)


def image_from_ppm(data):
    # Binary PPM: "P6", width, height, maxval, each followed by one blank, then RGB bytes.
    fields, offset = [], 0
    while len(fields) < 4:
        while data[offset:offset + 1].isspace():
            offset += 1
        end = offset
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[offset:end])
        offset = end
    width, height = int(fields[1]), int(fields[2])
    if fields[0] != b"P6" or fields[3] != b"255":
        raise RuntimeError("not an 8-bit binary PPM")
    return Image(width, height, data[offset + 1:offset + 1 + width * height * 3])


def image_from_png(data):
    """A PNG's bytes (a browser's screenshot, the headless renderer's picture) as an Image."""
    ppm = subprocess.run(["convert", "png:-", "-depth", "8", "ppm:-"], input=data, check=True,
                         capture_output=True, timeout=30).stdout
    return image_from_ppm(ppm)

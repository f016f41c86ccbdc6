"""Reads the screen of an Xvfb started with `-fbdir DIR` straight from its memory-mapped file DIR/Xvfb_screen0.

Reading a file starts no process, so a screen can be captured while the client's protection shield runs
(it ends processes started after the player page began to load).

The file is an XWD dump: a header of CARD32 fields, most significant byte first, then the window name, then
`ncolors` colour entries of 12 bytes, then the pixels, `bytes_per_line` bytes a row.
"""

import struct

HEADER_FIELDS = (
    "header_size", "file_version", "pixmap_format", "pixmap_depth", "pixmap_width", "pixmap_height",
    "xoffset", "byte_order", "bitmap_unit", "bitmap_bit_order", "bitmap_pad", "bits_per_pixel",
    "bytes_per_line", "visual_class", "red_mask", "green_mask", "blue_mask", "bits_per_rgb",
    "colormap_entries", "ncolors", "window_width", "window_height", "window_x", "window_y",
    "window_bdrwidth")
XWD_FILE_VERSION = 7
LSB_FIRST = 0
COLOUR_ENTRY_SIZE = 12


class Screen:
    def __init__(self, data):
        if len(data) < 4 * len(HEADER_FIELDS):
            raise ValueError("not an XWD dump: %d bytes" % len(data))
        header = dict(zip(HEADER_FIELDS, struct.unpack(">%dI" % len(HEADER_FIELDS), data[:4 * len(HEADER_FIELDS)])))
        if header["file_version"] != XWD_FILE_VERSION:
            raise ValueError("not an XWD dump: version %d" % header["file_version"])
        # Only the layout Xvfb uses for a 24-bit screen is read: 32 bits a pixel, xRGB in the host's order.
        if (header["bits_per_pixel"], header["red_mask"], header["green_mask"], header["blue_mask"]) != (
                32, 0xFF0000, 0x00FF00, 0x0000FF):
            raise ValueError("unsupported pixel layout: %r" % header)
        self.width = header["pixmap_width"]
        self.height = header["pixmap_height"]
        self.lsb_first = header["byte_order"] == LSB_FIRST
        self.stride = header["bytes_per_line"]
        self.pixels_at = header["header_size"] + header["ncolors"] * COLOUR_ENTRY_SIZE
        if len(data) < self.pixels_at + self.stride * self.height:
            raise ValueError("XWD dump cut short")
        self.data = data

    @classmethod
    def read(cls, path):
        with open(path, "rb") as f:
            return cls(f.read())

    def rgb(self, x, y, width, height):
        """The rectangle as packed RGB bytes, row after row; it must lie on the screen."""
        if x < 0 or y < 0 or width <= 0 or height <= 0 or x + width > self.width or y + height > self.height:
            raise ValueError("rectangle %d,%d %dx%d is not on the %dx%d screen" % (x, y, width, height,
                                                                                    self.width, self.height))
        red, green, blue = (2, 1, 0) if self.lsb_first else (1, 2, 3)
        out = bytearray(width * height * 3)
        for row in range(height):
            start = self.pixels_at + (y + row) * self.stride + 4 * x
            line = self.data[start:start + 4 * width]
            at = row * width * 3
            out[at:at + width * 3:3] = line[red::4]
            out[at + 1:at + width * 3:3] = line[green::4]
            out[at + 2:at + width * 3:3] = line[blue::4]
        return bytes(out)

    def ppm(self, x, y, width, height):
        """The rectangle as a binary PPM (P6) picture."""
        return b"P6\n%d %d\n255\n" % (width, height) + self.rgb(x, y, width, height)

"""One grab of the screen as xwd writes it, with the pixel checks the tests make on it.

Only the Python standard library is used.
"""

import struct


class Shot:
    """One grab of the root window: raw xwd bytes and pixel access as (r, g, b)."""

    def __init__(self, data):
        fields = struct.unpack(">25I", data[:100])
        header_size, depth, self.width, self.height = fields[0], fields[3], fields[4], fields[5]
        byte_order, bits_per_pixel, self.stride = fields[7], fields[11], fields[12]
        masks, ncolors = fields[14:17], fields[19]
        if bits_per_pixel not in (24, 32) or depth != 24:
            raise RuntimeError(f"unexpected xwd format: {bits_per_pixel} bpp, depth {depth}")
        self.data = data
        self.offset = header_size + 12 * ncolors
        self.size = bits_per_pixel // 8
        self.order = "little" if byte_order == 0 else "big"
        self.shifts = [(m & -m).bit_length() - 1 for m in masks]

    def pixel(self, x, y):
        start = self.offset + y * self.stride + self.size * x
        v = int.from_bytes(self.data[start:start + self.size], self.order)
        return tuple((v >> s) & 0xFF for s in self.shifts)

    def mean(self, x0, y0, x1, y1):
        """Mean grey level (0..255) over the pixels x0 <= x < x1, y0 <= y < y1."""
        total = 0
        for y in range(y0, y1):
            for x in range(x0, x1):
                total += sum(self.pixel(x, y))
        return total / (3 * (x1 - x0) * (y1 - y0))

    def first_bright(self, x, y, dx, dy, steps, limit=128):
        """The first of `steps` pixels from (x, y) in steps of (dx, dy) that is brighter than
        `limit`, as (x, y), or None."""
        for _ in range(steps):
            if sum(self.pixel(x, y)) > 3 * limit:
                return x, y
            x, y = x + dx, y + dy
        return None

    def dark_box(self, x0, y0, x1, y1, limit=128):
        """Bounding box (x0, y0, x1, y1) of the pixels darker than `limit`, or None."""
        xs, ys = [], []
        for y in range(y0, y1):
            for x in range(x0, x1):
                if sum(self.pixel(x, y)) < 3 * limit:
                    xs.append(x)
                    ys.append(y)
        return (min(xs), min(ys), max(xs) + 1, max(ys) + 1) if xs else None

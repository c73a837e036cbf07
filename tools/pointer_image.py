#!/usr/bin/env python3
"""Writes the mouse pointer that an X server is showing now as a PAM picture with alpha.

usage: pointer_image.py <output.pam>      (the display comes from $DISPLAY)

Screen grabs such as xwd never contain the pointer; this asks the server for its current pointer
image through the XFixes extension, so that a screenshot can have it drawn in. It prints
"LEFT TOP" on standard output: where the picture's top-left corner goes on the screen (the
pointer's position minus its hotspot). Standard library only; loads libX11 and libXfixes.
"""

import ctypes
import ctypes.util
import sys


class CursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
                ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("cursor_serial", ctypes.c_ulong),
                ("pixels", ctypes.POINTER(ctypes.c_ulong)),  # premultiplied ARGB, one per long
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


def load(name):
    path = ctypes.util.find_library(name)
    if not path:
        sys.exit(f"pointer_image: lib{name} not found")
    return ctypes.CDLL(path)


def straight_rgba(argb):
    """One premultiplied ARGB pixel as straight-alpha RGBA bytes."""
    a = (argb >> 24) & 0xFF
    if a == 0:
        return bytes(4)
    return bytes(min(255, ((argb >> s) & 0xFF) * 255 // a) for s in (16, 8, 0)) + bytes([a])


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    x11, xfixes = load("X11"), load("Xfixes")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XFree.argtypes = [ctypes.c_void_p]
    xfixes.XFixesQueryExtension.argtypes = [ctypes.c_void_p] + [ctypes.POINTER(ctypes.c_int)] * 2
    xfixes.XFixesQueryVersion.argtypes = [ctypes.c_void_p] + [ctypes.POINTER(ctypes.c_int)] * 2
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(CursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]

    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("pointer_image: cannot open the display")
    event_base, error_base = ctypes.c_int(), ctypes.c_int()
    if not xfixes.XFixesQueryExtension(display, ctypes.byref(event_base), ctypes.byref(error_base)):
        sys.exit("pointer_image: the X server has no XFixes extension")
    major, minor = ctypes.c_int(6), ctypes.c_int(0)  # the server needs the version agreed first
    xfixes.XFixesQueryVersion(display, ctypes.byref(major), ctypes.byref(minor))
    image_ptr = xfixes.XFixesGetCursorImage(display)
    if not image_ptr:
        sys.exit("pointer_image: the server gave no pointer image")
    image = image_ptr.contents
    w, h = image.width, image.height
    rgba = b"".join(straight_rgba(image.pixels[i]) for i in range(w * h))
    with open(sys.argv[1], "wb") as out:
        out.write(f"P7\nWIDTH {w}\nHEIGHT {h}\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
                  .encode() + rgba)
    print(image.x - image.xhot, image.y - image.yhot)
    x11.XFree(image_ptr)
    x11.XCloseDisplay(display)


if __name__ == "__main__":
    main()

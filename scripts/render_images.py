#!/usr/bin/python3
"""Renders the wizard's images from their SVG sources with librsvg and cairo (through ctypes, so no
Python package beyond the standard library is needed). Run from the repository root:
    /usr/bin/python3 scripts/render_images.py
"""
import ctypes
import ctypes.util
import sys

IMAGES = [
    ("resources/icons/quorvane.svg", "resources/icons/quorvane-256.png", 256, 256),
    ("resources/icons/quorvane.svg", "resources/icons/quorvane-48.png", 48, 48),
    ("resources/watermark.svg", "resources/watermark.png", 164, 314),
]


def load(name, fallback):
    path = ctypes.util.find_library(name) or fallback
    return ctypes.CDLL(path)


rsvg = load("rsvg-2", "librsvg-2.so.2")
cairo = load("cairo", "libcairo.so.2")
gobject = load("gobject-2.0", "libgobject-2.0.so.0")

rsvg.rsvg_handle_new_from_file.restype = ctypes.c_void_p
rsvg.rsvg_handle_new_from_file.argtypes = [ctypes.c_char_p, ctypes.c_void_p]
rsvg.rsvg_handle_render_cairo.argtypes = [ctypes.c_void_p, ctypes.c_void_p]


class Dimensions(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("em", ctypes.c_double), ("ex", ctypes.c_double)]


rsvg.rsvg_handle_get_dimensions.argtypes = [ctypes.c_void_p, ctypes.POINTER(Dimensions)]
cairo.cairo_image_surface_create.restype = ctypes.c_void_p
cairo.cairo_image_surface_create.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_int]
cairo.cairo_create.restype = ctypes.c_void_p
cairo.cairo_create.argtypes = [ctypes.c_void_p]
cairo.cairo_scale.argtypes = [ctypes.c_void_p, ctypes.c_double, ctypes.c_double]
cairo.cairo_surface_write_to_png.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
cairo.cairo_destroy.argtypes = [ctypes.c_void_p]
cairo.cairo_surface_destroy.argtypes = [ctypes.c_void_p]
gobject.g_object_unref.argtypes = [ctypes.c_void_p]

CAIRO_FORMAT_ARGB32 = 0

for source, target, width, height in IMAGES:
    handle = rsvg.rsvg_handle_new_from_file(source.encode(), None)
    if not handle:
        sys.exit(f"{source}: librsvg cannot read it")
    size = Dimensions()
    rsvg.rsvg_handle_get_dimensions(handle, ctypes.byref(size))
    surface = cairo.cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)
    context = cairo.cairo_create(surface)
    cairo.cairo_scale(context, width / size.width, height / size.height)
    rsvg.rsvg_handle_render_cairo(handle, context)
    if cairo.cairo_surface_write_to_png(surface, target.encode()) != 0:
        sys.exit(f"{target}: cannot write it")
    cairo.cairo_destroy(context)
    cairo.cairo_surface_destroy(surface)
    gobject.g_object_unref(handle)
    print(f"{target}: {width} x {height}")

"""The X server through Xlib and XFixes (ctypes, so nothing has to be compiled): screen
captures, the shown top-level windows and the pointer's picture, each over an XConnection."""

from __future__ import annotations

import ctypes
import ctypes.util
import functools

from .images import Image, Region
from .processes import HarnessError


class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
                ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong)]
    # The rest (obdata, function table) is not read here.


class _XFixesCursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
                ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("cursor_serial", ctypes.c_ulong), ("pixels", ctypes.POINTER(ctypes.c_ulong)),
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


class _XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
                ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong), ("class_", ctypes.c_int),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class CursorImage:
    """The pointer's current picture as the X server shows it; pixels are ARGB."""

    def __init__(self, width: int, height: int, hotspot: tuple, position: tuple, pixels: list):
        self.width, self.height, self.hotspot = width, height, hotspot
        self.position, self.pixels = position, pixels

    @property
    def visible_pixels(self) -> int:
        return sum(1 for p in self.pixels if (p >> 24) & 0xFF)

    @property
    def blank(self) -> bool:
        return self.visible_pixels == 0


_X_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_x_errors: list[int] = []


@_X_ERROR_HANDLER
def _record_x_error(display, event):
    # Xlib's default handler would exit the whole test run on e.g. a BadMatch.
    _x_errors.append(ctypes.cast(event, ctypes.POINTER(ctypes.c_ubyte))[16])  # error_code
    return 0



@functools.cache
def libs() -> tuple:
    """(libX11, libXfixes) with the signatures used here; Xlib's errors recorded, not fatal."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XDefaultScreen.argtypes = [ctypes.c_void_p]
    x11.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XRootWindow.restype = ctypes.c_ulong
    x11.XRootWindow.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XGetImage.restype = ctypes.POINTER(_XImage)
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                              ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
    x11.XFree.argtypes = [ctypes.c_void_p]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XSetErrorHandler.restype = ctypes.c_void_p
    x11.XSetErrorHandler.argtypes = [_X_ERROR_HANDLER]
    x11.XSetErrorHandler(_record_x_error)
    x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                               ctypes.POINTER(ctypes.c_ulong),
                               ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                               ctypes.POINTER(ctypes.c_uint)]
    x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                         ctypes.POINTER(_XWindowAttributes)]
    xfixes = ctypes.CDLL(ctypes.util.find_library("Xfixes") or "libXfixes.so.3")
    xfixes.XFixesQueryExtension.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                            ctypes.POINTER(ctypes.c_int)]
    xfixes.XFixesQueryVersion.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                          ctypes.POINTER(ctypes.c_int)]
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(_XFixesCursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
    return x11, xfixes


class XConnection:
    """One open connection to an X display, closed by close() or at the end of a with block.
    Open one per query where the server may stop meanwhile; keep one open for fast polling."""

    def __init__(self, display: str):
        self._x11, self._xfixes = libs()
        self.dpy = self._x11.XOpenDisplay(display.encode())
        if not self.dpy:
            raise HarnessError(f"cannot open X display {display}")
        self.screen = self._x11.XDefaultScreen(self.dpy)
        self.root = self._x11.XRootWindow(self.dpy, self.screen)

    def __enter__(self) -> "XConnection":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def close(self) -> None:
        if self.dpy:
            self._x11.XCloseDisplay(self.dpy)
            self.dpy = None

    def screen_size(self) -> tuple:
        return (self._x11.XDisplayWidth(self.dpy, self.screen),
                self._x11.XDisplayHeight(self.dpy, self.screen))

    def capture(self, region: Region | None = None) -> Image:
        """The screen, or the part of region that lies on it, as an Image."""
        x11 = self._x11
        sw, sh = self.screen_size()
        x, y, w, h = region if region is not None else (0, 0, sw, sh)
        x0, y0 = max(0, x), max(0, y)
        x1, y1 = min(sw, x + w), min(sh, y + h)
        if x1 <= x0 or y1 <= y0:
            raise HarnessError(f"region {region} lies outside the {sw}x{sh} screen")
        w, h = x1 - x0, y1 - y0
        del _x_errors[:]
        all_planes, z_pixmap = 0xFFFFFFFF, 2
        image = x11.XGetImage(self.dpy, self.root, x0, y0, w, h, all_planes, z_pixmap)
        x11.XSync(self.dpy, 0)
        if not image:
            raise HarnessError(f"XGetImage failed (X errors {_x_errors})")
        try:
            im = image.contents
            if im.bits_per_pixel != 32 or im.red_mask != 0xFF0000 or im.byte_order != 0:
                raise HarnessError("the display is not 24-bit TrueColor (start Xvfb with x24)")
            bpl = im.bytes_per_line
            data = ctypes.string_at(im.data, bpl * h)
        finally:
            x11.XDestroyImage(image)
        if bpl != w * 4:
            data = b"".join(data[r * bpl:r * bpl + w * 4] for r in range(h))
        rgb = bytearray(w * h * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = data[2::4], data[1::4], data[0::4]  # BGRX to RGB
        return Image(w, h, bytes(rgb), (x0, y0))

    def shown_top_level_windows(self) -> list[int]:
        """Children of the root that are mapped and can show pixels (not InputOnly)."""
        x11 = self._x11
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not x11.XQueryTree(self.dpy, self.root, ctypes.byref(root), ctypes.byref(parent),
                              ctypes.byref(children), ctypes.byref(count)):
            raise HarnessError("XQueryTree failed")
        try:
            ids = [children[i] for i in range(count.value)]
        finally:
            if children:
                x11.XFree(children)
        shown = []
        for wid in ids:
            attributes = _XWindowAttributes()
            del _x_errors[:]
            # A window destroyed meanwhile gives BadWindow (recorded, not fatal) and 0.
            if (x11.XGetWindowAttributes(self.dpy, wid, ctypes.byref(attributes))
                    and attributes.map_state == 2 and attributes.class_ == 1):
                shown.append(wid)  # IsViewable, InputOutput
        return shown

    def cursor_image(self) -> CursorImage:
        xfixes = self._xfixes
        ev, er, major, minor = (ctypes.c_int() for _ in range(4))
        if not xfixes.XFixesQueryExtension(self.dpy, ctypes.byref(ev), ctypes.byref(er)):
            raise HarnessError("the X server has no XFixes extension")
        major.value, minor.value = 6, 0  # the version this client speaks
        xfixes.XFixesQueryVersion(self.dpy, ctypes.byref(major), ctypes.byref(minor))
        ptr = xfixes.XFixesGetCursorImage(self.dpy)
        if not ptr:
            raise HarnessError("XFixesGetCursorImage failed")
        try:
            c = ptr.contents
            pixels = [c.pixels[i] & 0xFFFFFFFF for i in range(c.width * c.height)]
            return CursorImage(c.width, c.height, (c.xhot, c.yhot), (c.x, c.y), pixels)
        finally:
            self._x11.XFree(ptr)

#!/usr/bin/env python3
# The window manager's part that a bare Xvfb lacks: a window manager
# minimises a window by setting its WM_STATE to Iconic (3) and sets it to
# Normal (1) when the window is mapped again; Qt follows that property.
# usage: wm-state.py WINDOW-ID STATE   (with DISPLAY set)
import ctypes
import sys

x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong,
                              ctypes.c_int, ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
x.XCloseDisplay.argtypes = [ctypes.c_void_p]
d = x.XOpenDisplay(None)
if not d:
    sys.exit("wm-state: cannot open the display")
atom = x.XInternAtom(d, b"WM_STATE", 0)
data = (ctypes.c_long * 2)(int(sys.argv[2]), 0)
x.XChangeProperty(d, int(sys.argv[1]), atom, atom, 32, 0, data, 2)
x.XCloseDisplay(d)

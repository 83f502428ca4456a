#!/usr/bin/env python3
"""Splits the X screen into RandR monitors, as a desktop of several does.

monitors.py WxH+X+Y ... : the first takes the screen's output (and is the
primary), the others stand on their own. The X server drops a client's
monitors when it disconnects, so this holds its connection until it is
killed; "ready" on stdout says the monitors are there. SIGUSR1 unplugs the
last one ("unplugged" on stdout). Through libXrandr
with ctypes: no module beyond Python's own is needed.
"""
import ctypes
import re
import signal
import sys

x11 = ctypes.CDLL("libX11.so.6")
xrandr = ctypes.CDLL("libXrandr.so.2")


class MonitorInfo(ctypes.Structure):
    _fields_ = [("name", ctypes.c_ulong), ("primary", ctypes.c_int), ("automatic", ctypes.c_int),
                ("noutput", ctypes.c_int), ("x", ctypes.c_int), ("y", ctypes.c_int),
                ("width", ctypes.c_int), ("height", ctypes.c_int), ("mwidth", ctypes.c_int),
                ("mheight", ctypes.c_int), ("outputs", ctypes.c_void_p)]


class ScreenResources(ctypes.Structure):
    _fields_ = [("timestamp", ctypes.c_ulong), ("configTimestamp", ctypes.c_ulong), ("ncrtc", ctypes.c_int),
                ("crtcs", ctypes.c_void_p), ("noutput", ctypes.c_int), ("outputs", ctypes.c_void_p)]


x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
xrandr.XRRGetScreenResourcesCurrent.restype = ctypes.POINTER(ScreenResources)
xrandr.XRRGetScreenResourcesCurrent.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
xrandr.XRRSetMonitor.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(MonitorInfo)]
xrandr.XRRDeleteMonitor.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong]


def main():
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("monitors.py: cannot open the display")
    root = x11.XDefaultRootWindow(display)
    resources = xrandr.XRRGetScreenResourcesCurrent(display, root)
    for i, place in enumerate(sys.argv[1:]):
        w, h, x, y = map(int, re.fullmatch(r"(\d+)x(\d+)\+(\d+)\+(\d+)", place).groups())
        first = i == 0 and resources and resources.contents.noutput > 0
        info = MonitorInfo(x11.XInternAtom(display, f"MONITOR-{i + 1}".encode(), 0), int(i == 0), 0,
                           1 if first else 0, x, y, w, h, w * 254 // 960, h * 254 // 960,
                           resources.contents.outputs if first else None)
        xrandr.XRRSetMonitor(display, root, ctypes.byref(info))
    x11.XSync(display, 0)
    print("ready", flush=True)
    while signal.sigwait(SIGNALS) == signal.SIGUSR1:
        last = x11.XInternAtom(display, f"MONITOR-{len(sys.argv) - 1}".encode(), 0)
        xrandr.XRRDeleteMonitor(display, root, last)
        x11.XSync(display, 0)
        print("unplugged", flush=True)


SIGNALS = {signal.SIGTERM, signal.SIGINT, signal.SIGUSR1}

if __name__ == "__main__":
    signal.pthread_sigmask(signal.SIG_BLOCK, SIGNALS)
    main()

"""A drag source of its own for the end-to-end tests (xdotool cannot drag
files): drops FILES on WINDOW at the screen point X, Y through XDND version
5, as a file manager does, and exits 0 once the target has taken them.

usage: xdnd_drop.py WINDOW X Y FILE...
"""
import ctypes as c
import sys
import time
import urllib.parse

x = c.cdll.LoadLibrary('libX11.so.6')
x.XOpenDisplay.restype = c.c_void_p
x.XInternAtom.restype = c.c_ulong
x.XInternAtom.argtypes = [c.c_void_p, c.c_char_p, c.c_int]
x.XDefaultRootWindow.restype = c.c_ulong
x.XDefaultRootWindow.argtypes = [c.c_void_p]
x.XCreateSimpleWindow.restype = c.c_ulong
x.XCreateSimpleWindow.argtypes = [c.c_void_p, c.c_ulong] + [c.c_int] * 2 + [c.c_uint] * 3 + [c.c_ulong] * 2
x.XSendEvent.argtypes = [c.c_void_p, c.c_ulong, c.c_int, c.c_long, c.c_void_p]
x.XSetSelectionOwner.argtypes = [c.c_void_p, c.c_ulong, c.c_ulong, c.c_ulong]
x.XChangeProperty.argtypes = [c.c_void_p, c.c_ulong, c.c_ulong, c.c_ulong, c.c_int, c.c_int, c.c_char_p, c.c_int]
x.XGetWindowProperty.argtypes = [c.c_void_p, c.c_ulong, c.c_ulong, c.c_long, c.c_long, c.c_int, c.c_ulong,
                                 c.POINTER(c.c_ulong), c.POINTER(c.c_int), c.POINTER(c.c_ulong),
                                 c.POINTER(c.c_ulong), c.POINTER(c.c_void_p)]
for name in ('XPending', 'XNextEvent', 'XFlush'):
    getattr(x, name).argtypes = [c.c_void_p] + ([c.c_void_p] if name == 'XNextEvent' else [])

d = x.XOpenDisplay(None)
atom = lambda name: x.XInternAtom(d, name.encode(), 0)
target, px, py = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
uris = ''.join('file://' + urllib.parse.quote(f) + '\r\n' for f in sys.argv[4:]).encode()
source = x.XCreateSimpleWindow(d, x.XDefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0)
x.XSetSelectionOwner(d, atom('XdndSelection'), source, 0)


def window_property(window, name):
    kind, fmt, n, left, data = c.c_ulong(), c.c_int(), c.c_ulong(), c.c_ulong(), c.c_void_p()
    x.XGetWindowProperty(d, window, atom(name), 0, 1, 0, 0, c.byref(kind), c.byref(fmt), c.byref(n),
                         c.byref(left), c.byref(data))
    return c.cast(data, c.POINTER(c.c_ulong))[0] if n.value else None


# The target names where its messages go (XdndProxy) and its version.
assert window_property(target, 'XdndAware') == 5, 'the window does not take drops'
proxy = window_property(target, 'XdndProxy') or target


def send(to, kind, *data):
    # An XClientMessageEvent laid out as longs: type, serial, send_event,
    # display, window, message_type, format, l[0..4].
    e = (c.c_long * 24)(33, 0, 0, d, target, atom(kind), 32, *data)
    x.XSendEvent(d, to, 0, 0, e)
    x.XFlush(d)


def wait_for(wanted):
    e = (c.c_long * 24)()
    deadline = time.time() + 10
    while time.time() < deadline:
        while x.XPending(d):
            x.XNextEvent(d, e)
            if e[0] & 0xffffffff == 30:   # SelectionRequest: owner, requestor, selection, target, property
                requestor, kind, prop = e[5], e[7], e[8]
                x.XChangeProperty(d, requestor, prop, kind, 8, 0, uris, len(uris))
                reply = (c.c_long * 24)(31, 0, 1, d, requestor, e[6], kind, prop, e[9])
                x.XSendEvent(d, requestor, 0, 0, reply)
                x.XFlush(d)
            elif e[0] & 0xffffffff == 33 and e[5] == atom(wanted):
                return e[8] & 1       # l[1] bit 0: accepted
        time.sleep(0.01)
    sys.exit('no ' + wanted)


send(proxy, 'XdndEnter', source, 5 << 24, atom('text/uri-list'), 0, 0)
send(proxy, 'XdndPosition', source, 0, px << 16 | py, 0, atom('XdndActionCopy'))
if not wait_for('XdndStatus'):
    sys.exit('the drop was refused')
send(proxy, 'XdndDrop', source, 0, 0, 0, 0)
sys.exit(0 if wait_for('XdndFinished') else 'the files were not taken')

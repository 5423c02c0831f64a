"""A drag source of its own for the end-to-end tests (xdotool cannot drag
files): drops FILES on WINDOW, whose messages go to PROXY (its XdndProxy),
at the screen point X, Y through XDND version 5, as a file manager does, and
exits 0 once the target has taken them.

usage: xdnd_drop.py WINDOW PROXY X Y FILE...
"""
import ctypes as c
import sys
import time
import urllib.parse

# The display is passed as a pointer; window ids and atoms fit ctypes' int.
x = c.cdll.LoadLibrary('libX11.so.6')
x.XOpenDisplay.restype = c.c_void_p
d = c.c_void_p(x.XOpenDisplay(None))
atom = lambda name: x.XInternAtom(d, name.encode(), 0)
target, proxy, px, py = (int(a, 0) for a in sys.argv[1:5])
uris = ''.join('file://' + urllib.parse.quote(f) + '\r\n' for f in sys.argv[5:]).encode()
source = x.XCreateSimpleWindow(d, x.XDefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0)
x.XSetSelectionOwner(d, atom('XdndSelection'), source, 0)


def send(to, kind, *data):
    # An XClientMessageEvent laid out as longs: type, serial, send_event,
    # display, window, message_type, format, l[0..4].
    e = (c.c_long * 24)(33, 0, 0, d.value, target, atom(kind), 32, *data)
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
                reply = (c.c_long * 24)(31, 0, 1, d.value, requestor, e[6], kind, prop, e[9])
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

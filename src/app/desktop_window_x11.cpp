// The editor's window as the X11 desktop sees it: our own connection to the
// display, class, title and icon, exposure, and files dropped on it (XDND).
//
// Sections: the connection and X errors; class, title and icon; exposure;
// drag and drop.
#include "app/desktop_window.h"

#include <allegro.h>
#include <xalleg.h>
#include <X11/Xatom.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "base/debug_log.h"

namespace {

// Our connection, beside Allegro's: held from before Allegro connects until
// the end, and the one the drop proxy window lives on.
Display *own = nullptr;

// After set_gfx_mode, _xwin.window is AllegroGL's window, the one mapped.
bool have_window()
{
    return system_driver && _xwin.display && _xwin.window != None;
}

// Allegro installs no handler and AllegroGL's drops errors unseen; an X
// error must neither end the program (Xlib's default) nor go unlogged.
int log_x_error(Display *display, XErrorEvent *error)
{
    char text[160];
    XGetErrorText(display, error->error_code, text, sizeof text);
    debug_log("X error: %s (request %d.%d, resource 0x%lx).", text, error->request_code, error->minor_code,
              error->resourceid);
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// The connection and X errors.

bool open_window_system(char *why, size_t why_size)
{
    const char *name = getenv("DISPLAY");
    if (!name || !name[0]) {
        snprintf(why, why_size, "No X display is set (DISPLAY is empty).");
        return false;
    }
    // An X server without -noreset starts over when its last client leaves,
    // and closes a connection that arrives meanwhile before answering it:
    // with short-lived clients about (a panel polling the window list) that
    // can be any connection. Allegro's, opened after this one, never meets
    // a reset, since this one keeps the server from resetting; this one is
    // tried again.
    XInitThreads();
    enum { ATTEMPTS = 5 };
    for (int attempt = 1; attempt <= ATTEMPTS && !own; attempt++) {
        own = XOpenDisplay(nullptr);
        if (!own) {
            debug_log(" The X display %s did not answer the connection (attempt %d of %d).", name, attempt,
                      ATTEMPTS);
            usleep(100000);
        }
    }
    if (!own) {
        snprintf(why, why_size, "The X display %s could not be opened.", name);
        return false;
    }
    return true;
}

void catch_window_system_errors()
{
    if (own) XSetErrorHandler(log_x_error);
}

void close_window_system()
{
    if (own) XCloseDisplay(own);
    own = nullptr;
}

// ---------------------------------------------------------------------------
// Class, title and icon.

void prepare_desktop_window(const char *title)
{
    if (!system_driver) return;
    xwin_set_window_name("qte", "Qte");
    set_window_title(title);
}

void set_desktop_window_title(const char *title)
{
    if (!have_window()) return;
    XLOCK();
    Display *d = _xwin.display;
    XStoreName(d, _xwin.window, title);
    XChangeProperty(d, _xwin.window, XInternAtom(d, "_NET_WM_NAME", False), XInternAtom(d, "UTF8_STRING", False),
                    8, PropModeReplace, (const unsigned char *)title, (int)strlen(title));
    XFlush(d);
    XUNLOCK();
}

bool set_desktop_window_icon(const char *bmp_path)
{
    BITMAP *picture = load_bitmap(bmp_path, nullptr);
    if (!picture) return false;
    // Width, height, then one ARGB pixel per long, as Xlib hands format-32
    // properties over.
    std::vector<unsigned long> icon;
    icon.push_back((unsigned long)picture->w);
    icon.push_back((unsigned long)picture->h);
    int depth = bitmap_color_depth(picture);
    for (int y = 0; y < picture->h; y++) {
        for (int x = 0; x < picture->w; x++) {
            int c = getpixel(picture, x, y);
            unsigned long r = (unsigned long)getr_depth(depth, c), g = (unsigned long)getg_depth(depth, c),
                          b = (unsigned long)getb_depth(depth, c);
            bool clear = r == 255 && g == 0 && b == 255;
            icon.push_back(clear ? 0 : 0xff000000ul | r << 16 | g << 8 | b);
        }
    }
    destroy_bitmap(picture);
    if (!have_window()) return true;
    XLOCK();
    Display *d = _xwin.display;
    XChangeProperty(d, _xwin.window, XInternAtom(d, "_NET_WM_ICON", False), XA_CARDINAL, 32, PropModeReplace,
                    (const unsigned char *)icon.data(), (int)icon.size());
    XFlush(d);
    XUNLOCK();
    return true;
}

// ---------------------------------------------------------------------------
// Exposure. Allegro's event thread reads the window's Expose events and hands
// them to its redrawer, which must not draw (no GL context in that thread):
// ours only notes that the window needs a frame.

namespace {

volatile bool window_exposed = false;
void (*allegro_redrawer)(int, int, int, int) = nullptr;

void note_exposure(int x, int y, int w, int h)
{
    window_exposed = true;
    if (allegro_redrawer) allegro_redrawer(x, y, w, h);
}

}  // namespace

// The window manager gives a new window the focus.
void bring_window_to_front() {}

void watch_window_exposure()
{
    if (!have_window() || _xwin_window_redrawer == note_exposure) return;
    allegro_redrawer = _xwin_window_redrawer;
    _xwin_window_redrawer = note_exposure;
}

bool take_window_exposure()
{
    bool exposed = window_exposed;
    window_exposed = false;
    return exposed;
}

// ---------------------------------------------------------------------------
// Drag and drop, the target's half of XDND version 5. Allegro's event thread
// reads every event of its window, so the window names a proxy of ours
// (XdndProxy): sources send their messages there, on our connection, and the
// main loop reads them between logic steps. Exchanges:
//   Enter (types offered) -> Position* -> Status each -> Drop -> ask the
//   source's selection for text/uri-list -> SelectionNotify -> Finished.
//   Leave at any point ends the exchange.

namespace {

enum { XDND_VERSION = 5 };

enum {
    AWARE, PROXY, ENTER, POSITION, STATUS, LEAVE, DROP, FINISHED, SELECTION, TYPE_LIST, ACTION_COPY, URI_LIST,
    PROPERTY, ATOM_COUNT
};
const char *const atom_names[ATOM_COUNT] = {
    "XdndAware", "XdndProxy",    "XdndEnter",     "XdndPosition",   "XdndStatus",     "XdndLeave",        "XdndDrop",
    "XdndFinished", "XdndSelection", "XdndTypeList", "XdndActionCopy", "text/uri-list", "QTE_DROPPED_FILES"};
Atom atom[ATOM_COUNT];

Window proxy_window = None;
Window source = None;        // the window dragging, None between drags
Window target = None;        // the window the source believes it talks to
bool uris_offered = false;   // the source can give text/uri-list
bool awaiting_files = false; // the drop is asked for, its files not there yet
int drop_x = 0, drop_y = 0;  // the last position, in window pixels

void send_to_source(Atom type, long l1, long l2, long l3, long l4)
{
    XEvent message;
    memset(&message, 0, sizeof message);
    message.xclient.type = ClientMessage;
    message.xclient.display = own;
    message.xclient.window = source;
    message.xclient.message_type = type;
    message.xclient.format = 32;
    message.xclient.data.l[0] = (long)target;
    message.xclient.data.l[1] = l1;
    message.xclient.data.l[2] = l2;
    message.xclient.data.l[3] = l3;
    message.xclient.data.l[4] = l4;
    XSendEvent(own, source, False, NoEventMask, &message);
    XFlush(own);
}

void finish_drop(bool accepted)
{
    if (source != None) send_to_source(atom[FINISHED], accepted ? 1 : 0, accepted ? (long)atom[ACTION_COPY] : None, 0, 0);
    source = None;
    awaiting_files = false;
}

// Whether the source's XdndTypeList (for more than three types) holds
// text/uri-list.
bool type_list_offers_uris(Window from)
{
    Atom type;
    int format;
    unsigned long count = 0, left = 0;
    unsigned char *data = nullptr;
    bool offered = false;
    if (XGetWindowProperty(own, from, atom[TYPE_LIST], 0, 256, False, XA_ATOM, &type, &format, &count, &left, &data) ==
            Success &&
        data && format == 32) {
        const Atom *types = (const Atom *)data;
        for (unsigned long i = 0; i < count; i++) offered = offered || types[i] == atom[URI_LIST];
    }
    if (data) XFree(data);
    return offered;
}

void handle_client_message(const XClientMessageEvent &m)
{
    const long *l = m.data.l;
    if (m.message_type == atom[ENTER]) {
        source = (Window)l[0];
        target = m.window;
        awaiting_files = false;
        uris_offered = (l[1] & 1) ? type_list_offers_uris(source)
                                  : (Atom)l[2] == atom[URI_LIST] || (Atom)l[3] == atom[URI_LIST] ||
                                        (Atom)l[4] == atom[URI_LIST];
    } else if (m.message_type == atom[POSITION] && (Window)l[0] == source) {
        Window child;
        XTranslateCoordinates(own, DefaultRootWindow(own), _xwin.window, (int)((l[2] >> 16) & 0xffff),
                              (int)(l[2] & 0xffff), &drop_x, &drop_y, &child);
        // Accepted anywhere in the window, with a new position wanted at
        // every move: what the drop does depends on the files and the place.
        send_to_source(atom[STATUS], uris_offered ? 3 : 2, 0, 0, uris_offered ? (long)atom[ACTION_COPY] : None);
    } else if (m.message_type == atom[LEAVE] && (Window)l[0] == source) {
        source = None;
        awaiting_files = false;
    } else if (m.message_type == atom[DROP] && (Window)l[0] == source) {
        if (!uris_offered) {
            finish_drop(false);
            return;
        }
        XDeleteProperty(own, proxy_window, atom[PROPERTY]);
        XConvertSelection(own, atom[SELECTION], atom[URI_LIST], atom[PROPERTY], proxy_window, (Time)l[2]);
        XFlush(own);
        awaiting_files = true;
    }
}

// The whole text of the property the source put the file list in.
bool read_uri_list(std::string *text)
{
    Atom type;
    int format;
    unsigned long count = 0, left = 0;
    unsigned char *data = nullptr;
    // 1 MB at most, in the 32-bit units the request counts.
    bool read = XGetWindowProperty(own, proxy_window, atom[PROPERTY], 0, 1 << 18, True, AnyPropertyType, &type,
                                   &format, &count, &left, &data) == Success &&
                data && format == 8;
    if (read) text->assign((const char *)data, count);
    if (data) XFree(data);
    return read;
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The local paths of a text/uri-list ("file:///a%20b.lev\r\n" -> "/a b.lev"),
// in order; other schemes and comments are left out.
std::vector<std::string> file_paths_of_uri_list(const std::string &uris)
{
    std::vector<std::string> paths;
    size_t start = 0;
    while (start < uris.size()) {
        size_t end = uris.find('\n', start);
        if (end == std::string::npos) end = uris.size();
        std::string line = uris.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // file:///path or file://host/path; comments and other schemes are
        // no files of this machine.
        if (line.compare(0, 7, "file://") != 0) continue;
        size_t slash = line.find('/', 7);
        if (slash == std::string::npos) continue;
        std::string path;
        for (size_t i = slash; i < line.size(); i++) {
            int high = i + 2 < line.size() ? hex_value(line[i + 1]) : -1, low = high < 0 ? -1 : hex_value(line[i + 2]);
            if (line[i] == '%' && low >= 0) {
                path += (char)(high * 16 + low);
                i += 2;
            } else {
                path += line[i];
            }
        }
        if (path.find('\0') == std::string::npos) paths.push_back(path);
    }
    return paths;
}

}  // namespace

void accept_dropped_files()
{
    if (!own || !have_window() || proxy_window != None) return;
    for (int i = 0; i < ATOM_COUNT; i++) atom[i] = XInternAtom(own, atom_names[i], False);
    proxy_window = XCreateSimpleWindow(own, DefaultRootWindow(own), -10, -10, 1, 1, 0, 0, 0);
    long version = XDND_VERSION;
    // The proxy names itself, as the protocol asks, so that a source can tell
    // a live proxy from a stale property.
    Window windows[] = {proxy_window, _xwin.window};
    for (Window w : windows) {
        XChangeProperty(own, w, atom[AWARE], XA_ATOM, 32, PropModeReplace, (unsigned char *)&version, 1);
        XChangeProperty(own, w, atom[PROXY], XA_WINDOW, 32, PropModeReplace, (unsigned char *)&proxy_window, 1);
    }
    XFlush(own);
}

bool poll_dropped_files(file_drop *drop)
{
    if (!own || proxy_window == None) return false;
    while (XPending(own)) {
        XEvent event;
        XNextEvent(own, &event);
        if (event.type == ClientMessage) {
            handle_client_message(event.xclient);
        } else if (event.type == SelectionNotify && awaiting_files && event.xselection.requestor == proxy_window) {
            std::string uris;
            bool read = event.xselection.property != None && read_uri_list(&uris);
            drop->files = file_paths_of_uri_list(uris);
            bool accepted = read && !drop->files.empty();
            finish_drop(accepted);
            if (accepted) {
                drop->x = drop_x;
                drop->y = drop_y;
                return true;
            }
        }
    }
    return false;
}

// The editor's window as the X11 desktop sees it: class, title and icon.
#include "app/x11_window.h"

#include <allegro.h>
#include <xalleg.h>
#include <X11/Xatom.h>
#include <string.h>

#include <vector>

namespace {

// After set_gfx_mode, _xwin.window is AllegroGL's window, the one mapped.
bool have_window()
{
    return system_driver && _xwin.display && _xwin.window != None;
}

}  // namespace

void prepare_x11_window(const char *title)
{
    if (!system_driver) return;
    xwin_set_window_name("qte", "Qte");
    set_window_title(title);
}

void set_x11_window_title(const char *title)
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

bool set_x11_window_icon(const char *bmp_path)
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

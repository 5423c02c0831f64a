// The editor's window as Windows sees it: Allegro's one window, which
// AllegroGL draws in. Its title is Allegro's and its icon the program's
// resource "allegro_icon" (qte.rc); what is ours are exposure and files
// dropped on it (WM_DROPFILES), seen in Allegro's window thread through its
// message hook and handed to the main thread under a lock.
//
// <windows.h> comes through <winalleg.h>, never after <allegro.h>: both
// name a BITMAP.
#include "app/desktop_window.h"

#include <allegro.h>
#include <winalleg.h>
#include <shellapi.h>

#include <mutex>

#include "base/debug_log.h"
#include "base/utf16.h"

namespace {

std::mutex lock;
bool exposed = false;
bool watching_exposure = false;
bool dropped = false;
file_drop last_drop;

// The paths of a WM_DROPFILES message, read before the drop handle is freed.
void take_drop_message(HDROP handle)
{
    file_drop drop;
    POINT at = {0, 0};
    DragQueryPoint(handle, &at);
    drop.x = at.x;
    drop.y = at.y;
    UINT count = DragQueryFileW(handle, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; i++) {
        UINT length = DragQueryFileW(handle, i, nullptr, 0);
        std::wstring name(length + 1, L'\0');
        if (DragQueryFileW(handle, i, &name[0], length + 1) != length) continue;
        name.resize(length);
        std::string path = utf8_from_utf16(name.c_str());
        if (!path.empty()) drop.files.push_back(path);
    }
    DragFinish(handle);
    if (drop.files.empty()) return;
    std::lock_guard<std::mutex> guard(lock);
    last_drop = drop;   // a drop not taken yet gives way to the newer one
    dropped = true;
}

// Runs in Allegro's window thread before its own handling; answering 1
// lets Allegro handle the message as usual.
int before_allegro(HWND, UINT message, WPARAM wparam, LPARAM, int *result)
{
    if (message == WM_DROPFILES) {
        take_drop_message((HDROP)wparam);
        *result = 0;
        return 0;
    }
    if (message == WM_PAINT) {
        std::lock_guard<std::mutex> guard(lock);
        exposed = watching_exposure;
    }
    return 1;
}

}  // namespace

bool use_standard_input_under_wine();   // wine_input_windows.cpp

bool open_window_system(char *why, size_t why_size)
{
    if (why && why_size) why[0] = '\0';
    if (use_standard_input_under_wine()) debug_log("Running under Wine: using the standard input devices.");
    return true;
}

void catch_window_system_errors() {}
void close_window_system() { win_set_msg_pre_proc(nullptr); }
void prepare_desktop_window(const char *) { win_set_msg_pre_proc(before_allegro); }
void set_desktop_window_title(const char *) {}   // Allegro's set_window_title reaches it
bool set_desktop_window_icon(const char *) { return true; }

// Allegro's input is DirectInput's, which reads only while the window is in
// the foreground; a window that opens behind another (Wine without a window
// manager does that) would take no input until clicked.
void bring_window_to_front()
{
    HWND window = win_get_window();
    if (window) SetForegroundWindow(window);
}

void watch_window_exposure()
{
    std::lock_guard<std::mutex> guard(lock);
    watching_exposure = true;
}

bool take_window_exposure()
{
    std::lock_guard<std::mutex> guard(lock);
    bool was = exposed;
    exposed = false;
    return was;
}

void accept_dropped_files()
{
    HWND window = win_get_window();
    if (window) DragAcceptFiles(window, TRUE);
    else debug_log(" Files dropped on the window cannot be taken: it has no handle.");
}

bool poll_dropped_files(file_drop *drop)
{
    std::lock_guard<std::mutex> guard(lock);
    if (!dropped) return false;
    *drop = last_drop;
    last_drop = file_drop();
    dropped = false;
    return true;
}

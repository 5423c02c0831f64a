#!/usr/bin/env bash
# Starts the editor once without a display (it must fail cleanly), then twice
# under Xvfb from a working folder away from the executable: once without a theme (grey menu-bar strip, theme failure in the
# log) closed with Escape, once with a generated theme closed through the
# window's close button. Checks the window, its pixels, the debug log and that
# the settings are written next to the executable and read from the working
# folder.
# Usage: test_startup.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/bin" "$tmp/work/themes"
cp "$build/qte" "$tmp/bin/qte"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Fast quit on, so Escape and the close button end the program without asking.
printf '[general]\nfast_quit = 1\n' > "$tmp/work/settings.ini"
cp "$tmp/work/settings.ini" "$tmp/settings.before"

# A 64 x 64 24-bit theme: column 2, rows 0-19 (the menu-bar piece) in
# (40, 90, 160), everything else (250, 0, 250) so a wrong piece shows at once.
python3 - "$tmp/theme.bmp" <<'PY'
import struct, sys
w = h = 64
rows = []
for y in range(h - 1, -1, -1):              # bottom-up
    row = b''
    for x in range(w):
        r, g, b = (40, 90, 160) if (x == 2 and y < 20) else (250, 0, 250)
        row += bytes((b, g, r))
    rows.append(row)
pixels = b''.join(rows)
header = struct.pack('<2sIHHI', b'BM', 54 + len(pixels), 0, 0, 54)
info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], 'wb').write(header + info + pixels)
PY

# The X11 close button: a WM_DELETE_WINDOW client message, as a window manager sends it.
cat > "$tmp/close_window.py" <<'PY'
import ctypes, sys
x = ctypes.cdll.LoadLibrary('libX11.so.6')
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
class client_message(ctypes.Structure):
    _fields_ = [('type', ctypes.c_int), ('serial', ctypes.c_ulong), ('send_event', ctypes.c_int),
                ('display', ctypes.c_void_p), ('window', ctypes.c_ulong),
                ('message_type', ctypes.c_ulong), ('format', ctypes.c_int),
                ('data', ctypes.c_long * 5), ('pad', ctypes.c_long * 12)]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.POINTER(client_message)]
x.XFlush.argtypes = [ctypes.c_void_p]
d = x.XOpenDisplay(None)
e = client_message()
e.type = 33                                  # ClientMessage
e.window = int(sys.argv[1])
e.message_type = x.XInternAtom(d, b'WM_PROTOCOLS', 0)
e.format = 32
e.data[0] = x.XInternAtom(d, b'WM_DELETE_WINDOW', 0)
e.data[1] = 0                                # CurrentTime
x.XSendEvent(d, e.window, 0, 0, ctypes.byref(e))
x.XFlush(d)
PY

# One run: start, wait for the window, screenshot, close, wait for the exit.
cat > "$tmp/session.sh" <<'SH'
set -euo pipefail
tmp=$1 how=$2
cd "$tmp/work"
"$tmp/bin/qte" > "$tmp/console.txt" 2>&1 &
pid=$!
win=""
for _ in $(seq 150); do
  win=$(xdotool search --name '^Quarly Texture Editor 2\.0$' 2>/dev/null | head -1 || true)
  [[ -n "$win" ]] && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.2
done
[[ -n "$win" ]] || { echo "no window"; kill $pid 2>/dev/null; exit 1; }
sleep 1.5                                    # a few frames
xdotool getwindowname "$win" > "$tmp/title.txt"
import -window root "$tmp/shot.png"
if [[ "$how" == escape ]]; then
  xdotool mousemove 400 300                  # keys go to the window under the pointer
  sleep 0.2
  xdotool keydown Escape; sleep 0.3; xdotool keyup Escape
else
  python3 "$tmp/close_window.py" "$win"
fi
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "still running"; kill $pid; exit 1; fi
wait $pid
SH

pixel() { convert "$tmp/shot.png" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:; }

check_log() {
  local log="$tmp/work/debug.txt"
  [[ -f "$log" ]] || fail "no debug.txt in the working folder"
  [[ "$(head -n 1 "$log")" == "Debug file initialized. " ]] || fail "first log line: $(head -n 1 "$log")"
  [[ "$(tail -n 1 "$log")" == "Closing debug file. " ]] || fail "last log line: $(tail -n 1 "$log")"
  [[ -f "$tmp/bin/settings.ini" ]] || fail "settings.ini not written next to the executable"
  grep -q '^fast_quit = 1' "$tmp/bin/settings.ini" || fail "settings written were not the ones read"
  cmp -s "$tmp/work/settings.ini" "$tmp/settings.before" || fail "settings.ini in the working folder was rewritten"
}

# 0. No display: the graphics-mode message, exit status -1, only the first log line.
status=0
(cd "$tmp/work" && env -u DISPLAY "$tmp/bin/qte" > "$tmp/console.txt" 2>&1) || status=$?
[[ $status -eq 255 ]] || fail "without a display the exit status is $status, not -1"
grep -q '^Error setting OpenGL graphics mode:' "$tmp/console.txt" || fail "no graphics-mode message"
[[ "$(cat "$tmp/work/debug.txt")" == "Debug file initialized. " ]] || fail "log after a failed start: $(cat "$tmp/work/debug.txt")"
[[ ! -e "$tmp/bin/settings.ini" ]] || fail "settings written after a failed start"
echo "run 0 (no display): ok"

# 1. No theme: flat grey menu bar, the failure logged with the default path.
xvfb-run -a -s "-screen 0 1024x768x24" bash "$tmp/session.sh" "$tmp" escape || {
  cat "$tmp/console.txt" >&2; fail "first run did not start and quit cleanly"; }
[[ "$(cat "$tmp/title.txt")" == "Quarly Texture Editor 2.0" ]] || fail "title: $(cat "$tmp/title.txt")"
[[ "$(pixel 400 10)" == "200,200,200" ]] || fail "menu bar without theme: $(pixel 400 10)"
[[ "$(pixel 400 0)" == "200,200,200" ]] || fail "menu bar top row without theme: $(pixel 400 0)"
[[ "$(pixel 799 590)" != "200,200,200" ]] || fail "the whole window is menu-bar grey"
grep -qx 'Failed to load theme file: themes/grey.bmp ' "$tmp/work/debug.txt" || fail "theme failure not logged"
check_log
echo "run 1 (no theme, Escape): ok"

# 2. With a theme: the menu bar shows the theme's menu-bar piece; close button.
rm -f "$tmp/bin/settings.ini" "$tmp/work/debug.txt"
cp "$tmp/theme.bmp" "$tmp/work/themes/grey.bmp"
xvfb-run -a -s "-screen 0 1024x768x24" bash "$tmp/session.sh" "$tmp" close || {
  cat "$tmp/console.txt" >&2; fail "second run did not start and close cleanly"; }
for x in 0 400 799; do
  for y in 0 10 19; do
    [[ "$(pixel $x $y)" == "40,90,160" ]] || fail "themed menu bar at ($x, $y): $(pixel $x $y)"
  done
done
[[ "$(pixel 400 20)" != "40,90,160" ]] || fail "the menu-bar strip is taller than 20 pixels"
if grep -q 'Failed to load theme file' "$tmp/work/debug.txt"; then fail "theme reported missing"; fi
check_log
echo "run 2 (theme, close button): ok"

#!/usr/bin/env bash
# Starts the editor once without a display (it must fail cleanly and say
# why), then twice from a working folder away from the executable: once
# without a theme (grey menu-bar strip, theme failure in the log) closed with
# Escape, once with a generated theme closed through the window's close
# button. Checks the window, its pixels, the debug log, and that the settings
# and the log are beside the executable while the working folder's are let be.
# Usage: test_startup.sh BUILD_DIR SOURCE_DIR
source "$2/tests/e2e/lib.sh"
e2e_begin "$1" "$2"
mkdir -p "$WORK/bin"
cp "$BUILD/qte" "$WORK/bin/qte"
E2E_PROGRAM="$WORK/bin/qte" E2E_LOG="$WORK/bin/debug.txt"
rm -rf "$WORK/themes"
# Fast quit on beside the executable, so Escape and the close button end the
# program without asking; off in the working folder, which is not read.
printf '[general]\nfast_quit = 1\n' >"$WORK/settings.before"
cp "$WORK/settings.before" "$WORK/bin/settings.ini"
printf '[general]\nfast_quit = 0\n' >"$WORK/settings.ini"

pixel() { convert "$WORK/shots/$1.png" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }

# The whole log is its first and last line around what the run did; settings
# and log stay beside the executable, the working folder's are untouched.
check_log() {
    [[ "$(head -n 1 "$E2E_LOG")" == "Debug file initialized. " ]] || e2e_fail "first log line: $(head -n 1 "$E2E_LOG")"
    [[ "$(tail -n 1 "$E2E_LOG")" == "Closing debug file. " ]] || e2e_fail "last log line: $(tail -n 1 "$E2E_LOG")"
    grep -q '^fast_quit = 1' "$WORK/bin/settings.ini" || e2e_fail "settings written next to the executable were not the ones read"
    [[ "$(cat "$WORK/settings.ini")" == "[general]"$'\n'"fast_quit = 0" && ! -e "$WORK/debug.txt" ]] ||
        e2e_fail "the working folder's settings were rewritten or a log written there"
}

# 0. No display: the graphics-mode message with the reason, exit status -1,
# the reason in the log, the settings as they were.
status=0
(cd "$WORK" && env -u DISPLAY "$E2E_PROGRAM" >"$WORK/console.txt" 2>&1) || status=$?
[[ $status -eq 255 ]] || e2e_fail "without a display the exit status is $status, not -1"
grep -q '^Error setting OpenGL graphics mode:' "$WORK/console.txt" || e2e_fail "no graphics-mode message"
[[ "$(cat "$E2E_LOG")" == "Debug file initialized. "$'\n'" The OpenGL window could not be opened: No X display is set (DISPLAY is empty). " ]] ||
    e2e_fail "log after a failed start: $(cat "$E2E_LOG")"
cmp -s "$WORK/bin/settings.ini" "$WORK/settings.before" || e2e_fail "settings written after a failed start"
rm "$E2E_LOG"

# The command line: --version and --help answer without a window, anything
# unknown is refused with status 2.
[[ "$(env -u DISPLAY "$E2E_PROGRAM" --version)" == "Quarly Texture Editor 2.0" ]] || e2e_fail "--version"
env -u DISPLAY "$E2E_PROGRAM" --help | grep -q '^Usage: qte \[LEVEL.lev \[LEVEL.d3d\]\]$' || e2e_fail "--help"
status=0
"$E2E_PROGRAM" --bogus 2>/dev/null || status=$?
[[ $status -eq 2 && ! -e "$E2E_LOG" ]] || e2e_fail "an unknown option gave status $status"

# 1. No theme: flat grey menu bar, the failure logged with the default path;
# Escape quits at once. The window on screen has the title, the class and
# the icon beside the executable; a level that cannot be read is reported
# and the editor starts empty.
mkdir -p "$WORK/bin/icons"
convert -size 64x64 'xc:rgb(10,20,30)' -type TrueColor "BMP3:$WORK/bin/icons/qte.bmp"
e2e_start_editor nothere.lev
e2e_expect_message "The level file could not be opened:
$WORK/nothere.lev
No such file or directory"
[[ "$(xdotool getwindowname "$E2E_WINDOW")" == "Quarly Texture Editor 2.0" ]] || e2e_fail "title: $(xdotool getwindowname "$E2E_WINDOW")"
[[ "$(xprop -id "$E2E_WINDOW" WM_CLASS)" == 'WM_CLASS(STRING) = "qte", "Qte"' ]] || e2e_fail "class: $(xprop -id "$E2E_WINDOW" WM_CLASS)"
xprop -id "$E2E_WINDOW" _NET_WM_ICON | grep -qF 'Icon (64 x 64)' || e2e_fail "no 64 x 64 icon"
e2e_keys Escape
e2e_wait_exit
# Shot under the message box, which opened before the main loop ran: the
# window was drawn for it.
[[ "$(pixel message 400 10)" == "200,200,200" ]] || e2e_fail "menu bar without theme, under the box: $(pixel message 400 10)"
[[ "$(pixel message 799 590)" != "200,200,200" ]] || e2e_fail "the whole window is menu-bar grey"
grep -qx 'Failed to load theme file: themes/grey.bmp ' "$E2E_LOG" || e2e_fail "theme failure not logged"
check_log

# 2. With a 64 x 64 theme whose menu-bar piece (column 2, rows 0-19) alone
# is (40, 90, 160): the bar shows that piece; the close button quits. The
# demo level named on the command line opens with its palette list
# (named in another case) and its folders are remembered.
cp "$WORK/settings.before" "$WORK/bin/settings.ini"
rm "$E2E_LOG"
mkdir -p "$WORK/themes" "$WORK/lvl"
convert -size 64x64 'xc:rgb(250,0,250)' -fill 'rgb(40,90,160)' -draw 'rectangle 2,0 2,19' \
    -type TrueColor "BMP3:$WORK/themes/grey.bmp"
cp "$BUILD/demo/demo.lev" "$WORK/lvl/demo.lev"
cp "$BUILD/demo/demo.d3d" "$WORK/lvl/DEMO.D3D"
e2e_start_editor lvl/demo.lev
e2e_wait_log "Done loading level"
grep -qx 'Finished parsing d3d. ' "$E2E_LOG" || e2e_fail "the level from the command line was not loaded"
e2e_shot theme
# The X11 close button: a WM_DELETE_WINDOW client message, as a window
# manager sends it (an XClientMessageEvent laid out as longs).
python3 - "$E2E_WINDOW" <<'PY'
import ctypes as c, sys
x = c.cdll.LoadLibrary('libX11.so.6')
x.XOpenDisplay.restype = c.c_void_p
x.XInternAtom.restype = c.c_ulong
x.XInternAtom.argtypes = [c.c_void_p, c.c_char_p, c.c_int]
x.XSendEvent.argtypes = [c.c_void_p, c.c_ulong, c.c_int, c.c_long, c.c_void_p]
x.XFlush.argtypes = [c.c_void_p]
d = x.XOpenDisplay(None)
# type ClientMessage, serial, send_event, display, window, message_type, format, data
e = (c.c_long * 24)(33, 0, 0, d, int(sys.argv[1]), x.XInternAtom(d, b'WM_PROTOCOLS', 0), 32,
                    x.XInternAtom(d, b'WM_DELETE_WINDOW', 0))
x.XSendEvent(d, e[4], 0, 0, e)
x.XFlush(d)
PY
e2e_wait_exit
for x in 0 400 799; do
    for y in 0 10 19; do
        [[ "$(pixel theme $x $y)" == "40,90,160" ]] || e2e_fail "themed menu bar at ($x, $y): $(pixel theme $x $y)"
    done
done
[[ "$(pixel theme 400 20)" != "40,90,160" ]] || e2e_fail "the menu-bar strip is taller than 20 pixels"
[[ "$(pixel theme 47 67)" != "$(pixel theme 47 130)" ]] || e2e_fail "no thumbnail of the level opened at start"
grep -qx "lev_directory = $WORK/lvl/" "$WORK/bin/settings.ini" || e2e_fail "the level's folder was not remembered"
grep -q 'Failed to load theme file' "$E2E_LOG" && e2e_fail "theme reported missing"
check_log
e2e_pass

#!/usr/bin/env bash
# A modder's session: open a level through the real file chooser, pick
# pages, export them as 24-bit and 8-bit bitmaps, import an 8-bit and a
# 24-bit bitmap into one-palette pages and a 24-bit bitmap into the
# three-palette page through the selection window, delete the unused
# palettes, save with Control+S and quit with Escape and "Yes". Then the
# files are checked byte for byte and the log line by line.
# Usage: test_edit_level.sh BUILD_DIR SOURCE_DIR
source "$2/tests/e2e/lib.sh"
e2e_begin "$1" "$2"
files() { python3 "$SOURCE/tests/e2e/level_files.py" "$@" || e2e_fail "check failed: $*"; }

# The level: pages 0-3 paletted with 1, 2, 3 and 1 palettes (ids 0; 1 2;
# 3 4 5; 6), pages 4 and 5 in 15 bits.
mkdir -p "$WORK/level" "$WORK/out" "$WORK/in"
"$BUILD/make_sample_level" "$WORK/level/s.lev" "$WORK/level/s.d3d" 4 2 || e2e_fail "no sample level"
cp "$WORK/level/s.lev" "$WORK/orig.lev"
cp "$WORK/level/s.d3d" "$WORK/orig.d3d"
files bmp8 "$WORK/in/eight.bmp" 11
files bmp24 "$WORK/in/letter.bmp"

# Thumbnails: 64 pixels on a 74-pixel pitch from (15, 35) in the window.
thumb() { e2e_click $((47 + 74 * $1)) 67; }
image_menu() { e2e_click 360 10; sleep 0.3; e2e_click 350 $((27 + 11 * ($1 - 1))); }

e2e_start_editor
e2e_shot 01_start

# File, Open, LEV: the level, then its palette list.
e2e_click 40 10
e2e_click 30 27
e2e_click 110 27
e2e_choose_file "$WORK/level/s.lev"
e2e_choose_file "$WORK/level/s.d3d"
e2e_wait_log "Done loading level"
sleep 0.5
e2e_shot 02_opened

# Page 2 (three palettes): export as 24-bit and as 8-bit.
thumb 2
e2e_shot 03_page_picked
image_menu 1
e2e_choose_file "$WORK/out/page2_24"
e2e_wait_log "Finished exporting image."
image_menu 1
e2e_choose_file "$WORK/out/page2_8.bmp" 2
for _ in $(seq 50); do [[ $(e2e_log_count "Finished exporting image.") -ge 2 ]] && break; sleep 0.1; done
[[ -f "$WORK/out/page2_24.bmp" ]] || e2e_fail "no 24-bit export (.bmp is appended)"
[[ -f "$WORK/out/page2_8.bmp" ]] || e2e_fail "no 8-bit export"
files export24 "$WORK/orig.lev" "$WORK/orig.d3d" 2 0 "$WORK/out/page2_24.bmp"
files export8 "$WORK/orig.lev" "$WORK/orig.d3d" 2 0 "$WORK/out/page2_8.bmp"

# A 15-bit page exports as 24-bit only.
thumb 4
image_menu 1
e2e_choose_file "$WORK/out/page4"
for _ in $(seq 50); do [[ $(e2e_log_count "Finished exporting image.") -ge 3 ]] && break; sleep 0.1; done
files export24 "$WORK/orig.lev" "$WORK/orig.d3d" 4 0 "$WORK/out/page4.bmp"
e2e_no_message

# 8-bit bitmap into page 0 (one palette): indices and colour table copied,
# a new palette with the lowest free id (7).
thumb 0
image_menu 2
e2e_choose_file "$WORK/in/eight.bmp"
e2e_wait_log "Done importing 8-bit texture."
e2e_wait_log "Finished importing image."
grep -qF " Placing in 7" "$WORK/debug.txt" || e2e_fail "the 8-bit import did not place palette 7"
sleep 0.3
[[ "$(xdotool getwindowname "$E2E_WINDOW")" == "*Quarly Texture Editor 2.0" ]] || e2e_fail "no asterisk after an import"

# 24-bit bitmap into page 3 (one palette): a new quantised palette, id 8.
thumb 3
image_menu 2
e2e_choose_file "$WORK/in/letter.bmp"
e2e_wait_log "Successfully imported." 60
grep -qF " Placing new palette in 8." "$WORK/debug.txt" || e2e_fail "the 24-bit import did not place palette 8"
sleep 1
e2e_shot 04_imported

# 24-bit bitmap into page 2 (three palettes): the selection window, Select
# All, Done: the palette at the current slot (id 3) is overwritten.
thumb 2
image_menu 2
e2e_choose_file "$WORK/in/letter.bmp"
sleep 0.6
e2e_shot 05_selection_window
e2e_click 220 447   # Select All
e2e_shot 06_all_selected
e2e_click 320 447   # Done
for _ in $(seq 600); do [[ $(e2e_log_count "Successfully imported.") -ge 2 ]] && break; sleep 0.1; done
[[ $(e2e_log_count "Successfully imported.") -ge 2 ]] || e2e_fail "the selection import did not finish"
grep -qF " Placing new palette in 3." "$WORK/debug.txt" || e2e_fail "the selection import did not overwrite palette 3"
e2e_no_message

# Level, Delete Unused Palettes: 0 and 6 are no longer named by any list.
e2e_click 200 10
e2e_click 200 27
e2e_wait_log "Finished deleting unused palettes"
grep -qF "Palette 0 flagged for deletion." "$WORK/debug.txt" || e2e_fail "palette 0 was not deleted"
grep -qF "Palette 6 flagged for deletion." "$WORK/debug.txt" || e2e_fail "palette 6 was not deleted"

# Control+S saves; the asterisk goes.
e2e_keys ctrl+s
e2e_wait_log "Save completed"
sleep 0.4
[[ "$(xdotool getwindowname "$E2E_WINDOW")" == "Quarly Texture Editor 2.0" ]] || e2e_fail "the asterisk stayed after saving"
e2e_shot 07_saved

# Escape asks "Really quit?" (nothing unsaved); "Yes" ends the program.
e2e_keys Escape
sleep 0.3
e2e_shot 08_quit_window
e2e_click 350 304   # "Yes"
for _ in $(seq 100); do kill -0 "$E2E_EDITOR_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$E2E_EDITOR_PID" 2>/dev/null && e2e_fail "the editor did not quit"
wait "$E2E_EDITOR_PID"
E2E_EDITOR_STATUS=$?
E2E_EDITOR_PID=""
e2e_check_sanitizer
[[ $E2E_EDITOR_STATUS -eq 0 ]] || e2e_fail "exit status $E2E_EDITOR_STATUS"

# The saved files.
lev="$WORK/level/s.lev" d3d="$WORK/level/s.d3d"
[[ ! -e "$WORK/level/temp.lev" ]] || e2e_fail "temp.lev was left behind"
files same-blocks "$WORK/orig.lev" "$lev"
files same-pages "$WORK/orig.lev" "$lev" 1 4 5
files import8 "$lev" "$d3d" 0 "$WORK/in/eight.bmp"
[[ "$(files palette-ids "$lev")" == "1 2 3 4 5 7 8" ]] || e2e_fail "saved palettes: $(files palette-ids "$lev")"
[[ "$(files lists "$d3d")" == $'0: 7\n1: 1 2\n2: 3 4 5\n3: 8' ]] || e2e_fail "saved lists: $(files lists "$d3d")"
# The three-palette page: every pixel inside its named rectangles changed to
# the new palette's colours of the letter; the 24-bit page-3 import too.
python3 - "$lev" "$d3d" "$SOURCE/tests/e2e/level_files.py" "$WORK/orig.lev" <<'PY' || e2e_fail "imported pixels do not show the letter"
import importlib.util, sys
spec = importlib.util.spec_from_file_location('lf', sys.argv[3])
lf = importlib.util.module_from_spec(spec); spec.loader.exec_module(lf)
palettes, _, pages = lf.texture_block(sys.argv[1])
_, _, old_pages = lf.texture_block(sys.argv[4])
lists = lf.read_lists(sys.argv[2])
def selected(x, y):   # page 2's named rectangles, bounds included
    return (x <= 64 and y <= 32) or (64 <= x <= 192 and 32 <= y <= 160)
for page in (2, 3):
    pal = palettes[lists[page][0]]
    pixels = pages[page][1]
    worst = 0
    for y in range(256):
        for x in range(256):
            if page == 2 and not selected(x, y):
                if pixels[y * 256 + x] != old_pages[2][1][y * 256 + x]:
                    sys.exit('page 2: pixel (%d, %d) outside the rectangles changed' % (x, y))
                continue
            r, g, b, _ = pal[pixels[y * 256 + x]]
            wr, wg, wb = lf.letter_pixel(x, y)
            worst = max(worst, abs(r - wr) + abs(g - wg) + abs(b - wb))
    if worst > 60:
        sys.exit('page %d: a pixel is %d away from the letter' % (page, worst))
PY
# The log of the session, in order.
python3 - "$WORK/debug.txt" <<'PY' || e2e_fail "log lines out of order"
import sys
lines = [l.rstrip(' \n') for l in open(sys.argv[1])]
want = ["Loading level.", "Done loading level", "Exporting image.", "Finished exporting image.",
        "Importing image.", "Loading 8-bit texture.", "Done importing 8-bit texture.",
        "Finished importing image.", "Importing image.", "Bitmap is not 8-bit.", "Loading 15-bit texture.",
        "Successfully imported.", "Finished importing image.", "Deleting unused palettes.",
        "Finished deleting unused palettes", "Saving changes.", "Save completed", "Closing debug file."]
at = 0
for line in lines:
    if at < len(want) and line == want[at]:
        at += 1
if at != len(want):
    sys.exit('missing or out of order: ' + want[at])
PY
e2e_pass

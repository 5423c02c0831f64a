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

# The demo level the build writes: page 0 has three palettes, pages 2 and 4
# one each, odd pages are 15-bit.
mkdir -p "$WORK/level" "$WORK/out" "$WORK/in"
[[ -f "$BUILD/demo/demo.lev" ]] || e2e_fail "no demo level in $BUILD/demo"
cp "$BUILD/demo/demo.lev" "$WORK/level/demo.lev"
cp "$BUILD/demo/demo.d3d" "$WORK/level/demo.d3d"
cp "$WORK/level/demo.lev" "$WORK/orig.lev"
cp "$WORK/level/demo.d3d" "$WORK/orig.d3d"
files bmp8 "$WORK/in/eight.bmp" 11
files bmp24 "$WORK/in/letter.bmp"
read -r new_a new_b <<<"$(files free-ids "$WORK/orig.lev" 2)"

# Thumbnails: 64 pixels on a 74-pixel pitch, 7 to a row, from (15, 35).
thumb() { e2e_click $((47 + 74 * ($1 % 7))) $((67 + 74 * ($1 / 7))); }
image_menu() { e2e_click 360 10; sleep 0.3; e2e_click 350 $((27 + 11 * ($1 - 1))); }

e2e_start_editor
e2e_shot 01_start

# File, Open, LEV: the level, then its palette list.
e2e_click 40 10
e2e_click 30 27
e2e_click 110 27
e2e_choose_file "$WORK/level/demo.lev"
e2e_choose_file "$WORK/level/demo.d3d"
e2e_wait_log "Done loading level"
sleep 0.5
e2e_shot 02_opened

# Page 0 (three palettes): export as 24-bit and as 8-bit.
thumb 0
e2e_shot 03_page_picked
image_menu 1
e2e_choose_file "$WORK/out/page0_24"
e2e_wait_log "Finished exporting image."
image_menu 1
e2e_choose_file "$WORK/out/page0_8.bmp" 2
for _ in $(seq 50); do [[ $(e2e_log_count "Finished exporting image.") -ge 2 ]] && break; sleep 0.1; done
[[ -f "$WORK/out/page0_24.bmp" ]] || e2e_fail "no 24-bit export (.bmp is appended)"
[[ -f "$WORK/out/page0_8.bmp" ]] || e2e_fail "no 8-bit export"
files export24 "$WORK/orig.lev" "$WORK/orig.d3d" 0 0 "$WORK/out/page0_24.bmp"
files export8 "$WORK/orig.lev" "$WORK/orig.d3d" 0 0 "$WORK/out/page0_8.bmp"

# Exporting again to the same name (typed without ".bmp") asks before the
# file is replaced: once declined (and the chooser cancelled), once replaced.
touch -d '2000-01-01' "$WORK/out/page0_24.bmp"
image_menu 1
e2e_chooser
xdotool key --clearmodifiers ctrl+l; sleep 0.3
xdotool type --delay 20 -- "$WORK/out/page0_24"; sleep 0.5
xdotool key Return; sleep 1
xdotool search --onlyvisible --name '.' 2>/dev/null | while read -r w; do xdotool getwindowname "$w"; done |
    grep -q "^qte_file_chooser$" || e2e_fail "the chooser closed without asking"
e2e_shot 03b_replace_question
xdotool key Escape; sleep 0.5      # "Cancel" in the question: back in the chooser
kill -0 "$CHOOSER_PID" 2>/dev/null || e2e_fail "declining the replacement closed the chooser"
xdotool key Escape; sleep 0.5      # cancel the chooser
for _ in $(seq 50); do [[ $(e2e_log_count "Finished exporting image.") -ge 3 ]] && break; sleep 0.1; done
[[ "$WORK/out/page0_24.bmp" -nt "$WORK/orig.lev" ]] && e2e_fail "a declined replacement replaced the file"
image_menu 1
e2e_choose_file "$WORK/out/page0_24" 1 replace
for _ in $(seq 50); do [[ $(e2e_log_count "Finished exporting image.") -ge 4 ]] && break; sleep 0.1; done
[[ "$WORK/out/page0_24.bmp" -nt "$WORK/orig.lev" ]] || e2e_fail "the confirmed export did not replace the file"
files export24 "$WORK/orig.lev" "$WORK/orig.d3d" 0 0 "$WORK/out/page0_24.bmp"

# A 15-bit page exports as 24-bit only.
thumb 1
image_menu 1
e2e_choose_file "$WORK/out/page1"
for _ in $(seq 50); do [[ $(e2e_log_count "Finished exporting image.") -ge 5 ]] && break; sleep 0.1; done
files export24 "$WORK/orig.lev" "$WORK/orig.d3d" 1 0 "$WORK/out/page1.bmp"
e2e_no_message

# 8-bit bitmap into page 2 (one palette): indices and colour table copied,
# a new palette with the lowest free id.
thumb 2
image_menu 2
e2e_choose_file "$WORK/in/eight.bmp"
e2e_wait_log "Done importing 8-bit texture."
e2e_wait_log "Finished importing image."
grep -qF " Placing in $new_a" "$WORK/debug.txt" || e2e_fail "the 8-bit import did not place palette $new_a"
sleep 0.3
[[ "$(xdotool getwindowname "$E2E_WINDOW")" == "*Quarly Texture Editor 2.0" ]] || e2e_fail "no asterisk after an import"

# 24-bit bitmap into page 4 (one palette): a new quantised palette.
thumb 4
image_menu 2
e2e_choose_file "$WORK/in/letter.bmp"
e2e_wait_log "Successfully imported." 60
grep -qF " Placing new palette in $new_b." "$WORK/debug.txt" || e2e_fail "the 24-bit import did not place palette $new_b"
sleep 1
e2e_shot 04_imported

# 24-bit bitmap into page 0 (three palettes): the selection window, Select
# All, Done: the palette at the current slot is overwritten.
thumb 0
image_menu 2
e2e_choose_file "$WORK/in/letter.bmp"
sleep 0.6
e2e_shot 05_selection_window
e2e_click 220 447   # Select All
e2e_shot 06_all_selected
e2e_click 320 447   # Done
for _ in $(seq 600); do [[ $(e2e_log_count "Successfully imported.") -ge 2 ]] && break; sleep 0.1; done
[[ $(e2e_log_count "Successfully imported.") -ge 2 ]] || e2e_fail "the selection import did not finish"
slot0=$(files lists "$WORK/orig.d3d" | sed -n 's/^0: \([0-9-]*\).*/\1/p')
grep -qF " Placing new palette in $slot0." "$WORK/debug.txt" || e2e_fail "the selection import did not overwrite palette $slot0"
e2e_no_message

# Level, Delete Unused Palettes: the palettes pages 2 and 4 had, and any
# that no list named before.
e2e_click 200 10
sleep 0.3
e2e_click 200 27
e2e_wait_log "Finished deleting unused palettes"
# The ids the save must keep (file order, the new ones last) and the ids
# the removal must name.
python3 - "$WORK/orig.lev" "$WORK/orig.d3d" "$SOURCE/tests/e2e/level_files.py" "$new_a" "$new_b" \
    >"$WORK/expected_ids" <<'PY'
import importlib.util, sys
module_source = importlib.util.spec_from_file_location('lf', sys.argv[3])
lf = importlib.util.module_from_spec(module_source); module_source.loader.exec_module(lf)
_, order, _ = lf.texture_block(sys.argv[1])
lists = lf.read_lists(sys.argv[2])
lists[2] = [int(sys.argv[4])]
lists[4] = [int(sys.argv[5])]
named = {i for ids in lists.values() for i in ids}
print(' '.join(str(i) for i in order + [int(sys.argv[4]), int(sys.argv[5])] if i in named))
print(' '.join(str(i) for i in sorted(i for i in order if i not in named)))
PY
expected_ids=$(sed -n 1p "$WORK/expected_ids")
for id in $(sed -n 2p "$WORK/expected_ids"); do
    grep -qF "Palette $id flagged for deletion." "$WORK/debug.txt" || e2e_fail "palette $id was not deleted"
done

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
lev="$WORK/level/demo.lev" d3d="$WORK/level/demo.d3d"
[[ ! -e "$WORK/level/temp.lev" ]] || e2e_fail "temp.lev was left behind"
files same-blocks "$WORK/orig.lev" "$lev"
files same-pages "$WORK/orig.lev" "$lev" 1 3 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31
files import8 "$lev" "$d3d" 2 "$WORK/in/eight.bmp"
[[ "$(files palette-ids "$lev")" == "$expected_ids" ]] || e2e_fail "saved palettes: $(files palette-ids "$lev"), expected $expected_ids"
expected_lists=$(files lists "$WORK/orig.d3d" | sed "s/^2: .*/2: $new_a/; s/^4: .*/4: $new_b/")
[[ "$(files lists "$d3d")" == "$expected_lists" ]] || e2e_fail "saved lists: $(files lists "$d3d")"
# The three-palette page: every pixel inside its named rectangles changed to
# the new palette's colours of the letter; the 24-bit page-4 import too.
python3 - "$lev" "$d3d" "$SOURCE/tests/e2e/level_files.py" "$WORK/orig.lev" <<'PY' || e2e_fail "imported pixels do not show the letter"
import importlib.util, sys
module_source = importlib.util.spec_from_file_location('lf', sys.argv[3])
lf = importlib.util.module_from_spec(module_source); module_source.loader.exec_module(lf)
palettes, _, pages = lf.texture_block(sys.argv[1])
_, _, old_pages = lf.texture_block(sys.argv[4])
lists = lf.read_lists(sys.argv[2])
rects = [(x, y, w, h) for (_, p, x, y, w, h) in lf.texture_names(sys.argv[1]) if p == 0]
def selected(x, y):   # page 0's named rectangles, bounds included
    return any(rx <= x <= rx + w and ry <= y <= ry + h for (rx, ry, w, h) in rects)
for page in (0, 4):
    pal = palettes[lists[page][0]]
    pixels = pages[page][1]
    worst = 0
    for y in range(256):
        for x in range(256):
            if page == 0 and not selected(x, y):
                if pixels[y * 256 + x] != old_pages[0][1][y * 256 + x]:
                    sys.exit('page 0: pixel (%d, %d) outside the rectangles changed' % (x, y))
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

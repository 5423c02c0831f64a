#!/usr/bin/env bash
# A modder's session: open a level named in upper case through the real
# file chooser (the choosers titled by what they ask), pick pages, export
# them (the name and type the chooser suggests, typed extensions, 24-bit),
# import an 8-bit and a 24-bit bitmap into one-palette pages, undo and redo,
# decline to let the change go for another level, decline a partial 8-bit
# import into the three-palette page and import a 24-bit bitmap into it
# through the selection window, save with a held Control+S, delete the
# unused palettes and quit with Escape and "Save". Then the files are
# checked byte for byte and the log line by line.
# Usage: test_edit_level.sh BUILD_DIR SOURCE_DIR
source "$2/tests/e2e/lib.sh"
e2e_begin "$1" "$2"
files() { python3 "$SOURCE/tests/e2e/level_files.py" "$@" || e2e_fail "check failed: $*"; }

# The demo level the build writes, named in upper case as the game's files
# often are: page 0 has three palettes, pages 2 and 4 one each, odd pages
# are 15-bit.
mkdir -p "$WORK/level" "$WORK/in"
orig="$BUILD/demo/demo"   # .lev and .d3d, left as they are
lev="$WORK/level/DEMO.LEV" d3d="$WORK/level/DEMO.D3D"
cp "$orig.lev" "$lev" && cp "$orig.d3d" "$d3d" || e2e_fail "no demo level in $BUILD/demo"
files bmp8 "$WORK/in/eight.bmp" 11
files bmp24 "$WORK/in/letter.bmp"
read -r new_a new_b <<<"$(files free-ids "$orig.lev" 2)"

# Thumbnails: 64 pixels on a 74-pixel pitch, 7 to a row, from (15, 35).
thumb() { e2e_click $((47 + 74 * ($1 % 7))) $((67 + 74 * ($1 / 7))); }
image_menu() { e2e_menu 360 "$1" 350; }
exported() { e2e_wait_log "Finished exporting image." "$1"; }

e2e_start_editor

# File, Open, LEV: the level's folder typed completes to the one level the
# chooser lists there, DEMO.LEV, and Enter takes it; its palette list starts
# chosen, Enter takes it.
e2e_menu 40 1
e2e_click 240 27   # Open > LEV, beside the File menu
e2e_chooser
xdotool key --clearmodifiers ctrl+l; sleep 0.3
xdotool type --delay 20 -- "$WORK/level/"; sleep 0.6
xdotool key Return
e2e_until 5 e2e_ended "$CHOOSER_PID" || e2e_fail "the level chooser did not list DEMO.LEV"
e2e_chooser
xdotool key Return
e2e_wait_log "Done loading level"
sleep 0.5

# Page 0 (three palettes): the export chooser starts in the level's folder
# on "8-bit Bitmap" with page_000.bmp typed in, and Enter writes that, the
# lossless round trip. A name without an extension gets the type's
# (brick.v2.bmp); a typed one chooses the format (x.png: a PNG, not x.png.bmp).
thumb 0
image_menu 1
e2e_chooser
xdotool key Return
exported 1
files export8 "$orig.lev" "$orig.d3d" 0 0 "$WORK/level/page_000.bmp"
image_menu 1
e2e_choose_file brick.v2
image_menu 1
e2e_choose_file x.png
exported 3
[[ -s "$WORK/level/brick.v2.bmp" && "$(head -c 4 "$WORK/level/x.png" | tail -c 3)" == PNG && ! -e "$WORK/level/x.png.bmp" ]] ||
    e2e_fail "typed names did not choose the formats: $(ls "$WORK/level")"

# As 24-bit, a bare name (".bmp" is appended; checked once replaced below).
image_menu 1
e2e_choose_file page0_24 1
exported 4

# Exporting again to the same name (typed without ".bmp") asks before the
# file is replaced: once declined (and the chooser cancelled), once replaced.
touch -d '2000-01-01' "$WORK/level/page0_24.bmp"
image_menu 1
e2e_chooser
xdotool key --clearmodifiers ctrl+l; sleep 0.3
xdotool type --delay 20 -- "$WORK/level/page0_24"; sleep 0.5
xdotool key Return; sleep 1
xdotool key Escape; sleep 0.5      # "Cancel" in the question: back in the chooser
kill -0 "$CHOOSER_PID" 2>/dev/null || e2e_fail "the chooser closed without asking, or when declined"
xdotool key Escape; sleep 0.5      # cancel the chooser
exported 5
[[ "$WORK/level/page0_24.bmp" -nt "$lev" ]] && e2e_fail "a declined replacement replaced the file"
image_menu 1
e2e_choose_file "$WORK/level/page0_24" 1 replace
exported 6
[[ "$WORK/level/page0_24.bmp" -nt "$lev" ]] || e2e_fail "the confirmed export did not replace the file"
files export24 "$orig.lev" "$orig.d3d" 0 0 "$WORK/level/page0_24.bmp"

# A 15-bit page exports as 24-bit only, a bare name into the folder last
# exported to.
thumb 1
image_menu 1
e2e_choose_file page1
exported 7
files export24 "$orig.lev" "$orig.d3d" 1 0 "$WORK/level/page1.bmp"
e2e_no_message

# 8-bit bitmap into page 2 (one palette): indices and colour table copied,
# a new palette with the lowest free id.
thumb 2
image_menu 2
e2e_choose_file "$WORK/in/eight.bmp"
e2e_wait_log "Finished importing image."
grep -qF " Placing in $new_a" "$E2E_LOG" || e2e_fail "the 8-bit import did not place palette $new_a"
titles=$(uniq "$WORK/titles" | paste -sd,)
[[ "$titles" == "Open Level,Open Palette List,Export Page,Import Image" ]] || e2e_fail "the choosers were titled $titles"
sleep 0.3
[[ "$(xdotool getwindowname "$E2E_WINDOW")" == "*Quarly Texture Editor 2.0" ]] || e2e_fail "no asterisk after an import"

# Control+Z takes the import back once however long it is held: the asterisk
# goes and a save writes the files as they were. Control+Shift+Z redoes it.
title_is() { sleep 0.4; [[ "$(xdotool getwindowname "$E2E_WINDOW")" == "$1" ]] || e2e_fail "$2"; }
e2e_keys ctrl+z
title_is "Quarly Texture Editor 2.0" "the asterisk stayed after undoing the only change"
e2e_keys ctrl+s
e2e_wait_log "Save completed"
cmp -s "$orig.lev" "$lev" && cmp -s "$orig.d3d" "$d3d" || e2e_fail "the undone import was saved"
e2e_keys ctrl+shift+z
title_is "*Quarly Texture Editor 2.0" "no asterisk after redoing the import"
[[ "$(e2e_log_count "Undoing the last change.") $(e2e_log_count "Redoing the last change.")" == "1 1" ]] || e2e_fail "a held chord took more than one step"

# Opening a level with the change unsaved asks first; "No" keeps the level
# and the asterisk, and no chooser opens.
e2e_keys ctrl+o
sleep 0.4
e2e_click $E2E_NO
title_is "*Quarly Texture Editor 2.0" "No let the unsaved change go"
e2e_live_chooser && e2e_fail "a chooser opened after No"
(($(e2e_log_count "Loading level.") == 1)) || e2e_fail "Open went on after No"

# 24-bit bitmap into page 4 (one palette): a new quantised palette.
thumb 4
image_menu 2
e2e_choose_file "$WORK/in/letter.bmp"
e2e_wait_log "Successfully imported." 1 60
grep -qF " Placing new palette in $new_b." "$E2E_LOG" || e2e_fail "the 24-bit import did not place palette $new_b"
sleep 1

# 24-bit bitmap into page 0 (three palettes): the selection window, BRICK_A
# alone (the top-left quarter), Done: the palette at the current slot is
# written in place, and its neighbours BRICK_B and LOWER keep their pixels
# and their colours.
slot0=$(files lists "$orig.d3d" | sed -n 's/^0: \([0-9-]*\).*/\1/p')
thumb 0
image_menu 2
e2e_choose_file "$WORK/in/letter.bmp"
sleep 0.6
e2e_click 241 244   # BRICK_A in the selector
e2e_click 320 467   # Done
e2e_wait_log "Successfully imported." 2 60
grep -qF " Placing new palette in $slot0." "$E2E_LOG" || e2e_fail "the selection import did not overwrite palette $slot0"
e2e_no_message

# Control+S held for half a second saves once: neither the held keys nor
# their repeats save again.
xdotool windowfocus --sync "$E2E_WINDOW" 2>/dev/null
xdotool keydown ctrl keydown s; sleep 0.6; xdotool keyup s keyup ctrl
e2e_wait_log "Save completed" 2
sleep 0.5
(($(e2e_log_count "Saving changes.") == 2)) || e2e_fail "a held Control+S saved $(e2e_log_count "Saving changes.") times in all"

# Level, Delete Unused Palettes: the palettes pages 2 and 4 had, and any
# that no list named before; a message box names them.
e2e_menu 200 1
files kept-ids "$orig.lev" "$orig.d3d" 2=$new_a 4=$new_b >"$WORK/expected_ids"
expected_ids=$(sed -n 1p "$WORK/expected_ids")
deleted=$(sed -n 2p "$WORK/expected_ids")
e2e_expect_message "Deleted $(wc -w <<<"$deleted") unused palettes (ids ${deleted// /, })."

# Escape with that change unsaved asks "Discard unsaved changes?"; its
# "Save" writes the level and ends the program.
e2e_keys Escape
sleep 0.3
e2e_click $E2E_SAVE
e2e_wait_exit
(($(e2e_log_count "Save completed") == 3)) || e2e_fail "Save in the quit question did not save"

# The saved files.
[[ ! -e "$WORK/level/temp.lev" ]] || e2e_fail "temp.lev was left behind"
files same-blocks "$orig.lev" "$lev"
files same-pages "$orig.lev" "$lev" 1 3 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31
files import8 "$lev" "$d3d" 2 "$WORK/in/eight.bmp"
[[ "$(files palette-ids "$lev")" == "$expected_ids" ]] || e2e_fail "saved palettes: $(files palette-ids "$lev"), expected $expected_ids"
expected_lists=$(files lists "$orig.d3d" | sed "s/^2: .*/2: $new_a/; s/^4: .*/4: $new_b/")
[[ "$(files lists "$d3d")" == "$expected_lists" ]] || e2e_fail "saved lists: $(files lists "$d3d")"
# The three-palette page (in BRICK_A) and the 24-bit page-4 import show the
# letter; outside BRICK_A page 0 keeps its pixels and their colours.
files letter "$lev" "$d3d" "$orig.lev" 0

# The log of the session, in order.
want=("Loading level." "Done loading level" "Exporting image." "Finished exporting image."
      "Importing image." "Loading 8-bit texture." "Done importing 8-bit texture."
      "Finished importing image." "Importing image." "Loading 15-bit texture."
      "Successfully imported." "Finished importing image." "Deleting unused palettes."
      "Finished deleting unused palettes" "Saving changes." "Save completed" "Closing debug file.")
at=0
while read -r line; do [[ "$line" == "${want[at]:-}" ]] && at=$((at + 1)); done <"$E2E_LOG"
((at == ${#want[@]})) || e2e_fail "log line missing or out of order: ${want[at]}"
e2e_pass

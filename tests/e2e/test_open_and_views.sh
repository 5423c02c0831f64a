#!/usr/bin/env bash
# Opening levels the way things go wrong, and the views: the empty screen's
# line on how to begin, gone once a level is open; Control+O with a
# cancelled chooser (which must not open again by itself), a cancelled
# second chooser, a file that is no level (reported, the open level kept and
# still saved to its own files), a missing chooser program; then the View
# menu's switches, "Models Using This Tex" with and without users, the quit
# window's "No" and Escape with unsaved changes.
# Usage: test_open_and_views.sh BUILD_DIR SOURCE_DIR
source "$2/tests/e2e/lib.sh"
e2e_begin "$1" "$2"
mkdir -p "$WORK/level"
"$BUILD/make_sample_level" "$WORK/level/s.lev" "$WORK/level/s.d3d" 4 2 || e2e_fail "no sample level"
cp "$WORK/level/s.lev" "$WORK/orig.lev"
cp "$WORK/level/s.d3d" "$WORK/orig.d3d"
printf 'not a level at all' >"$WORK/level/bad.lev"
thumb() { e2e_click $((47 + 74 * $1)) 67; }
view_entry() { e2e_menu 280 "$1"; }
# Dark pixels where the empty page view says how to open a level.
hint_shown() { e2e_shot hint; [[ $(convert "$WORK/shots/hint.png" -crop 400x30+100+295 -colorspace Gray -format '%[fx:minima < 0.5]' info:) == 1 ]]; }
# pixel_at SHOT X Y; darker SHOT X Y W H LIMIT: the darkest pixel of the box is below LIMIT (0 to 1).
pixel_at() { convert "$WORK/shots/$1.png" -format "%[pixel:p{$((E2E_EDITOR_X + $2)),$((E2E_EDITOR_Y + $3))}]" info:; }
darker() { [[ $(convert "$WORK/shots/$1.png" -crop "$4x$5+$((E2E_EDITOR_X + $2))+$((E2E_EDITOR_Y + $3))" -colorspace Gray -format "%[fx:minima < $6]" info:) == 1 ]]; }

e2e_start_editor
hint_shown || e2e_fail "the empty screen does not say how to open a level"

# Control+O, then Escape in the chooser: nothing loaded, and the held
# Control+O does not bring the chooser back. While the chooser is up, the
# window is drawn again when it has lost its picture (unmapped and mapped):
# the parts the chooser leaves uncovered show the menu bar and the view.
e2e_shot before
xdotool mousemove $((E2E_EDITOR_X + 400)) $((E2E_EDITOR_Y + 300))
xdotool keydown ctrl keydown o
e2e_chooser
xdotool keyup o keyup ctrl   # released while the chooser has the focus
xdotool windowunmap --sync "$E2E_WINDOW" windowmap --sync "$E2E_WINDOW"
sleep 0.8
e2e_shot chooser
[[ "$(pixel_at chooser 60 300)" == "$(pixel_at before 60 300)" ]] || e2e_fail "the window was not drawn again while the chooser was up"
xdotool windowfocus --sync "$CHOOSER" 2>/dev/null
sleep 0.2
xdotool key Escape
e2e_wait_log "Error with GetOpenFilename: 0"
sleep 1.5
[[ $(e2e_log_count "Loading level.") -eq 1 ]] || e2e_fail "the chooser opened again after it was cancelled"

# A level file, then Escape in the second chooser.
e2e_keys ctrl+o
e2e_choose_file "$WORK/level/s.lev"
e2e_cancel_file
e2e_wait_log "Done loading level" 2
[[ $(e2e_log_count "Error with GetOpenFilename: 0") -eq 2 ]] || e2e_fail "the second cancel was not logged"
grep -qF "Attempting to load level." "$E2E_LOG" && e2e_fail "a level was read after a cancel"

# The real level.
e2e_keys ctrl+o
e2e_open_level "$WORK/level/s.lev" "$WORK/level/s.d3d"
sleep 0.5
hint_shown && e2e_fail "the line on how to begin stayed with a level open"

# Control+wheel up makes the thumbnails smaller (the gap right of and below
# the first is then the view's background); wheel down makes them larger.
xdotool mousemove $((E2E_EDITOR_X + 300)) $((E2E_EDITOR_Y + 300)) keydown ctrl click 4 keyup ctrl
sleep 0.4
e2e_shot smaller
[[ "$(pixel_at smaller 52 72)" == "$(pixel_at smaller 10 300)" ]] || e2e_fail "Control+wheel up did not make the thumbnails smaller"
xdotool keydown ctrl click 5 keyup ctrl
sleep 0.3

# A file that is no level: a message naming it; the level stays open.
e2e_keys ctrl+o
e2e_choose_file "$WORK/level/bad.lev"
e2e_choose_file "$WORK/level/s.d3d"
e2e_expect_message "The level file could not be opened:
$WORK/level/bad.lev
" prefix
thumb 3
sleep 0.3
[[ "$(xdotool getwindowname "$E2E_WINDOW")" == "Quarly Texture Editor 2.0" ]] || e2e_fail "the title changed"

# Models: while none is chosen the view says so; each model first shows
# from the same angle and distance, however the one before was turned and
# brought nearer.
view_entry 1
sleep 0.4
e2e_shot models
darker models 200 308 210 12 0.3 || e2e_fail "the Models view does not say to choose a model"
e2e_click 650 210   # the first model
e2e_shot first
xdotool mousemove $((E2E_EDITOR_X + 300)) $((E2E_EDITOR_Y + 300)) click --repeat 9 --delay 40 4 \
    mousedown 1 sleep 0.2 mousemove_relative 40 25 sleep 0.2 mouseup 1 sleep 0.3
e2e_click 650 220   # the second
e2e_click 650 210
e2e_shot again
view_of() { convert "$WORK/shots/$1.png" -crop 590x560+$((E2E_EDITOR_X + 10))+$((E2E_EDITOR_Y + 30)) +repage "$WORK/$1.ppm"; }
view_of first; view_of again
cmp -s "$WORK/first.ppm" "$WORK/again.ppm" || e2e_fail "the model came back turned"
view_entry 4

# Models Using This Tex: page 3 is used by nobody; page 2 by the event model.
view_entry 3
e2e_expect_message "No models use this texture."
thumb 2
view_entry 3
sleep 0.5
e2e_no_message
e2e_click 650 185   # Flash texture
e2e_click 650 210   # the first row: the event model
sleep 0.5
# Models, event models, individual textures, texture groups, the settings.
for entry in 1 2 5 4 6; do view_entry $entry; sleep 0.3; done
e2e_click 695 105   # the settings window's close box

# Saving the unchanged level writes the same bytes to its own files.
e2e_keys ctrl+s
e2e_wait_log "Save completed"
cmp -s "$WORK/orig.lev" "$WORK/level/s.lev" || e2e_fail "saving changed the level file"
cmp -s "$WORK/orig.d3d" "$WORK/level/s.d3d" || e2e_fail "saving changed the palette list"

# Page 2 was current in Texture Groups; opening the level again leaves no
# page current: the Image menu's place on the bar is as bare as the bar.
e2e_keys ctrl+o
e2e_open_level "$WORK/level/s.lev" "$WORK/level/s.d3d"
sleep 0.5
e2e_shot reopened
bar_at() { convert "$WORK/shots/reopened.png" -crop 60x20+$((E2E_EDITOR_X + $1))+$E2E_EDITOR_Y +repage -format %# info:; }
[[ "$(bar_at 320)" == "$(bar_at 600)" ]] || e2e_fail "the Image menu stayed after the open"

# Escape asks "Really quit?"; "No" keeps the editor running.
e2e_keys Escape
sleep 0.3
e2e_click $E2E_NO
sleep 0.3
kill -0 "$E2E_EDITOR_PID" 2>/dev/null || e2e_fail "No ended the editor"
e2e_quit

# After a restart, with nothing to undo: the Level menu shows the shortcuts
# at its right, Undo and Redo greyed. File > Open Recent lists the level
# opened last, kept in the settings, first; a level whose files are gone
# second, greyed: a click on it does nothing, on the first opens that level.
printf '\nlevel_2 = %s\nd3d_2 = %s\n' "$WORK/gone.lev" "$WORK/gone.d3d" >>"$WORK/app/settings.ini"
e2e_start_editor
e2e_click 200 10
e2e_shot level_menu
e2e_click 200 10
darker level_menu 163 24 150 9 0.3 || e2e_fail "Delete Unused Palettes is not drawn black"
darker level_menu 163 35 150 9 0.4 && e2e_fail "Undo is not greyed"
darker level_menu 360 35 100 20 0.8 || e2e_fail "no shortcuts beside Undo and Redo"
e2e_menu 40 2
e2e_click 300 49   # the level that is gone
sleep 0.5
(($(e2e_log_count "Loading level.") == 0)) || e2e_fail "a greyed recent level was opened"
e2e_click 300 38
e2e_wait_log "Done loading level"
[[ "$(sed -n 2p "$E2E_LOG")" == "Attempting to load settings. " ]] && grep -qF "$WORK/level/s.lev" "$WORK/app/settings.ini" ||
    e2e_fail "the recent level was not kept"
e2e_quit

# Without the chooser program beside the editor: a message, no dialog.
mkdir -p "$WORK/alone"
cp "$BUILD/qte" "$WORK/alone/qte"
E2E_PROGRAM="$WORK/alone/qte" E2E_LOG="$WORK/alone/debug.txt"
e2e_start_editor
e2e_keys ctrl+o
e2e_expect_message "The file chooser could not be started:
$WORK/alone/qte_file_chooser"
e2e_wait_log "Done loading level"
e2e_quit
e2e_pass

#!/usr/bin/env bash
# Image > Export All and Import All: every page written into a folder as
# the single export writes it; one file edited; Import All takes back that
# page alone, says so, marks the title, and the save changes only that page.
# Usage: test_batch.sh BUILD_DIR SOURCE_DIR
source "$2/tests/e2e/lib.sh"
e2e_begin "$1" "$2"
files() { python3 "$SOURCE/tests/e2e/level_files.py" "$@" || e2e_fail "check failed: $*"; }

mkdir -p "$WORK/level" "$WORK/all"
orig="$BUILD/demo/demo"
lev="$WORK/level/demo.lev" d3d="$WORK/level/demo.d3d"
cp "$orig.lev" "$lev" && cp "$orig.d3d" "$d3d" || e2e_fail "no demo level in $BUILD/demo"
pages=$(python3 -c 'import sys; sys.path[0] = sys.argv[1]; import level_files; print(len(level_files.texture_block(sys.argv[2])[2]))' "$SOURCE/tests/e2e" "$orig.lev")
image_menu() { e2e_menu 360 "$1" 350; }

e2e_start_editor
e2e_menu 40 1
e2e_click 240 27   # Open > LEV, beside the File menu
e2e_open_level "$lev" "$d3d"
e2e_click 47 67   # page 0's thumbnail: the Image menu appears

# Page 0 exported alone as 8-bit, then every page (8-bit bitmaps, the
# default) but page 16, whose palette is missing, as Export says for it alone.
image_menu 1
e2e_choose_file "$WORK/single0.bmp" 2
e2e_wait_log "Finished exporting image."
image_menu 3
e2e_choose_file "$WORK/all"
e2e_expect_message "Exported $((pages - 1)) pages to
$WORK/all
Page 16 was left out: the palette shown is missing."
(($(ls "$WORK/all" | wc -l) == pages - 1)) || e2e_fail "Export All wrote $(ls "$WORK/all" | wc -l) files for $pages pages"
cmp "$WORK/single0.bmp" "$WORK/all/page_000.bmp" || e2e_fail "Export All's page 0 differs from its single export"
files export24 "$orig.lev" "$orig.d3d" 1 0 "$WORK/all/page_001.bmp"

# Page 2's file gets new indices in its top row; its colour table stays.
python3 - "$WORK/all/page_002.bmp" <<'PY' || e2e_fail "cannot edit page_002.bmp"
import sys
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
top = len(data) - 256   # rows are stored bottom first
data[top:] = bytes((i * 7 + 1) % 256 for i in range(256))
open(path, 'wb').write(data)
PY
image_menu 4
e2e_choose_file "$WORK/all"
e2e_expect_message "Imported 1 page, skipped $((pages - 2)) unchanged."
sleep 0.4
[[ "$(xdotool getwindowname "$E2E_WINDOW")" == "*Quarly Texture Editor 2.0" ]] || e2e_fail "no asterisk after Import All"
e2e_keys ctrl+s
e2e_wait_log "Save completed"
e2e_quit

files same-blocks "$orig.lev" "$lev"
files same-pages "$orig.lev" "$lev" $(seq 0 $((pages - 1)) | grep -vx 2)
files import8 "$lev" "$d3d" 2 "$WORK/all/page_002.bmp"
e2e_pass

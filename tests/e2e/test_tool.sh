#!/usr/bin/env bash
# qte-tool with no display: export and import --from with no edits leave the
# level byte-identical (BMP and PNG), the exported bitmaps are the editor's,
# an edited 8-bit PNG and 24-bit BMP land in their pages with their palettes,
# info --json agrees with the files, check names dangling references, the log
# goes only to --log, and every refusal gives its line and status and leaves
# every file as it was.
# Usage: test_tool.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD=$(cd "$1" && pwd)
SOURCE=$(cd "$2" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
[[ -x "$BUILD/qte-tool" ]] || fail "no tool at $BUILD/qte-tool"
W=$(mktemp -d /tmp/qte-tool.XXXXXXXX)
trap 'rm -rf "$W"' EXIT
cd "$W" && chmod 755 .
unset DISPLAY
tool() { "$BUILD/qte-tool" "$@"; }
files() { python3 "$SOURCE/tests/e2e/level_files.py" "$@" || fail "check failed: $*"; }
sums() { find . -type f | sort | xargs md5sum; }
# The palette list in upper case: found whatever its case.
cp "$BUILD/demo/demo.lev" lvl.lev && cp "$BUILD/demo/demo.d3d" lvl.D3D && cp lvl.lev orig.lev && cp lvl.D3D orig.d3d ||
    fail "no demo level"

# Page 16 has no palette list, so it has no palette to be exported with: an
# export of every page leaves it out and says so.
[[ $(tool export lvl.lev 2>&1 >/dev/null) == "qte-tool: lvl.lev: page 16 left out: its palette is missing" ]] ||
    fail "export"
[[ $(ls lvl | wc -l) == 31 ]] || fail "exported: $(ls lvl)"
files export8 lvl.lev lvl.D3D 2 0 lvl/page_002.bmp
files export24 lvl.lev lvl.D3D 1 0 lvl/page_001.bmp
tool export lvl.lev --pages 0 --depth 24 -o deep -q && files export24 lvl.lev lvl.D3D 0 0 deep/page_000.bmp
[[ $(tool import lvl.lev --from lvl) == "Imported 0 files, skipped 31 unchanged" ]] || fail "import of the export"
tool export lvl.lev --format png --all-palettes -o png -q && tool import lvl.lev --from png -q ||
    fail "png round trip"
cmp lvl.lev orig.lev && cmp lvl.D3D orig.d3d || fail "export and import changed the level"

# Edits: an 8-bit PNG into page 2, the 24-bit letter into page 0 (three
# palettes: every named texture) and page 4; to --out, the pair untouched.
mkdir edit && files bmp8 eight.bmp 11 && files png8 eight.bmp edit/page_002.png && files bmp24 edit/page_000.bmp
cp edit/page_000.bmp edit/page_004.bmp
before=$(sums)
dry=$(tool import lvl.lev --from edit --dry-run --jobs 2)
[[ "$dry" == $'Would change page 0\nWould change page 2\nWould change page 4\nWould import 3 files, skipped 0 unchanged' ]] ||
    fail "dry run: $dry"
[[ $(sums) == "$before" ]] || fail "the dry run wrote"
tool import lvl.lev --from edit --out new.lev new.d3d -q || fail "import of the edits"
cmp lvl.lev orig.lev && cmp lvl.D3D orig.d3d || fail "--out changed the level"
files import8 new.lev new.d3d 2 eight.bmp
files letter new.lev new.d3d orig.lev
files same-pages orig.lev new.lev 1 3 6 8

# info --json against the files: lists, unused palettes, counts; the log
# (with -v on standard error) never on standard output.
tool -v info new.lev new.d3d --json 2>err | python3 -c "
import json, sys
sys.path.insert(0, '$SOURCE/tests/e2e')
import level_files as lf
info, lists = json.load(sys.stdin), lf.read_lists('new.d3d')
palettes, _, pages = lf.texture_block('new.lev')
assert [p['palette_ids'] for p in info['pages']] == [lists.get(i, []) for i in range(len(pages))], 'lists'
assert sorted(p['id'] for p in info['palettes'] if p['unused']) == \
    sorted(set(palettes) - {i for l in lists.values() for i in l}), 'unused'
assert (info['models'], info['event_models'], len(info['textures'])) == (13, 3, len(lf.texture_names('new.lev')))
" || fail "info --json"
grep -qx "Attempting to load level. " err || fail "-v: no log on standard error"
tool info lvl.lev --log log.txt >/dev/null && [[ $(head -n 1 log.txt) == "Debug file initialized. " ]] || fail "--log"
[[ ! -e debug.txt ]] || fail "debug.txt written"

# check: a list naming a palette the level lacks; a clean level.
python3 -c "
import struct
d = open('orig.d3d', 'rb').read()
open('dang.d3d', 'wb').write(struct.pack('<i', struct.unpack_from('<i', d)[0] + 1) + d[4:] + struct.pack('<3i', 16, 1, 999))"
out=$(tool check lvl.lev dang.d3d); status=$?
[[ $status == 1 && $out == "page 16: its palette list names palette 999, which the level does not have" ]] ||
    fail "check ($status): $out"
"$BUILD/make_sample_level" clean.lev clean.d3d 2 1 && [[ $(tool check clean.lev) == "No findings" ]] || fail "clean check"

# Refusals, as another user when root (so the read-only folder is one):
# status, the line, and no file changed.
as=(); [[ $EUID == 0 ]] && as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
head -c 40960 orig.lev >cut.lev && cp orig.d3d cut.d3d
mkdir bad ro open && chmod 777 open && head -c 100 edit/page_002.png >bad/page_002.png && cp orig.lev orig.d3d ro/ && chmod 555 ro
trunc="cut.lev: the level file was refused: block size 3166382 runs past the end of the file (block 0 of kind 0, at offset 4)"
while IFS='|' read -r want line args; do
    before=$(sums)
    err=$("${as[@]}" "$BUILD/qte-tool" $args 2>&1 >/dev/null); status=$?
    [[ $status == "$want" && $(head -n 1 <<<"$err") == "qte-tool: $line" ]] || fail "$args: $status: $err"
    [[ $(sums) == "$before" && ! -e open/sixteen ]] || fail "$args changed files"
done <<EOF2
1|none.lev: cannot open the level file (No such file or directory)|info none.lev
1|$trunc|import cut.lev --from edit
2|$trunc|check cut.lev
1|bad/page_002.png: a chunk's length runs past the end of the file|import lvl.lev --from bad
1|ro: the folder cannot be written to|export lvl.lev -o ro --pages 1
1|ro/orig.lev: no temporary file can be made beside $W/ro/orig.lev (Permission denied)|import ro/orig.lev --page 2 eight.bmp
1|lvl.lev: there is no page 99 (the level has 32)|import lvl.lev --page 99 eight.bmp
1|lvl.lev: there is no page 40 (the level has 32)|export lvl.lev --pages 40
1|lvl.lev: palette 0 of page 16 does not exist|export lvl.lev --pages 15-16 -o open/sixteen
2|--pages: "4,x" is not a list like 0-5,9,12|export lvl.lev --pages 4,x
2|unknown command "frob"|frob lvl.lev
EOF2
echo PASS

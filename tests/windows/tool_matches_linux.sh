#!/usr/bin/env bash
# qte-tool.exe under Wine against the Linux qte-tool on the demo level: the
# same info --json, the same exported files, the same level saved after
# imports (true colour through both quantisers, in place and with --out),
# also under a folder and file name outside ASCII.
# usage: tool_matches_linux.sh LINUX_TOOL WINDOWS_TOOL DEMO_FOLDER
set -euo pipefail
linux=$1 windows=$2 demo=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wine_tool() { WINEDEBUG=-all "${QTE_WINE:-wine}" "$windows" "$@"; }
fail() { echo "FAILED: $*"; exit 1; }
mkdir "$work/Ünïcödé"
cp "$demo/demo.lev" "$work/Ünïcödé/дэмо.lev"
cp "$demo/demo.d3d" "$work/Ünïcödé/дэмо.D3D"
/usr/bin/python3 - "$work/images" <<'PY'
import os, sys
from PIL import Image
os.mkdir(sys.argv[1])
for page, (a, b) in enumerate([(3, 5), (7, 2), (1, 9)]):
    im = Image.new("RGB", (256, 256))
    im.putdata([((x * a + y) % 256, (y * b ^ x) % 256, (x * y // 97) % 256) for y in range(256) for x in range(256)])
    im.save(os.path.join(sys.argv[1], "page_%03d.png" % page))
PY

checks=0
for side in linux windows; do
  run=$([[ $side == linux ]] && echo "$linux" || echo wine_tool)
  out=$work/$side
  mkdir "$out"
  $run info "$demo/demo.lev" --json > "$out/info.json"
  $run info "$work/Ünïcödé/дэмо.lev" --json > "$out/info-unicode.json"
  $run -q export "$demo/demo.lev" --format png -o "$out/png"
  $run -q export "$demo/demo.lev" --depth 24 --all-palettes -o "$out/bmp"
  $run -q import "$demo/demo.lev" --from "$work/images" --out "$out/new.lev" "$out/new.d3d"
  $run -q import "$out/new.lev" --page 4 "$work/images/page_002.png" --quantiser best --dither
done
cmp "$work/linux/info.json" "$work/linux/info-unicode.json" || fail "the level under a non-ASCII name reads differently"
for f in info.json info-unicode.json new.lev new.d3d; do
  cmp "$work/linux/$f" "$work/windows/$f" || fail "$f differs"
  checks=$((checks + 1))
done
diff -r "$work/linux/png" "$work/windows/png" > /dev/null || fail "the PNG export differs"
diff -r "$work/linux/bmp" "$work/windows/bmp" > /dev/null || fail "the BMP export differs"
checks=$((checks + $(ls "$work/linux/png" "$work/linux/bmp" | grep -c '^page')))
cmp -s "$demo/demo.lev" "$work/linux/new.lev" && fail "the imports changed nothing"
echo "qte-tool.exe matches the Linux tool: $checks files compared"

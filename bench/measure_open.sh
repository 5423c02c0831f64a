#!/usr/bin/env bash
# Measures, under Xvfb, the time from confirming the palette-list file in the
# chooser to the first frame that shows the thumbnails of a 128-page level,
# and the editor's CPU use while it sits idle with that level open.
# Not a pass/fail test: it prints the figures. It drives the editor like the
# end-to-end tests do (their helpers in tests/e2e/lib.sh) and needs the
# editor, its file chooser and make_big_level built, and Xvfb and xdotool.
# Usage, from the source folder with a build in build/:
#   ninja -C build qte qte_file_chooser make_big_level
#   bash bench/measure_open.sh build . [PAGES]
source "$2/tests/e2e/lib.sh"
e2e_begin "$1" "$2"
pages=${3:-128}
mkdir -p "$WORK/level"
"$BUILD/make_big_level" "$WORK/level/big.lev" "$WORK/level/big.d3d" "$pages" >/dev/null || e2e_fail "no level"
e2e_start_editor
e2e_keys ctrl+o
e2e_choose_file "$WORK/level/big.lev"
e2e_chooser
xdotool key --clearmodifiers ctrl+l
sleep 0.3
xdotool type --delay 15 -- "$WORK/level/big.d3d"
sleep 0.4
# The first thumbnail's centre is white (or black) until the level is drawn.
probe() { import -window root -crop 1x1+$((E2E_EDITOR_X + 47))+$((E2E_EDITOR_Y + 67)) -depth 8 txt:- 2>/dev/null | tail -n 1 | grep -o '#[0-9A-F]\{6\}'; }
# (While the chooser is up the editor's window may read back black.)
before=$(probe)
[[ "$before" == "#FFFFFF" || "$before" == "#000000" ]] || e2e_fail "the probe point shows $before before the level is read"
start=$(date +%s.%N)
# Times at which the log's milestones appear, polled every 5 ms meanwhile.
python3 - "$WORK/debug.txt" "$start" >"$WORK/milestones" <<'PY' &
import sys, time
path, start = sys.argv[1], float(sys.argv[2])
marks = ["Attempting to load level.", "Finished parsing d3d.", "Done loading level"]
seen = {}
end = time.time() + 20
while len(seen) < len(marks) and time.time() < end:
    text = open(path).read()
    for m in marks:
        if m not in seen and m in text:
            seen[m] = time.time() - start
    time.sleep(0.005)
for m in marks:
    print("  %-28s %.3f s" % (m, seen.get(m, -1)))
PY
watcher=$!
xdotool key Return
shown=""
for _ in $(seq 600); do
    colour=$(probe)
    if [[ -n "$colour" && "$colour" != "#FFFFFF" && "$colour" != "#000000" ]]; then shown=$(date +%s.%N); break; fi
done
[[ -n "$shown" ]] || e2e_fail "the thumbnails never appeared"
e2e_shot big_level
for _ in $(seq 100); do grep -qF "Done loading level" "$WORK/debug.txt" && break; sleep 0.05; done
wait $watcher
echo "pages: $pages"
echo "log milestones after Enter:"; cat "$WORK/milestones"
echo "palette-list chosen -> thumbnails shown: $(python3 -c 'import sys; print("%.3f" % (float(sys.argv[2]) - float(sys.argv[1])))' "$start" "$shown") s (screen polled, includes the chooser closing)"
sleep 2
ticks() { awk '{print $14 + $15}' "/proc/$E2E_EDITOR_PID/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks); s0=$(date +%s.%N)
sleep 10
t1=$(ticks); s1=$(date +%s.%N)
echo "idle CPU with the level open: $(python3 -c 'import sys; t0, t1, hz, s0, s1 = map(float, sys.argv[1:]); print("%.1f" % (100 * (t1 - t0) / hz / (s1 - s0)))' "$t0" "$t1" "$hz" "$s0" "$s1") % of one core over 10 s"
e2e_quit

#!/usr/bin/env bash
# The Help menu as a user meets it: "View Readme" hands the manual's file:///
# URL to the browser launcher (a stand-in on PATH records it), says where the
# manual is when the launcher fails, and "Can't find reamde!" without the
# README folder; "About" shows the version, licence and credits and closes
# with "Done"; "Check for updates" against a small
# HTTP server on 127.0.0.1: a newer version opens the update window with the
# file's text, the same version, a 404 and a short file answer in message
# boxes. The update address is built in, so the test runs a copy of the
# editor whose address is rewritten in place to the test server's.
# Usage: test_help_menu.sh BUILD_DIR SOURCE_DIR
source "$2/tests/e2e/lib.sh"
e2e_begin "$1" "$2"

# A folder with blanks for the program, its manual and a recording launcher.
app="$WORK/my editor"
mkdir -p "$app" "$WORK/fakebin" "$WORK/www/qte"
cp "$BUILD/qte" "$app/qte"
cp -r "$BUILD/README" "$app/README" || e2e_fail "no README folder beside the editor"
cat >"$WORK/fakebin/xdg-open" <<SH
#!/bin/sh
[ -e "$WORK/no-browser" ] && exit 3
printf '%s\n' "\$@" >> "$WORK/launched"
SH
chmod +x "$WORK/fakebin/xdg-open"
export PATH="$WORK/fakebin:$PATH"

# The test server, on a free port.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
(cd "$WORK/www" && exec python3 -m http.server "$port" --bind 127.0.0.1) >"$WORK/http.out" 2>&1 &
http_pid=$!
trap 'kill $http_pid 2>/dev/null; e2e_cleanup' EXIT
old_url=$(sed -n 's/^QTE_UPDATE_URL:STRING=//p' "$BUILD/CMakeCache.txt")
new_url="http://127.0.0.1:$port/qte/qte.upd"
python3 - "$app/qte" "$old_url" "$new_url" <<'PY' || e2e_fail "cannot point the editor copy at the test server"
import sys
path, old, new = sys.argv[1], sys.argv[2].encode(), sys.argv[3].encode()
data = open(path, 'rb').read()
if len(new) > len(old) or data.count(old + b'\0') != 1:
    sys.exit('the update address is not in the program exactly once')
data = data.replace(old + b'\0', new + b'\0' * (len(old) - len(new) + 1))
open(path, 'wb').write(data)
PY
version_file() {  # major minor build revision text
    python3 -c 'import struct, sys; sys.stdout.buffer.write(struct.pack("<4i", *map(int, sys.argv[1:5])) + sys.argv[5].encode())' "$@" \
        >"$WORK/www/qte/qte.upd"
}
e2e_until 5 python3 -c 'import socket, sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1)' "$port" 2>/dev/null

E2E_PROGRAM="$app/qte" E2E_LOG="$app/debug.txt"
e2e_start_editor
help_entry() { e2e_menu 120 "$1"; }

# View Readme: the URL holds the path unescaped after file:///.
help_entry 1
e2e_until 5 test -s "$WORK/launched"
[[ "$(cat "$WORK/launched" 2>/dev/null)" == "file://$app/README/main.html" ]] ||
    e2e_fail "the launcher got '$(cat "$WORK/launched" 2>/dev/null)'"
e2e_no_message
# Without a browser for it: where the manual is.
touch "$WORK/no-browser"
help_entry 1
e2e_expect_message "The manual could not be opened: no web browser took it (xdg-open failed).
It is at:
$app/README/main.html"

# About: the box with the version and the licence above the credits (a
# second line as long as that one), then "Done" hides it.
help_entry 2
sleep 0.5
e2e_shot about
[[ $(convert "$WORK/shots/about.png" -crop 280x7+$((E2E_EDITOR_X + 300))+$((E2E_EDITOR_Y + 381)) -colorspace Gray -format '%[fx:minima < 0.5]' info:) == 1 ]] ||
    e2e_fail "the about box does not show the licence"
e2e_click 400 535

# Updates: newer, same, missing, short.
version_file 2 0 0 1 $'Version 2.0.0.1 is out.\nIt fixes everything.\n'
help_entry 3
sleep 1
e2e_no_message
grep -qF "Newest version: 2.0.0.1" "$E2E_LOG" || e2e_fail "the newer version was not read"
e2e_click 695 105   # the update window's close box
version_file 2 0 0 0 ''
help_entry 3
e2e_expect_message "No new updates available."
rm "$WORK/www/qte/qte.upd"
help_entry 3
e2e_expect_message "Could not retrieve update status."
grep -qF "Failed to retrieve update file: $new_url" "$E2E_LOG" || e2e_fail "no failure line with the URL"
printf 'short' >"$WORK/www/qte/qte.upd"
help_entry 3
e2e_expect_message "Could not retrieve update status."

e2e_quit

# Without the README folder: "Can't find reamde!".
rm -rf "$app/README"
e2e_start_editor
help_entry 1
e2e_expect_message "Can't find reamde!"
e2e_quit
e2e_pass

# Shared helpers of the end-to-end tests: a private X server, the editor in a
# temporary working folder, mouse and keyboard through xdotool, screenshots,
# the log and Allegro's message boxes (xmessage windows).
#
# A test script sources this file with BUILD and SOURCE set:
#   source "$SOURCE/tests/e2e/lib.sh"; e2e_begin "$1" "$2"
# and calls e2e_pass at the end; any failure ends the test with status 1.

set -uo pipefail

E2E_XVFB_PID=""
E2E_EDITOR_PID=""

e2e_fail() {
    echo "FAIL: $*" >&2
    if [[ -n "${WORK:-}" ]]; then
        e2e_shot "failure" || true
        echo "--- last log lines (${E2E_LOG:-}):" >&2
        tail -n 30 "${E2E_LOG:-}" 2>/dev/null >&2 || true
        echo "--- editor output:" >&2
        tail -n 20 "$WORK/editor.out" 2>/dev/null >&2 || true
        echo "(working folder kept: $WORK)" >&2
        E2E_KEEP=1
    fi
    exit 1
}

# e2e_until SECONDS COMMAND...: runs COMMAND every tenth of a second until
# it succeeds (status 0) or SECONDS have passed (status 1).
e2e_until() {
    local tries=$(($1 * 10))
    shift
    for _ in $(seq "$tries"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

e2e_cleanup() {
    if [[ -n "$E2E_EDITOR_PID" ]] && kill -0 "$E2E_EDITOR_PID" 2>/dev/null; then
        kill "$E2E_EDITOR_PID" 2>/dev/null
        sleep 0.3
        kill -9 "$E2E_EDITOR_PID" 2>/dev/null
    fi
    if [[ -n "$E2E_XVFB_PID" ]]; then
        kill "$E2E_XVFB_PID" 2>/dev/null
        wait "$E2E_XVFB_PID" 2>/dev/null
    fi
    if [[ -z "${E2E_KEEP:-}" && -n "${WORK:-}" && -d "$WORK" ]]; then
        rm -rf "$WORK"
    fi
}

# e2e_begin BUILD SOURCE: a working folder and a private X server.
e2e_begin() {
    BUILD=$(cd "$1" && pwd)
    SOURCE=$(cd "$2" && pwd)
    for tool in Xvfb xdotool import xmessage; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 0; }
    done
    [[ -x "$BUILD/qte" ]] || e2e_fail "no editor at $BUILD/qte"
    # A name no other folder in /tmp starts like, so that the chooser's
    # completion has nothing to offer while the path is typed.
    WORK=$(mktemp -d /tmp/E2E-qte.XXXXXXXX)
    trap e2e_cleanup EXIT
    mkdir -p "$WORK/shots"
    # The editor finds its theme and about picture in its working folder.
    [[ -d "$BUILD/themes" ]] && cp -r "$BUILD/themes" "$WORK/"
    [[ -f "$BUILD/about.bmp" ]] && cp "$BUILD/about.bmp" "$WORK/"
    # It keeps its settings and log beside itself: each test runs a copy of
    # its own (with the chooser and the manual), so none reads another's.
    E2E_PROGRAM="$WORK/app/qte" E2E_LOG="$WORK/app/debug.txt"
    mkdir -p "$WORK/app" && cp "$BUILD/qte" "$BUILD/qte_file_chooser" "$WORK/app/" || e2e_fail "cannot copy the editor"
    [[ -d "$BUILD/README" ]] && cp -r "$BUILD/README" "$WORK/app/"
    # Under the sanitizer: the project's leak suppressions, and libedit's
    # one-off line buffer (loaded with the software GL driver).
    { cat "$SOURCE/tests/lsan.supp" 2>/dev/null; echo "leak:libedit"; } >"$WORK/lsan.supp"
    export LSAN_OPTIONS="suppressions=$WORK/lsan.supp:print_suppressions=0"
    e2e_start_display
    # Keep the chooser quiet and the browser launch observable.
    export GSETTINGS_BACKEND=memory
    # The chooser's recent files and bookmarks stay in the working folder.
    export HOME="$WORK/home"
    mkdir -p "$HOME"
    export NO_AT_BRIDGE=1
}

# e2e_start_display: a private X server for the test (DISPLAY).
e2e_start_display() {
    exec 5>"$WORK/display"
    Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.out" 2>&1 &
    E2E_XVFB_PID=$!
    exec 5>&-
    e2e_until 10 test -s "$WORK/display" || e2e_fail "Xvfb did not start"
    export DISPLAY=":$(head -n 1 "$WORK/display")"
}

# e2e_start_editor [ARG...]: starts the editor (E2E_PROGRAM, a copy of
# build/qte unless a test names another; E2E_LOG is its log) with ARGs in
# the working folder, waits for its window and reads
# where it lies on the screen (E2E_EDITOR_X/Y).
e2e_start_editor() {
    (cd "$WORK" && exec "$E2E_PROGRAM" "$@") >"$WORK/editor.out" 2>&1 &
    E2E_EDITOR_PID=$!
    e2e_until 20 e2e_find_window
    kill -0 "$E2E_EDITOR_PID" 2>/dev/null || { wait "$E2E_EDITOR_PID"; e2e_fail "the editor ended at start-up (status $?)"; }
    [[ -n "$E2E_WINDOW" ]] || e2e_fail "no editor window"
    e2e_wait_log "Debug file initialized." 1 10
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$E2E_WINDOW")"
    E2E_EDITOR_X=$X
    E2E_EDITOR_Y=$Y
}

# Finds the editor's window on screen (as E2E_WINDOW), by its title; fails
# once the editor has ended.
e2e_find_window() {
    E2E_WINDOW=$(xdotool search --onlyvisible --name '^\*?Quarly Texture Editor 2\.0$' 2>/dev/null | head -n 1)
    [[ -n "$E2E_WINDOW" ]] || ! kill -0 "$E2E_EDITOR_PID" 2>/dev/null
}

# e2e_click X Y [button]: presses and releases at window coordinates, each
# held long enough for the editor's 60 Hz polling to see it.
e2e_click() {
    local button=${3:-1}
    xdotool mousemove $((E2E_EDITOR_X + $1)) $((E2E_EDITOR_Y + $2))
    sleep 0.12
    xdotool mousedown "$button"
    sleep 0.12
    xdotool mouseup "$button"
    sleep 0.25
}

# e2e_keys KEY...: key chords sent to the editor's window with focus on it.
e2e_keys() {
    xdotool mousemove $((E2E_EDITOR_X + 400)) $((E2E_EDITOR_Y + 10))
    xdotool windowfocus --sync "$E2E_WINDOW" 2>/dev/null || true
    local k
    for k in "$@"; do
        xdotool keydown --delay 0 ${k//+/ }
        sleep 0.12
        # Release in reverse order: the letter first, then the modifier.
        local parts=(${k//+/ }) i
        for ((i = ${#parts[@]} - 1; i >= 0; i--)); do
            xdotool keyup --delay 0 "${parts[i]}"
        done
        sleep 0.2
    done
}

# e2e_wait_log TEXT [COUNT [SECONDS]]: waits until COUNT lines of the log
# (E2E_LOG) hold TEXT (one unless told).
e2e_wait_log() {
    e2e_until "${3:-20}" e2e_log_has "$1" "${2:-1}" || e2e_fail "the log never said ${2:-1} times: $1"
}

# e2e_log_has TEXT COUNT: at least COUNT log lines hold TEXT.
e2e_log_has() {
    local n
    n=$(e2e_log_count "$1")
    ((n >= $2))
}

# e2e_log_count TEXT: how many log lines hold TEXT.
e2e_log_count() {
    grep -cF -- "$1" "$E2E_LOG" 2>/dev/null || true
}

# e2e_menu X ROW [ROW_X]: opens the menu-bar menu at X and clicks its ROW-th
# entry (1-based, rows 11 pixels apart), at ROW_X if given.
e2e_menu() {
    e2e_click "$1" 10
    sleep 0.3
    e2e_click "${3:-$1}" $((27 + 11 * ($2 - 1)))
}

# e2e_shot NAME: a screenshot of the whole screen into the working folder.
e2e_shot() {
    import -window root "$WORK/shots/$1.png" 2>/dev/null
}

# The file choosers' window titles.
E2E_CHOOSERS='^(Open Level|Open Palette List|Import Image|Export Page|Export All Pages|Import All Pages)$'

# e2e_chooser: waits for the file chooser's window; sets CHOOSER (the
# window), CHOOSER_PID and CHOOSER_X/Y/W/H and adds its title to the lines
# of $WORK/titles.
e2e_chooser() {
    e2e_until 15 e2e_live_chooser || e2e_fail "no file chooser appeared"
    sleep 0.6
    xdotool getwindowname "$CHOOSER" >>"$WORK/titles"
    eval "$(xdotool getwindowgeometry --shell "$CHOOSER")"
    CHOOSER_X=$X CHOOSER_Y=$Y CHOOSER_W=$WIDTH CHOOSER_H=$HEIGHT
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
    xdotool windowfocus --sync "$CHOOSER" 2>/dev/null || true
    sleep 0.3
}

# e2e_live_chooser: finds a chooser window whose program still runs (the
# window of one that just ended may linger for a moment).
e2e_live_chooser() {
    for CHOOSER in $(xdotool search --onlyvisible --name "$E2E_CHOOSERS" 2>/dev/null); do
        CHOOSER_PID=$(xdotool getwindowpid "$CHOOSER" 2>/dev/null) && kill -0 "$CHOOSER_PID" 2>/dev/null && return 0
    done
    return 1
}

# e2e_choose_file PATH [FILTER_INDEX [replace]]: waits for the file chooser,
# picks the filter (1-based, from its drop-down at the bottom right; left as
# it is without FILTER_INDEX or with an empty one), types
# the path and presses Enter; "replace" confirms overwriting a file.
e2e_choose_file() {
    e2e_chooser
    if [[ -n "${2:-}" ]]; then
        xdotool mousemove $((CHOOSER_X + CHOOSER_W - 70)) $((CHOOSER_Y + CHOOSER_H - 70)) click 1
        sleep 0.6
        # The list opens on the type chosen now (and wraps round): Home to
        # the first, then down.
        local i
        xdotool key Home
        sleep 0.1
        for ((i = 1; i < $2; i++)); do xdotool key Down; sleep 0.1; done
        xdotool key Return
        sleep 0.4
        xdotool mousemove $((CHOOSER_X + CHOOSER_W / 2)) $((CHOOSER_Y + CHOOSER_H / 2))
    fi
    # Ctrl+L opens the location field in either mode; select what is there
    # and type the path. The field's completion can swallow keys while it
    # lists a big folder, so a chooser still open afterwards gets it again.
    local attempt
    for attempt in 1 2 3 4; do
        xdotool key --clearmodifiers ctrl+l
        sleep 0.3
        xdotool key --clearmodifiers ctrl+a
        sleep 0.1
        xdotool type --delay $((20 * attempt)) -- "$1"
        sleep 0.6
        xdotool key Return
        sleep 0.6
        if [[ "${3:-}" == "replace" ]]; then
            sleep 0.5
            xdotool key --clearmodifiers alt+r
            sleep 0.4
        fi
        # Done when this chooser has ended (the next one may already be up).
        e2e_until 2 e2e_ended "$CHOOSER_PID" && return 0
        echo "note: the chooser is still open after typing $1; typing it again" >&2
    done
    e2e_fail "the chooser did not take $1"
}

# e2e_open_level LEV D3D: once a level is being opened, picks both files in
# the two choosers and waits until the editor is done loading.
e2e_open_level() {
    local before
    before=$(e2e_log_count "Done loading level")
    e2e_choose_file "$1"
    e2e_choose_file "$2"
    e2e_wait_log "Done loading level" $((before + 1))
}

# e2e_cancel_file: waits for the file chooser and presses Escape.
e2e_cancel_file() {
    e2e_chooser
    xdotool key Escape
    sleep 0.5
}

# e2e_expect_message TEXT [prefix]: waits for Allegro's message box, checks
# that its text is TEXT (or starts with it) and closes it.
e2e_expect_message() {
    e2e_until 15 e2e_pgrep xmessage >/dev/null || e2e_fail "no message box appeared (expected: $1)"
    local pid
    pid=$(e2e_pgrep xmessage | head -n 1)
    sleep 0.3
    # The text is xmessage's last argument.
    local text
    text=$(python3 -c 'import sys; a = open(sys.argv[1], "rb").read().split(b"\0"); print([x for x in a if x][-1].decode().rstrip("\n"))' "/proc/$pid/cmdline")
    e2e_shot "message"
    kill "$pid" 2>/dev/null
    sleep 0.3
    if [[ "${2:-}" == "prefix" ]]; then
        [[ "$text" == "$1"* ]] || e2e_fail "message box said '$text', expected it to start with '$1'"
    else
        [[ "$text" == "$1" ]] || e2e_fail "message box said '$text', expected '$1'"
    fi
}

# e2e_no_message: no message box is open.
e2e_no_message() {
    ! e2e_pgrep xmessage >/dev/null || e2e_fail "an unexpected message box: $(tr '\0' ' ' </proc/$(e2e_pgrep xmessage | head -n1)/cmdline)"
}

# Where the question window's buttons can be clicked, with or without "Save"
# beside them (Yes 320-380 or 290-350, No 420-480 or 370-430, Save 450-510).
E2E_YES="335 304" E2E_NO="425 304" E2E_SAVE="480 304"

# e2e_quit: Escape, then "Yes" when the quit window asks; e2e_wait_exit.
e2e_quit() {
    e2e_keys Escape
    sleep 0.3
    if kill -0 "$E2E_EDITOR_PID" 2>/dev/null; then
        e2e_click $E2E_YES
    fi
    e2e_wait_exit
}

# e2e_wait_exit: waits for the editor to end, which it must do with status 0
# and without a sanitizer report.
e2e_wait_exit() {
    e2e_until 10 e2e_ended "$E2E_EDITOR_PID" || e2e_fail "the editor did not quit"
    wait "$E2E_EDITOR_PID"
    E2E_EDITOR_STATUS=$?
    E2E_EDITOR_PID=""
    e2e_check_sanitizer
    [[ $E2E_EDITOR_STATUS -eq 0 ]] || e2e_fail "exit status $E2E_EDITOR_STATUS"
}

# e2e_pgrep NAME: the processes called NAME on this test's display (other
# tests may run at the same time on displays of their own); fails on none.
e2e_pgrep() {
    local p found=1
    for p in $(pgrep -x "$1"); do
        grep -qxz "DISPLAY=$DISPLAY" "/proc/$p/environ" 2>/dev/null && { echo "$p"; found=0; }
    done
    return $found
}

# e2e_ended PID: the process has ended.
e2e_ended() {
    # A zombie counts: the editor reaps its choosers between frames, not while a message box is up.
    ! kill -0 "$1" 2>/dev/null || [[ "$(ps -o stat= -p "$1")" == Z* ]]
}

# Sanitizer reports in the editor's output fail the test, except leaks
# whose stacks hold no frame of ours (the software GL driver leaks a line
# buffer from a library it has unloaded by then, so no suppression names it).
e2e_check_sanitizer() {
    local out="$WORK/editor.out"
    if grep -qE "ERROR: AddressSanitizer|runtime error:" "$out" 2>/dev/null; then
        e2e_fail "the sanitizer reported an error: $(grep -m1 -E 'ERROR: AddressSanitizer|runtime error:' "$out")"
    fi
    if grep -q "ERROR: LeakSanitizer" "$out" 2>/dev/null; then
        if grep -A30 "leak of" "$out" | grep -qF "$SOURCE/"; then
            e2e_fail "the editor leaks memory: see $out"
        fi
        echo "note: a leak outside the project's code was reported and ignored"
        [[ $E2E_EDITOR_STATUS -ne 0 ]] && E2E_EDITOR_STATUS=0
    fi
    # The leak checker's own tracer thread now and then dies of a SIGSEGV as
    # the editor ends, after the editor's last log line: the check did not
    # run, which is no fault of the editor's.
    if grep -q "^Tracer caught signal" "$out" 2>/dev/null && grep -q "LeakSanitizer has encountered a fatal error" "$out" &&
        [[ "$(tail -n 1 "$E2E_LOG" 2>/dev/null)" == "Closing debug file. " ]]; then
        echo "note: the leak checker crashed after the editor had ended; its check did not run"
        E2E_EDITOR_STATUS=0
    fi
}

e2e_pass() {
    echo "PASS: $(basename "$0")"
    exit 0
}

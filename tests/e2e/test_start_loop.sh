#!/usr/bin/env bash
# Fifty starts while another X client looks at the window list every 0.3 s,
# as panels and window managers do: every one opens its window. (An X server
# resets when its last client leaves and drops a connection that arrives
# meanwhile; short-lived clients make that happen at any moment.)
# Usage: test_start_loop.sh BUILD_DIR SOURCE_DIR
source "$2/tests/e2e/lib.sh"
e2e_begin "$1" "$2"
(while :; do xdotool search --onlyvisible --name Quarly >/dev/null 2>&1; sleep 0.3; done) &
poller=$!
trap 'kill $poller 2>/dev/null; e2e_cleanup' EXIT

# Up: the window is there. Failed: the start-up message box, or an end.
up_or_failed() { e2e_find_window; [[ -n "$E2E_WINDOW" ]] || e2e_pgrep xmessage >/dev/null; }
failed=0
for i in $(seq 50); do
    (cd "$WORK" && exec "$E2E_PROGRAM") >"$WORK/editor.out" 2>&1 &
    E2E_EDITOR_PID=$!
    e2e_until 20 up_or_failed
    if [[ -z "$E2E_WINDOW" ]]; then
        failed=$((failed + 1))
        echo "start $i failed: $(tail -n 1 "$E2E_LOG")"
        kill $(e2e_pgrep xmessage) 2>/dev/null
    fi
    kill -9 "$E2E_EDITOR_PID"
    wait "$E2E_EDITOR_PID" 2>/dev/null
done
E2E_EDITOR_PID=""
((failed == 0)) || e2e_fail "$failed of 50 starts failed"
e2e_pass

#!/usr/bin/env bash
# cmake --install into a temporary prefix: every file is there (qte-tool runs
# without a display), the launcher, file type and metainfo pass their
# validators; then the installed editor,
# started from a working folder of its own with a fresh home and no XDG
# variables, finds its theme and chooser (opens the demo level through the
# choosers) and keeps its settings and log under ~/.config and ~/.local/state,
# or under $XDG_CONFIG_HOME and $XDG_STATE_HOME when they are set.
# Usage: test_install.sh BUILD_DIR SOURCE_DIR
source "$2/tests/e2e/lib.sh"
e2e_begin "$1" "$2"
for tool in desktop-file-validate appstreamcli update-mime-database; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 0; }
done
prefix="$WORK/prefix"
cmake --install "$BUILD" --prefix "$prefix" >"$WORK/install.out" 2>&1 || e2e_fail "install: $(tail -n 3 "$WORK/install.out")"
for f in bin/qte bin/qte-tool libexec/qte/qte_file_chooser share/qte/themes/grey.bmp share/qte/about.bmp \
    share/qte/README/main.html share/qte/icons/qte.bmp share/applications/qte.desktop \
    share/mime/packages/qte.xml share/metainfo/org.example.qte.metainfo.xml share/doc/qte/LICENSE; do
    [[ -s "$prefix/$f" ]] || e2e_fail "not installed: $f"
done
for n in 16 24 32 48 64 128 256; do
    size=$(identify -format '%wx%h' "$prefix/share/icons/hicolor/${n}x$n/apps/qte.png" 2>&1)
    [[ "$size" == "${n}x$n" ]] || e2e_fail "icon ${n}x$n: $size"
done
[[ "$(identify -format '%wx%h' "$prefix/share/qte/icons/qte.bmp")" == 64x64 ]] || e2e_fail "window icon size"
[[ "$(env -u DISPLAY "$prefix/bin/qte-tool" --version)" == "qte-tool "* ]] || e2e_fail "the installed qte-tool does not run"
desktop-file-validate "$prefix/share/applications/qte.desktop" || e2e_fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/org.example.qte.metainfo.xml" || e2e_fail "appstreamcli validate"
grep -q '<project_license>MIT</project_license>' "$prefix/share/metainfo/org.example.qte.metainfo.xml" &&
    grep -q '^MIT License' "$prefix/share/doc/qte/LICENSE" || e2e_fail "the licence is not MIT"
update-mime-database "$prefix/share/mime" 2>/dev/null || e2e_fail "update-mime-database"
# *.lev in any case: a glob without the case-sensitive flag.
grep -qx '50:application/x-quarly-level:\*\.lev' "$prefix/share/mime/globs2" || e2e_fail "level glob: $(cat "$prefix/share/mime/globs2")"

# The installed editor, run from the working folder (its copies of the theme
# and about picture removed), $HOME a fresh folder.
rm -rf "$WORK/themes" "$WORK/about.bmp"
unset XDG_CONFIG_HOME XDG_STATE_HOME
# These starts check where the installed editor finds and puts its files.
E2E_PROGRAM="$prefix/bin/qte"
E2E_LOG="$HOME/.local/state/qte/debug.txt"
e2e_start_editor
e2e_keys ctrl+o
e2e_open_level "$BUILD/demo/demo.lev" "$BUILD/demo/demo.d3d"
e2e_quit
grep -qF 'Failed to load theme file' "$E2E_LOG" && e2e_fail "the installed editor did not find its theme"
[[ "$(tail -n 1 "$E2E_LOG")" == "Closing debug file. " ]] || e2e_fail "last log line: $(tail -n 1 "$E2E_LOG")"
grep -qx "lev_directory = $BUILD/demo/\?" "$HOME/.config/qte/settings.ini" || e2e_fail "settings not in ~/.config/qte"
for f in settings.ini debug.txt; do
    [[ ! -e "$WORK/$f" && ! -e "$HOME/$f" && ! -e "$prefix/bin/$f" ]] || e2e_fail "$f written outside the XDG folders"
done
# With the variables set (to folders not there yet), those are the places.
export XDG_CONFIG_HOME="$WORK/xdg/config" XDG_STATE_HOME="$WORK/xdg/state"
E2E_LOG="$XDG_STATE_HOME/qte/debug.txt"
e2e_start_editor
e2e_quit
grep -q '^lev_directory = ' "$XDG_CONFIG_HOME/qte/settings.ini" || e2e_fail "settings not in \$XDG_CONFIG_HOME/qte"
e2e_pass

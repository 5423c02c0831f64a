#!/usr/bin/env bash
# Installs the editor that scripts/run.sh built in build/ under PREFIX
# (~/.local unless given) and refreshes the desktop's caches of file types
# and launchers there, so the menu entry and *.lev files work at once.
# Usage: scripts/install.sh [PREFIX]
set -euo pipefail
cd "$(dirname "$0")/.."
prefix="${1:-$HOME/.local}"
[[ -x build/qte ]] || { echo "build/ holds no editor yet: run scripts/run.sh first" >&2; exit 1; }
cmake --install build --prefix "$prefix"
if command -v update-mime-database >/dev/null; then
  update-mime-database "$prefix/share/mime"
fi
if command -v update-desktop-database >/dev/null; then
  update-desktop-database -q "$prefix/share/applications"
fi
case ":$PATH:" in
  *":$prefix/bin:"*) ;;
  *) echo "Note: $prefix/bin is not on PATH; the menu entry runs \"qte\" from there" \
          "(Debian's ~/.profile adds ~/.local/bin at the next login)." ;;
esac

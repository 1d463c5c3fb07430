#!/usr/bin/env bash
# Registers a launcher bundle as the desktop's handler of the "hexoramac" and
# "com.tarq.hexora" URLs: writes a desktop entry whose command passes the
# opened URL to the launcher as its argument, and makes it the default handler
# of both schemes. Run by hand; the build and the tests never run it.
#
# Usage: scripts/install-desktop-entry.sh [path/to/Hexora.app]   (default: build/Hexora.app)
set -euo pipefail
cd "$(dirname "$0")/.."

bundle=${1:-build/Hexora.app}
executable="$bundle/Contents/MacOS/Hexora"
if [ ! -x "$executable" ]; then
  echo "install-desktop-entry: no launcher program at $executable" >&2
  exit 1
fi
executable=$(realpath "$executable")

# Inside a quoted Exec argument, \ " ` $ are escaped with a backslash, and the
# desktop file's own escaping doubles every backslash again.
quoted=$(printf '%s' "$executable" | sed -e 's/[\\"`$]/\\&/g' -e 's/\\/\\\\/g')

applications="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
entry="$applications/com.tarq.hexora.mac.launcher.desktop"
mkdir -p "$applications"
cat > "$entry.tmp" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Hexora
Comment=Hexora launcher
Exec="$quoted" %u
Terminal=false
NoDisplay=true
MimeType=x-scheme-handler/hexoramac;x-scheme-handler/com.tarq.hexora;
DESKTOP
mv "$entry.tmp" "$entry"

if command -v xdg-mime >/dev/null; then
  xdg-mime default "$(basename "$entry")" x-scheme-handler/hexoramac
  xdg-mime default "$(basename "$entry")" x-scheme-handler/com.tarq.hexora
else
  echo "install-desktop-entry: xdg-mime not found; the entry is written but not made the default handler" >&2
fi
if command -v update-desktop-database >/dev/null; then
  update-desktop-database "$applications" || true
fi
echo "install-desktop-entry: wrote $entry"

#!/usr/bin/env bash
# Registers a launcher bundle as the desktop's handler of the "hexoramac" and
# "com.tarq.hexora" URLs: writes a desktop entry whose command passes the
# opened URL to the launcher as its argument, checks it with
# desktop-file-validate, and makes it the default handler of both schemes.
# Run by hand (the end-to-end tests run it in a throw-away home).
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
# A line break cannot stand in the entry, and "%" in a program path is not
# read alike by every desktop.
if [[ $executable == *[[:cntrl:]%]* ]]; then
  echo "install-desktop-entry: the launcher's path holds a control character or \"%\"; move the bundle" >&2
  exit 1
fi
if ! command -v desktop-file-validate >/dev/null; then
  echo "install-desktop-entry: desktop-file-validate not found (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

# One argument of an Exec key, by the Desktop Entry rules: an argument
# holding a reserved character is put in double quotes, inside which \ " ` $
# take a backslash; then the file's own string escaping doubles every
# backslash.
needs_quotes() {
  [[ $1 == *[[:space:]\"\'\\\>\<~\|\&\;\$\*\?#\(\)\`]* ]]
}
exec_argument() {
  local text=$1
  if needs_quotes "$text"; then
    text=$(printf '%s' "$text" | sed -e 's/[\\"`$]/\\&/g')
    text="\"$text\""
  fi
  printf '%s' "${text//\\/\\\\}"
}
command_line="$(exec_argument "$executable") %u"

applications="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
name=com.tarq.hexora.mac.launcher.desktop
entry="$applications/$name"
mkdir -p "$applications"
staging=$(mktemp -d "$applications/.install-desktop-entry.XXXXXX")
trap 'rm -rf "$staging"' EXIT
cat > "$staging/$name" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Hexora
Comment=Hexora launcher
Exec=$command_line
Terminal=false
NoDisplay=true
MimeType=x-scheme-handler/hexoramac;x-scheme-handler/com.tarq.hexora;
DESKTOP
if ! desktop-file-validate "$staging/$name"; then
  echo "install-desktop-entry: the entry does not validate; nothing installed" >&2
  exit 1
fi
mv "$staging/$name" "$entry"

if needs_quotes "$executable"; then
  echo "install-desktop-entry: the launcher's path needs quotes in the entry; desktops and 'gio open' read" \
       "them, but xdg-open without a desktop session cannot: a path without blanks and special characters" \
       "works everywhere" >&2
fi
if command -v xdg-mime >/dev/null; then
  xdg-mime default "$name" x-scheme-handler/hexoramac
  xdg-mime default "$name" x-scheme-handler/com.tarq.hexora
else
  echo "install-desktop-entry: xdg-mime not found; the entry is written but not made the default handler" >&2
fi
if command -v update-desktop-database >/dev/null; then
  update-desktop-database "$applications" || true
fi
echo "install-desktop-entry: wrote $entry"

#!/usr/bin/env bash
# Copies the built sample game into a storage folder as <storage>/Hexora.app,
# replacing a game already there.
#   lay-out-sample-game.sh <storage folder> [version]
# With a version, the copy's Info.plist carries it instead of the built one.
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 <storage folder> [version]" >&2
  exit 2
fi
here="$(cd "$(dirname "$0")" && pwd)"
storage="$1"
mkdir -p "$storage"
rm -rf "$storage/Hexora.app"
cp -R "$here/Hexora.app" "$storage/Hexora.app"
if [ $# -eq 2 ]; then
  plist="$storage/Hexora.app/Contents/Info.plist"
  version="$2"
  case "$version" in
    *[!0-9A-Za-z._-]*) echo "$0: version must be letters, digits, '.', '_' or '-'" >&2; exit 2 ;;
  esac
  # The two version entries are the lines after their keys.
  sed -i -E "/<key>CFBundle(ShortVersionString|Version)<\/key>/{n;s|<string>[^<]*</string>|<string>$version</string>|}" "$plist"
fi
echo "$storage/Hexora.app"

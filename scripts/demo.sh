#!/usr/bin/env bash
# The main job on a fresh Debian machine: installs what it needs, builds, makes
# packages of the sample game 1.0.1 and of the current launcher, starts the
# local update service (everything on 127.0.0.1 over HTTPS with a certificate
# authority made at start), and runs the launcher bundle from a folder of its
# own, twice:
#   1. fresh install: the launcher checks itself, installs the game, validates
#      and starts it; the sample game reports the launcher's process id and
#      quits after a few seconds; the launcher has quit;
#   2. the repair road: validation passes, nothing is downloaded, game start.
# It prints the road each run took (from the collector's records), where the
# screenshots and logs are, and exits 0 only when both runs started the game.
# Without a display it runs the launcher under Xvfb (xvfb-run).
#
# Everything the demo writes stays in build/demo (the launcher's configuration
# and data folders included).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
build=$repo/build
demo=$build/demo

if [ "${1:-}" != "--road" ]; then
  scripts/install-deps.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
  cmake --build build -j "$(nproc)"
  echo "demo: build finished"
  if [ -z "${DISPLAY:-}" ]; then
    echo "demo: no display, running the launcher under Xvfb"
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" --road
  fi
  exec "$0" --road
fi

# ---- the road ---------------------------------------------------------------
launcher_bundle=$build/Hexora.app
if [ ! -x "$launcher_bundle/Contents/MacOS/Hexora" ]; then
  echo "demo: the launcher bundle $launcher_bundle was not built" >&2
  exit 1
fi
package_tool=$build/tools/hexora-package
service_tool=$build/tools/hexora-update-service

rm -rf "$demo"
mkdir -p "$demo"/{work,logs,shots,home/config,home/data,home/cache,home/runtime,home/tmp,Applications}
chmod 700 "$demo/home/runtime"
files=$demo/service/files
mkdir -p "$files/config"

plist_value() {  # <Info.plist> <key>: the text after the key's line
  sed -n "/<key>$2<\/key>/{n;s/.*<string>\(.*\)<\/string>.*/\1/p;q}" "$1"
}
launcher_version=$(plist_value "$launcher_bundle/Contents/Info.plist" CFBundleShortVersionString)
game_version=1.0.1

echo "demo: packages of the sample game $game_version and of the launcher $launcher_version"
game_bundle=$("$build/tools/sample-game/lay-out-sample-game.sh" "$demo/work/game" "$game_version")
"$package_tool" --bundle "$game_bundle" --version "$game_version" --hash "game-$game_version" --out "$files"
"$package_tool" --bundle "$launcher_bundle" --version "$launcher_version" --hash "launcher-$launcher_version" --out "$files"
cat > "$demo/service/conf.json" <<EOF
{
  "32": {"result": 1, "version": "$launcher_version", "hash": "launcher-$launcher_version"},
  "33": {"result": 1, "version": "$game_version", "hash": "game-$game_version", "file": "$game_version"}
}
EOF

echo "demo: starting the update service"
"$service_tool" --dir "$demo/service" --files "$files" > "$demo/logs/service.log" 2>&1 &
service_pid=$!
launcher_pid=
cleanup() {
  [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null || true
  kill "$service_pid" 2>/dev/null || true
  wait "$service_pid" 2>/dev/null || true
}
trap cleanup EXIT

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local limit=$1; shift
  local deadline=$((SECONDS + limit))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}
wait_for 30 test -s "$demo/service/service.env" || { cat "$demo/logs/service.log" >&2; exit 1; }
# shellcheck disable=SC1091
. "$demo/service/service.env"
echo "demo: update API $HEXORA_API_URLS, files $HEXORA_FILE_URLS, collector $HEXORA_RUM_URL"
api_list="[\"\"${HEXORA_API_URLS//,/\"\",\"\"}\"\"]"
cat > "$files/config/hexora_config.csv" <<EOF
Key,Global
timeout_sec_web,15
timeout_sec_web_upload,30
timeout_sec_web_download,60
url_retry_count_web,1
url_api2,"$api_list"
EOF

# The launcher lives in a folder of its own, as after a user copied it there.
cp -R "$launcher_bundle" "$demo/Applications/Hexora.app"
app=$demo/Applications/Hexora.app
game_report=$demo/logs/game-report.txt

# Whether a process runs (a zombie waiting to be reaped does not).
running() { [ -r "/proc/$1/stat" ] && ! grep -q ') Z ' "/proc/$1/stat"; }
ready_count() {
  local count
  count=$(grep -c '^ready$' "$game_report" 2>/dev/null) || true
  echo "${count:-0}"
}
game_started_since() { [ "$(ready_count)" -gt "$1" ]; }
has_window() { xwininfo -name Hexora 2>/dev/null | grep -q IsViewable; }
window_or_gone() { has_window || ! running "$launcher_pid"; }
game_or_gone() { game_started_since "$1" || ! running "$launcher_pid"; }
# The texts the window showed (the shell's trace), without the animation's dots.
shown_texts() { sed -n 's/.*ViewController\.setMessage: //p' "$1" | sed 's/[. ]*$//' | uniq; }
shown() { grep -q "ViewController.setMessage: $2" "$1" 2>/dev/null; }
shown_or_gone() { shown "$1" "$2" || ! running "$launcher_pid"; }
# A picture of the launcher's window only (also on the user's own screen).
photograph() {
  local window
  window=$(xwininfo -name Hexora 2>/dev/null | awk '/Window id:/ {print $4}')
  [ -n "$window" ] && import -window "$window" "$demo/shots/$1.png" 2>/dev/null || true
}
batches() { find "$demo/service/collector" -name 'batch-*.json' 2>/dev/null | wc -l; }

# run <number> <name>: starts the launcher, waits for the game, returns 0 when
# the game was started and the launcher quit.
run() {
  local number=$1 name=$2 before_batches before_ready
  before_batches=$(batches)
  before_ready=$(ready_count)
  echo
  echo "demo: run $number ($name)"
  (cd "$demo/Applications" && exec env -i \
      PATH=/usr/local/bin:/usr/bin:/bin HOME="$demo/home" LANG=C.UTF-8 \
      DISPLAY="$DISPLAY" XAUTHORITY="${XAUTHORITY:-}" \
      XDG_CONFIG_HOME="$demo/home/config" XDG_DATA_HOME="$demo/home/data" \
      XDG_CACHE_HOME="$demo/home/cache" XDG_RUNTIME_DIR="$demo/home/runtime" TMPDIR="$demo/home/tmp" \
      HEXORA_API_URLS="$HEXORA_API_URLS" HEXORA_FILE_URLS="$HEXORA_FILE_URLS" \
      HEXORA_RUM_URL="$HEXORA_RUM_URL" HEXORA_CA_FILE="$HEXORA_CA_FILE" \
      HEXORA_SAMPLE_GAME_SECONDS=3 HEXORA_SAMPLE_GAME_REPORT="$game_report" HEXORA_SHELL_TRACE=1 \
      "$app/Contents/MacOS/Hexora") > "$demo/logs/launcher-$number.log" 2>&1 &
  launcher_pid=$!
  local log=$demo/logs/launcher-$number.log
  if wait_for 30 window_or_gone && has_window; then
    photograph "run$number-1-window"
  fi
  # Decompression and validation each hold their state for a second.
  if wait_for 30 shown_or_gone "$log" "Decompressing files" && running "$launcher_pid"; then
    photograph "run$number-2-decompressing"
  fi
  if wait_for 30 shown_or_gone "$log" "Validating files" && running "$launcher_pid"; then
    photograph "run$number-3-validating"
  fi
  local started=0
  wait_for 120 game_or_gone "$before_ready" || true
  # The game writes its report line a moment after the launcher saw it start.
  if wait_for 5 game_started_since "$before_ready"; then started=1; fi
  local quit=0
  if wait_for 60 eval '! running "$launcher_pid"'; then quit=1; fi
  wait "$launcher_pid" 2>/dev/null || true
  launcher_of_run=$launcher_pid
  launcher_pid=
  echo "demo: the window of run $number showed:"
  shown_texts "$log" | sed 's/^/    /'
  echo "demo: the road of run $number (collector records: time, step, event, state):"
  "$service_tool" --road "$demo/service/collector" --skip "$before_batches" | sed 's/^/    /'
  if [ "$started" = 1 ]; then
    local game_pid game_arg
    game_pid=$(grep '^pid=' "$game_report" | tail -1 | cut -d= -f2)
    game_arg=$(grep '^arg=' "$game_report" | tail -1 | cut -d= -f2)
    echo "demo: the game started (pid $game_pid) and got the launcher's pid $game_arg (launcher pid $launcher_of_run)"
    wait_for 30 eval '! running "$game_pid"' && echo "demo: the game quit after a few seconds"
  else
    echo "demo: the game was NOT started in run $number"
  fi
  [ "$quit" = 1 ] && echo "demo: the launcher has quit" || echo "demo: the launcher did NOT quit"
  [ "$started" = 1 ] && [ "$quit" = 1 ]
}

status=0
run 1 "fresh install" || status=1
downloads_after_first=$(grep -c "$game_version.zip" "$demo/service/logs/files.access.log" || true)
run 2 "repair road" || status=1
downloads_after_second=$(grep -c "$game_version.zip" "$demo/service/logs/files.access.log" || true)
if [ "$downloads_after_second" = "$downloads_after_first" ]; then
  echo "demo: run 2 downloaded nothing (the installed game validated)"
else
  echo "demo: run 2 downloaded the game package again"
fi

echo
echo "demo: screenshots in $demo/shots:"
ls -1 "$demo/shots" | sed 's/^/    /'
echo "demo: logs in $demo/logs (launcher, game report) and $demo/service/logs (requests, file server)"
echo "demo: telemetry batches in $demo/service/collector"
if [ "$status" = 0 ]; then
  echo "demo: both runs started the game"
else
  echo "demo: FAILED: a run did not start the game" >&2
fi
exit "$status"

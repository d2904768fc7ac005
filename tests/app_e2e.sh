#!/usr/bin/env bash
# Starts the Windows program under Wine as a user would, waits for its three
# windows, saves a screenshot of the screen, closes the main window and
# requires the program to end with exit code 0 within a few seconds.
# Usage: app_e2e.sh path/to/keldamiron.exe artifact-folder
# Needs an X display (xvfb-run gives one); exits 77 (skipped) without.
set -uo pipefail
exe=$1
artifacts=$2
if [ -z "${DISPLAY:-}" ]; then
  echo "no X display: run under xvfb-run" >&2
  exit 77
fi
for tool in wine xdotool import; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done
mkdir -p "$artifacts"
shot="$artifacts/main_window.png"
log="$artifacts/app_e2e.log"
rm -f "$shot"

cd "$(dirname "$exe")"
wine "$(basename "$exe")" >"$log" 2>&1 &
pid=$!

fail() {
  echo "FAIL: $*" >&2
  echo "--- program output:" >&2
  cat "$log" >&2
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  exit 1
}

find_window() {
  xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1
}

main=""
for title in "KELDAMIRON" "Ahorro por iteracion" "Arbol Evolutivo de Mutaciones"; do
  found=""
  for _ in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || fail "the program ended before showing \"$title\""
    found=$(find_window "$title")
    [ -n "$found" ] && break
    sleep 0.1
  done
  [ -n "$found" ] || fail "no window \"$title\" within 30 s"
  echo "window \"$title\": $found"
  [ "$title" = "KELDAMIRON" ] && main=$found
done

# Let the first paint settle, then keep what the screen shows.
sleep 1
import -window root "$shot" || fail "screenshot failed"
echo "screenshot: $shot"
kill -0 "$pid" 2>/dev/null || fail "the program ended on its own"

# Close the main window as a user does (Alt+F4 on it).
xdotool windowfocus --sync "$main" 2>/dev/null
xdotool key alt+F4
for _ in $(seq 1 50); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "still running 5 s after the main window was closed"
wait "$pid"
rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc"
echo "closed, exit code 0"
exit 0

#!/usr/bin/env bash
# Installs what is missing, builds and starts q5ncfg. With no display, starts
# it on a virtual display (Xvfb), saves a screenshot of the main window and
# says where.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
"$here/scripts/deps.sh"
"$here/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
program="$here/build/src/q5ncfg"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program" "$@"
fi

shots="$here/screenshots"
mkdir -p "$shots"
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x900x24 -noreset >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "${app:-}" 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$program" "$@" &
app=$!

# Without port access (a container, a virtual machine, an unprivileged user)
# the program first reports that only RS232 is available.
if message=$(timeout 15 xdotool search --sync --name '^Configuration Setup$' 2>/dev/null | head -1) && [ -n "$message" ]; then
  sleep 0.5
  import -window root "$shots/startup-message.png"
  echo "Start-up message: $shots/startup-message.png"
  xdotool windowfocus --sync "$message" key Return
fi
main=$(timeout 15 xdotool search --sync --name '^Q5N Configuration: ' | head -1)
sleep 1
import -window "$main" "$shots/main-window.png"
echo "Main window (on the virtual display $display): $shots/main-window.png"

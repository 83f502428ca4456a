#!/usr/bin/env bash
# Runs a command with a private Xvfb display and a window manager, as the
# window and end-to-end tests need.
set -euo pipefail
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "$wm" 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
wm=$!
sleep 0.5
# A desktop session has its own session bus. Without one, Qt's accessibility
# bridge has libdbus autolaunch a bus, forking inside a threaded program, and
# a test can hang there for good.
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && command -v dbus-run-session >/dev/null; then
  set -- dbus-run-session -- "$@"
fi
"$@"

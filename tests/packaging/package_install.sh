#!/usr/bin/env bash
# Builds the Debian package and checks it the way a user meets it: the
# validators and lintian pass, it installs every file it should and no other,
# the installed clock starts a new user's first run from the menu's command,
# the package can be removed while the clock runs, and a purge leaves nothing
# of it behind and every file of the user's as it was.
# CHIMEWELL_SKIP_PACKAGE=1 skips it (it takes minutes and needs root).
set -euo pipefail

skip() { echo "SKIP: $*"; exit 77; }
[ "${CHIMEWELL_SKIP_PACKAGE:-0}" = 1 ] && skip "CHIMEWELL_SKIP_PACKAGE=1"
: "${CHIMEWELL_SOURCE_DIR:?}" "${CHIMEWELL_PROGRAM_DIR:?}"
: "${DISPLAY:?the packaging test needs a display (scripts/with-display.sh)}"

root=()
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || skip "installing the package needs root or password-less sudo"
  root=(sudo -n)
fi
if dpkg-query -W -f='${Status}' chimewell 2>/dev/null | grep -q 'ok installed'; then
  skip "a chimewell package is installed on this machine already; the test leaves it alone"
fi

WORK=$(mktemp -d)
LOG=$WORK/chimewell.log
PIDS=()
installed=0
apt=("${root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300)

cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  # Never leave the package on the machine.
  [ "$installed" = 1 ] && "${root[@]}" dpkg --purge chimewell >/dev/null 2>&1 || true
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; [ -s "$LOG" ] && { echo "--- clock log:"; cat "$LOG"; }; exit 1; }
pass() { echo "PASS: $*"; }

for tool in dpkg-buildpackage lintian appstreamcli desktop-file-validate xdotool; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/deps.sh --test"
done

# --- The package ---
out=$(dirname "$CHIMEWELL_PROGRAM_DIR")/package
start=$(date +%s)
# The characters this build drew, from the same sources: drawing them again takes minutes.
chars=()
[ -f "$CHIMEWELL_PROGRAM_DIR/chars/max.acs" ] && chars=(CHIMEWELL_CHARACTERS_FROM="$CHIMEWELL_PROGRAM_DIR/chars")
env "${chars[@]}" CHIMEWELL_PACKAGE_DIR=$out CHIMEWELL_PACKAGE_QUICK=1 "$CHIMEWELL_SOURCE_DIR/scripts/package.sh" >"$WORK/package.log" 2>&1 ||
  { tail -40 "$WORK/package.log"; fail "scripts/package.sh failed"; }
echo "package built in $(( $(date +%s) - start )) s"
version=$(dpkg-parsechangelog -l "$CHIMEWELL_SOURCE_DIR/debian/changelog" -S Version)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
deb=$out/chimewell_${version}_${arch}.deb
objbin=$out/chimewell-$version/obj-$(dpkg-architecture -qDEB_HOST_GNU_TYPE)/bin
[ -f "$deb" ] || fail "no $deb"
echo "installed size: $(dpkg-deb -f "$deb" Installed-Size) KiB; .deb $(du -k "$deb" | cut -f1) KiB"

# One version everywhere a user or a software centre reads it.
cmake_version=$(sed -n 's/^project(Chimewell VERSION \([0-9.]*\).*/\1/p' "$CHIMEWELL_SOURCE_DIR/CMakeLists.txt")
release=$(grep -o '<release version="[^"]*"' "$CHIMEWELL_SOURCE_DIR"/packaging/*.metainfo.xml.in | head -1 | cut -d'"' -f2)
[ "$version" = "$cmake_version" ] || fail "debian/changelog has $version, CMakeLists.txt $cmake_version"
[ "$release" = "$cmake_version" ] || fail "the metainfo's newest release is $release, not $cmake_version"
for page in "$CHIMEWELL_SOURCE_DIR"/packaging/man/*.[17]; do
  grep -q "^\.TH .*\"Chimewell $cmake_version\"" "$page" || fail "$(basename "$page") does not name Chimewell $cmake_version"
done
pass "one version, $version"

# --- Validators and lintian on the package's own files ---
tree=$WORK/tree
dpkg-deb -x "$deb" "$tree"
for entry in "$tree/usr/share/applications/org.chimewell.Chimewell.desktop" "$tree/usr/lib/chimewell/Chimewell.desktop"; do
  report=$(desktop-file-validate "$entry" 2>&1) || true
  [ -z "$report" ] || fail "desktop-file-validate $(basename "$entry"): $report"
done
# The autostart copy is the menu's entry.
cmp -s "$tree/usr/share/applications/org.chimewell.Chimewell.desktop" "$tree/usr/lib/chimewell/Chimewell.desktop" ||
  fail "the program folder's desktop entry differs from the menu's"
appstreamcli validate-tree --no-net --strict "$tree" || fail "appstreamcli validate-tree"
lintian --fail-on error,warning "$out/chimewell_${version}_${arch}.changes" || fail "lintian"
pass "desktop-file-validate, appstreamcli and lintian"

# --- Install, and compare the installed files with the list ---
"${apt[@]}" install --no-install-recommends "$deb" >"$WORK/apt.log" 2>&1 || { cat "$WORK/apt.log"; fail "apt-get install"; }
installed=1

built() { # built a|b|c: is one of these programs in the package build's program folder?
  local p IFS='|'
  for p in $1; do [ -x "$objbin/$p" ] && return 0; done
  return 1
}
expected=$WORK/expected actual=$WORK/actual
while read -r first rest; do
  case "$first" in
    ''|'#'*) ;;
    \[*\]) cond=${first#[}; built "${cond%]}" && echo "$rest" ;;
    *) echo "$first" ;;
  esac
done <"$CHIMEWELL_SOURCE_DIR/tests/packaging/installed-files.txt" | sort >"$expected"
dpkg -L chimewell | while read -r p; do
  if [ -L "$p" ] || [ -f "$p" ]; then echo "$p"; fi
done | sort >"$actual"
diff -u "$expected" "$actual" || fail "the package's files differ from installed-files.txt (- expected, + installed)"
# A program built into the program folder is installed there: a new program
# without its install line is caught here even before the list knows it.
for f in "$objbin"/*; do
  name=$(basename "$f")
  [ "$name" = chars ] && continue
  grep -qx "/usr/lib/chimewell/$name" "$actual" || fail "the build's $name is not installed"
done
[ "$(readlink -f /usr/bin/chimewell)" = /usr/lib/chimewell/chimewell ] || fail "/usr/bin/chimewell"
[ "$(readlink -f /usr/lib/chimewell/chars)" = /usr/share/chimewell/chars ] || fail "the program folder's chars/"
for link in /usr/bin/chimewell /usr/lib/chimewell/chars; do
  case "$(readlink "$link")" in /*) fail "$link is an absolute link" ;; esac
done
pass "dpkg -L matches installed-files.txt; links resolve"

# --- A new user starts the installed clock, as the menu does ---
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config XDG_DATA_HOME=$WORK/data XDG_RUNTIME_DIR=$WORK/run
export QT_LOGGING_RULES="chimewell.*=true" QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY XDG_DATA_DIRS || true
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/chimewell/chars" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# The user's own character of a shipped character's name.
own=$XDG_DATA_HOME/chimewell/chars/robby.acs
printf 'my own robby\n' >"$own"
own_sum=$(sha256sum <"$own")

wait_for_log() { # wait_for_log PATTERN SECONDS
  local i
  for i in $(seq $(($2 * 10))); do grep -q -- "$1" "$LOG" 2>/dev/null && return 0; sleep 0.1; done
  fail "no log line matching '$1' within $2 s"
}
# Our clocks: processes named chimewell with this test's home, by pid.
our_clocks() {
  local p
  for p in $(pgrep -x chimewell || true); do
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "HOME=$HOME" && echo "$p"
  done
  return 0
}
our_window() {
  local p w
  for p in $(our_clocks); do
    for w in $(xdotool search --onlyvisible --pid "$p" --name '^Chimewell$' 2>/dev/null); do echo "$w"; return 0; done
  done
  return 1
}

PATH=/usr/bin:/bin chimewell >>"$LOG" 2>&1 &
PIDS+=($!)
wait_for_log 'chimewell.ui: show New_User' 30
for c in max plany; do
  cmp -s "/usr/share/chimewell/chars/$c.acs" "$XDG_DATA_HOME/chimewell/chars/$c.acs" ||
    fail "the first run did not copy the installed $c.acs"
done
pass "the installed clock shows the agreement and copies the shipped characters"

# I AGREE, then Yes to starting with the session: the restart program and the
# autostart entry come from the installed program folder.
for _ in $(seq 50); do our_window >/dev/null && break; sleep 0.1; done
win=$(our_window) || fail "no agreement window"
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
xdotool key --clearmodifiers space
wait_for_log 'chimewell.ui: message "Windows Startup"' 10
sleep 0.5
xdotool key --clearmodifiers Return
wait_for_log 'chimewell.launch: start /usr/lib/chimewell/chimewell-restart ok' 10
cmp -s /usr/lib/chimewell/Chimewell.desktop "$XDG_CONFIG_HOME/autostart/Chimewell.desktop" ||
  fail "the autostart entry is not the installed desktop entry"
clock=
for _ in $(seq 150); do
  for p in $(our_clocks); do [ "$p" != "${PIDS[0]}" ] && clock=$p; done
  [ -n "$clock" ] && break
  sleep 0.1
done
[ -n "$clock" ] || fail "the restart program did not start the clock again"
PIDS+=("$clock")
pass "agreement, restart and autostart entry through the installed program folder"

# --- Removed while the clock runs, then purged ---
sleep 3
"${apt[@]}" remove chimewell >"$WORK/apt.log" 2>&1 || { cat "$WORK/apt.log"; fail "apt-get remove"; }
sleep 3
kill -0 "$clock" 2>/dev/null || fail "the clock died when the package was removed"
kill "$clock"
# apt forgets a package from a file once it is removed; dpkg purges what is left.
"${root[@]}" dpkg --purge chimewell >"$WORK/apt.log" 2>&1 || { cat "$WORK/apt.log"; fail "dpkg --purge"; }
installed=0
if dpkg-query -W -f='${Status}' chimewell 2>/dev/null | grep -q 'installed'; then fail "chimewell is still installed"; fi
for gone in /usr/lib/chimewell /usr/share/chimewell /usr/bin/chimewell /usr/share/doc/chimewell \
            /usr/share/applications/org.chimewell.Chimewell.desktop /usr/libexec/xscreensaver/lullscreen; do
  if [ -e "$gone" ] || [ -L "$gone" ]; then fail "$gone is left after the purge"; fi
done
[ "$(sha256sum <"$own")" = "$own_sum" ] || fail "the user's own robby.acs was changed"
[ -f "$XDG_CONFIG_HOME/ChimewellIIV/settings.ini" ] || fail "the user's settings went with the package"
[ -f "$XDG_CONFIG_HOME/autostart/Chimewell.desktop" ] || fail "the user's autostart entry went with the package"
pass "removed while running, purged: nothing left, the user's files as they were"

#!/usr/bin/env bash
# Installs the package that make-deb.sh left in build-deb/, runs the installed program
# as an ordinary user with an empty home folder on a display of its own (Xvfb with
# openbox), and checks the starter catalogue, the caption, the update check through
# KRVS_UPDATE_SERVER and the settings file; then removes the package. Needs root.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || exec sudo bash "$0" "$@"
cd "$(dirname "$0")/.."
source scripts/xsession.sh

fail() { echo "test-package: $*" >&2; exit 1; }
say() { echo "test-package: $*"; }

debs=(build-deb/krvs_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one build-deb/krvs_*.deb"
deb="$(realpath "${debs[0]}")"
version="$(dpkg-deb -f "$deb" Version)"
user=krvs-test
id -u "$user" >/dev/null 2>&1 || useradd --no-create-home --shell /usr/sbin/nologin "$user"

work="$(mktemp -d)"
chmod 755 "$work"
home="$work/home"
mkdir "$home"
chown "$user:" "$home"
data="$home/.local/share/KRVS"
app_pid="" http_pid=""

cleanup() {
  set +e
  if [ -n "$app_pid" ]; then
    # The program is runuser's child; runuser ends once it has collected it.
    for p in $(pgrep -P "$app_pid"); do kill "$p"; done
    wait "$app_pid" 2>/dev/null
  fi
  [ -n "$http_pid" ] && kill "$http_pid" 2>/dev/null
  x_stop
  if dpkg -s krvs >/dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq krvs >/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Runs a command as the test user with nothing of root's environment.
as_user() {
  runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"
}

# Waits up to 30 seconds for a visible window whose caption is exactly $1; prints its id.
wait_window() {
  for _ in $(seq 150); do
    for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
      if [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ]; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.2
  done
  return 1
}

# Activates window $1 and types the keys that follow.
keys() {
  local id="$1"
  shift
  xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true
  xdotool key --clearmodifiers "$@"
}

say "installing $(basename "$deb")"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
for f in /usr/bin/KRVS /usr/bin/krvs-makedb /usr/share/krvs/KRVS.krv \
  /usr/share/applications/example.quillmark.krvs.desktop \
  /usr/share/metainfo/example.quillmark.krvs.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/krvs.svg \
  /usr/share/icons/hicolor/48x48/apps/krvs.png; do
  dpkg -L krvs | grep -qx "$f" || fail "the package does not install $f"
done
shipped="$(cd /usr/share/krvs && ls -A && md5sum KRVS.krv)"

say "--version and --help write nothing"
[ "$(as_user KRVS --version)" = "KRVS $version" ] || fail "KRVS --version does not say KRVS $version"
as_user KRVS --help | grep -q -- "--version" || fail "KRVS --help lists no options"
as_user krvs-makedb --help | grep -q "^usage: krvs-makedb" || fail "krvs-makedb --help shows no usage"
[ -z "$(ls -A "$home")" ] || fail "--help or --version wrote into the home folder: $(ls -A "$home")"

# The manual pages are found by name (unless dpkg is told to leave /usr/share/man out).
if ! grep -rqs '^path-exclude=/usr/share/man' /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d; then
  say "man KRVS and man krvs-makedb"
  as_user MANWIDTH=80 man -P cat KRVS | grep -q KRVS_UPDATE_SERVER || fail "man KRVS shows no page"
  as_user MANWIDTH=80 man -P cat krvs-makedb | grep -q UserComments ||
    fail "man krvs-makedb shows no page"
fi

say "starting the installed program as $user"
srv="$work/srv"
mkdir -p "$srv/files"
printf 'QMX_VER %s' "$version" >"$srv/files/KRVS.ver"
python3 -u -m http.server --bind 127.0.0.1 --directory "$srv" 0 >"$work/http.out" 2>"$work/http.log" &
http_pid=$!
port=""
for _ in $(seq 100); do
  port="$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/http.out")"
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || fail "the local update server did not start"

x_start --wm
as_user DISPLAY="$DISPLAY" KRVS_UPDATE_SERVER="http://127.0.0.1:$port" KRVS >"$work/app.log" 2>&1 &
app_pid=$!

box="$(wait_window "First and Only Backup Warning")" || fail "no first-start warning"
keys "$box" Return
main="$(wait_window "Korvessa Database - (Total records=500)")" ||
  fail "no caption with the starter catalogue's 500 records: $(cat "$work/app.log")"
[ -f "$data/KRVS.krv" ] || fail "no catalogue in $data"
[ "$(stat -c %U "$data/KRVS.krv")" = "$user" ] || fail "the catalogue does not belong to $user"
cmp -s "$data/KRVS.krv" /usr/share/krvs/KRVS.krv || fail "the catalogue is not the starter catalogue"

say "checking for an update at the local server"
keys "$main" alt+h
sleep 0.5
xdotool key --clearmodifiers u
dialog="$(wait_window "Update")" || fail "Help > Check For Update opened no dialog"
keys "$dialog" alt+u
answer="$(wait_window "KRVS update")" || fail "the update check gave no answer: $(cat "$work/http.log")"
grep -q '"GET /files/KRVS.ver HTTP' "$work/http.log" || fail "the update server was not asked"
keys "$answer" Return
sleep 0.3
keys "$dialog" Escape

say "closing the window"
keys "$main" alt+F4
for _ in $(seq 150); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end after its window was closed"
wait "$app_pid" || fail "the program ended with an error: $(cat "$work/app.log")"
app_pid=""
grep -q "^Backup_Warn=1" "$data/KRVS.ini" 2>/dev/null || fail "no KRVS.ini beside the catalogue"
[ "$(stat -c %U "$data/KRVS.ini")" = "$user" ] || fail "KRVS.ini does not belong to $user"
[ "$(cd /usr/share/krvs && ls -A && md5sum KRVS.krv)" = "$shipped" ] ||
  fail "the program wrote into /usr/share/krvs"
for f in /usr/bin/KRVS.ini /usr/bin/KRVS.krv /usr/bin/backup /usr/bin/backup.qmx; do
  [ ! -e "$f" ] || fail "the program wrote $f"
done

say "removing the package"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq krvs >/dev/null
[ ! -e /usr/bin/KRVS ] || fail "/usr/bin/KRVS is still there after the removal"
say "passed"

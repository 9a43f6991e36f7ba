#!/usr/bin/env bash
# The Debian package as a new user meets it, on a Debian 12 machine, as root: builds it,
# checks it with lintian, installs it with dpkg -i (apt-get fetches the dependencies), checks
# the menu data, starts the program with the menu entry's command on a virtual display with
# a fresh home, saves a profile through the window, finds profile.dat in the user's data
# folder with the right bytes, closes the program and purges the package.
# NORVANE_SCREENSHOT=FILE also keeps a picture of the screen after saving (needs imagemagick).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Inside the virtual display: "$0" --on-display WORK_FOLDER EXEC_COMMAND.
if [ "${1:-}" = --on-display ]; then
    work=$2
    exec_command=$3
    home="$work/home"
    data="$home/.local/share/norvane"
    mkdir -p "$home" "$work/elsewhere"
    # As the menu starts it: a home of its own, no XDG_DATA_HOME, some other folder.
    (cd "$work/elsewhere" && exec env -u XDG_DATA_HOME HOME="$home" $exec_command) \
        > "$work/program.log" 2>&1 &
    program=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Norvane for Windows2000$' |
        head -1) || true
    [ -n "$window" ] || { cat "$work/program.log" >&2; fail "the main window did not open"; }
    xdotool windowfocus --sync "$window"

    # Coordinates inside the window (its controls are laid out in fixed pixels).
    click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
    click 200 18                  # the profile list's text
    xdotool type --delay 30 '事務所'
    xdotool key Tab               # the connection's name
    xdotool type --delay 30 'ローカル エリア接続'
    xdotool key Tab               # the IP address; each box moves on after its third digit
    xdotool type --delay 30 '192168100200255255255128192168100254192168100'
    xdotool type --delay 30 '1'   # the first DNS server's last box
    click 432 20                  # Save

    for _ in $(seq 50); do
        [ -s "$data/profile.dat" ] && break
        sleep 0.2
    done
    [ -s "$data/profile.dat" ] || { cat "$work/program.log" >&2; fail "no profile.dat in $data"; }
    [ ! -e "$work/elsewhere/profile.dat" ] || fail "profile.dat was written in the start folder"
    if [ -n "${NORVANE_SCREENSHOT:-}" ]; then
        import -window root "$NORVANE_SCREENSHOT"
    fi

    click 432 236                 # END
    for _ in $(seq 50); do
        kill -0 "$program" 2>/dev/null || break
        sleep 0.2
    done
    if kill -0 "$program" 2>/dev/null; then
        kill "$program"
        fail "the program did not end on END"
    fi
    wait "$program" || fail "the program ended with status $?"
    exit 0
fi

source "$ROOT/scripts/common.sh"
use_utf8_locale
install_missing xvfb xauth xdotool lintian desktop-file-utils file

deb=$(bash "$ROOT/scripts/package.sh" | tail -1)
[ -f "$deb" ] || fail "package.sh made no package"
[ "$(basename "$deb")" = norvane_1.11.0508_amd64.deb ] || fail "unexpected package name $deb"

echo "== lintian"
lintian --fail-on error "$deb" || fail "lintian reports errors"

if dpkg-query -W -f='${Status}' norvane 2>/dev/null | grep -q 'install ok installed'; then
    fail "norvane is installed already; remove it first"
fi
work=$(mktemp -d)
cleanup() {
    dpkg --purge norvane > /dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

echo "== install"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg -i "$deb"; then
    # The dependencies dpkg could not find: apt-get brings them and finishes the install.
    apt-get update -q
    apt-get install -f -y -q --no-install-recommends
fi
[ "$(dpkg-query -W -f='${Status} ${Version}' norvane)" = "install ok installed 1.11.0508" ] ||
    fail "the package is not installed as 1.11.0508"

echo "== what was installed"
depends=$(dpkg-query -W -f='${Depends}' norvane)
recommends=$(dpkg-query -W -f='${Recommends}' norvane)
for needed in libqt6widgets6 libqt6gui6 libstdc++6 libsystemd0 fonts-ipafont-gothic fonts-ipafont-mincho; do
    [[ ", $depends" == *", $needed"* ]] || fail "Depends ($depends) lacks $needed"
done
[[ "$recommends" == *network-manager* ]] || fail "Recommends ($recommends) lacks network-manager"
[ -x /usr/lib/norvane/norvane ] && [ -x /usr/lib/norvane/norvane-cmd ] &&
    [ -x /usr/lib/norvane/norvane-launcher ] || fail "programs missing in /usr/lib/norvane"
[ "$(readlink -f /usr/bin/norvane)" = /usr/lib/norvane/norvane ] ||
    fail "/usr/bin/norvane does not lead to /usr/lib/norvane/norvane"
! command -v norvane-cmd > /dev/null || fail "norvane-cmd is on PATH"
desktop=/usr/share/applications/norvane.desktop
desktop-file-validate "$desktop" || fail "the desktop entry does not validate"
grep -q '^Name\[ja\]=' "$desktop" && grep -q '^Comment\[ja\]=' "$desktop" ||
    fail "the desktop entry has no Japanese name or comment"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for file in scalable/apps/$icon.svg 16x16/apps/$icon.png 48x48/apps/$icon.png \
    256x256/apps/$icon.png; do
    [ -s "/usr/share/icons/hicolor/$file" ] || fail "icon $file missing"
done
[[ "$(file -b "/usr/share/icons/hicolor/48x48/apps/$icon.png")" == "PNG image data, 48 x 48,"* ]] ||
    fail "the 48 × 48 icon has another size"
[ -s /usr/share/man/man1/norvane.1.gz ] || fail "no manual page"

echo "== started from the menu entry"
# The command without the entry's field codes (it has none today).
exec_command=$(sed -n 's/^Exec=//p' "$desktop" | sed 's/ *%[a-zA-Z]//g')
[ -n "$exec_command" ] || fail "the desktop entry has no Exec"
timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" \
    bash "${BASH_SOURCE[0]}" --on-display "$work" "$exec_command" ||
    fail "the session on the virtual display failed"

data="$work/home/.local/share/norvane"
expected=$(printf '%s\r\n' \
    '事務所,ローカル エリア接続,192.168.100.200,255.255.255.128,192.168.100.254,192.168.100.1,,,0' |
    iconv -f UTF-8 -t CP932 | od -An -tx1 | tr -d ' \n')
actual=$(od -An -tx1 "$data/profile.dat" | tr -d ' \n')
[ "$actual" = "$expected" ] || fail "profile.dat holds $actual, expected $expected (CP932, CR LF)"
[ "$(stat -c %a "$data")" = 700 ] || fail "the data folder is not private to its user"

echo "== removal"
dpkg --purge norvane
for path in /usr/lib/norvane /usr/bin/norvane "$desktop" /usr/share/icons/hicolor/scalable/apps/norvane.svg \
    /usr/share/doc/norvane; do
    [ ! -e "$path" ] && [ ! -L "$path" ] || fail "$path is left after purging"
done
[ -s "$data/profile.dat" ] || fail "purging the package removed the user's profiles"
echo "package test: passed"

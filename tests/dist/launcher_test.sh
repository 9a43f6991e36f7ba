#!/bin/sh
# The menu's launcher: it makes the user's data folder, starts the program beside it in that
# folder with the arguments it was given, and starts nothing when the folder cannot be made.
# Usage: launcher_test.sh PATH_TO_norvane-launcher
set -u
launcher_source=$1
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# A stand-in for the program beside a copy of the launcher: it writes down where it was
# started and with which arguments.
mkdir "$work/lib"
cp "$launcher_source" "$work/lib/norvane-launcher"
cat > "$work/lib/norvane" <<'PROGRAM'
#!/bin/sh
{ pwd; printf '%s\n' "$@"; } > "$RECORD"
PROGRAM
chmod +x "$work/lib/norvane" "$work/lib/norvane-launcher"
export RECORD="$work/record"

# run_launcher HOME XDG_DATA_HOME|- [arguments...]: from another folder, as the menu does.
mkdir "$work/elsewhere"
run_launcher() {
    home=$1
    data_home=$2
    shift 2
    rm -f "$RECORD"
    if [ "$data_home" = - ]; then
        (cd "$work/elsewhere" && env -u XDG_DATA_HOME HOME="$home" "$work/lib/norvane-launcher" "$@")
    else
        (cd "$work/elsewhere" && HOME="$home" XDG_DATA_HOME="$data_home" "$work/lib/norvane-launcher" "$@")
    fi
}

# expect_started FOLDER [arguments...]
expect_started() {
    expected_folder=$1
    shift
    if [ ! -f "$RECORD" ]; then
        fail "the program was not started (expected in $expected_folder)"
        return
    fi
    expected=$(printf '%s\n' "$expected_folder" "$@")
    actual=$(cat "$RECORD")
    [ "$actual" = "$expected" ] || fail "started as [$actual], expected [$expected]"
}

# No XDG_DATA_HOME: ~/.local/share/norvane, made with its parents, private to the user.
mkdir "$work/home1"
run_launcher "$work/home1" - || fail "launcher failed without XDG_DATA_HOME"
expect_started "$work/home1/.local/share/norvane"
mode=$(stat -c %a "$work/home1/.local/share/norvane")
[ "$mode" = 700 ] || fail "new data folder has mode $mode, expected 700"

# A second start finds the folder and what the program left in it.
printf 'kept\r\n' > "$work/home1/.local/share/norvane/profile.dat"
run_launcher "$work/home1" - -x "two words" || fail "launcher failed on the second start"
expect_started "$work/home1/.local/share/norvane" -x "two words"
[ "$(cat "$work/home1/.local/share/norvane/profile.dat")" = "$(printf 'kept\r')" ] ||
    fail "profile.dat changed on the second start"

# An absolute XDG_DATA_HOME is used, even with blanks in it.
mkdir "$work/home2"
run_launcher "$work/home2" "$work/data home" || fail "launcher failed with XDG_DATA_HOME"
expect_started "$work/data home/norvane"
[ ! -e "$work/home2/.local" ] || fail "~/.local was made although XDG_DATA_HOME was set"

# An empty or relative XDG_DATA_HOME counts as unset.
mkdir "$work/home3"
run_launcher "$work/home3" "" || fail "launcher failed with an empty XDG_DATA_HOME"
expect_started "$work/home3/.local/share/norvane"
mkdir "$work/home4"
run_launcher "$work/home4" "relative/data" || fail "launcher failed with a relative XDG_DATA_HOME"
expect_started "$work/home4/.local/share/norvane"
[ ! -e "$work/elsewhere/relative" ] || fail "a relative XDG_DATA_HOME was used"

# A folder that cannot be made: the launcher fails and the program is not started.
printf 'not a folder' > "$work/home5"
if run_launcher "$work/home5" - 2>/dev/null; then
    fail "launcher succeeded although its data folder cannot be made"
fi
[ ! -f "$RECORD" ] || fail "the program was started without its data folder"

if [ "$failures" -ne 0 ]; then
    echo "$failures launcher check(s) failed" >&2
    exit 1
fi
echo "launcher: all checks passed"

#!/usr/bin/env bash
# One check of the installed game: install_test.sh <case> <work folder> <cmake> <build folder>.
# The first case installs the build into <work>/prefix (and stages it in <work>/staged); the others
# look at that tree. SPINDRIFT_VERSION and SPINDRIFT_APP_ID come from the build.
set -euo pipefail
case_name=$1 work=$2 cmake=$3 build=$4
prefix=$work/prefix
desktop_entry=$prefix/share/applications/$SPINDRIFT_APP_ID.desktop

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

installs_the_same_tree_into_a_prefix_and_staged_with_destdir() {
    rm -rf "$work"
    mkdir -p "$work"
    "$cmake" --install "$build" --prefix "$prefix" >/dev/null
    DESTDIR=$work/staged "$cmake" --install "$build" --prefix "$prefix" >/dev/null
    diff -r --no-dereference "$prefix" "$work/staged$prefix" || fail "the staged tree differs from the installed one"
    [ -x "$prefix/games/spindrift" ] || fail "no launcher"
    [ -x "$prefix/lib/spindrift/spindrift" ] || fail "no program"
    [ -f "$prefix/lib/spindrift/data/gfx.png" ] || fail "no data folder beside the program"
}

desktop_entry_passes_desktop_file_validate() {
    desktop-file-validate "$desktop_entry"
    grep -qx 'Categories=Game;ArcadeGame;' "$desktop_entry" || fail "not in the game menus"
    grep -qx "Exec=$prefix/games/spindrift" "$desktop_entry" || fail "the menu does not start the launcher"
}

metainfo_passes_appstreamcli_validate() {
    appstreamcli validate --no-net "$prefix/share/metainfo/$SPINDRIFT_APP_ID.metainfo.xml"
}

icons_come_at_every_size_named_by_the_desktop_entry() {
    local icon
    icon=$(sed -n 's/^Icon=//p' "$desktop_entry")
    for size in 16 32 48 64 128 256; do
        local file=$prefix/share/icons/hicolor/${size}x$size/apps/$icon.png
        [ "$(identify -format '%wx%h %[channels]' "$file")" = "${size}x$size srgba" ] ||
            fail "$file is not a $size-pixel RGBA picture"
    done
}

manual_page_renders_with_man() {
    local page=$prefix/share/man/man6/spindrift.6.gz warnings text
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man warns: $warnings"
    text=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
    for section in NAME SYNOPSIS OPTIONS KEYS FILES ENVIRONMENT "EXIT STATUS"; do
        grep -q "^$section\$" <<<"$text" || fail "the manual page has no $section"
    done
}

# The launcher as a player starts it with no display; it also makes the data folder under
# XDG_DATA_HOME when that is set.
launcher() { env -u DISPLAY -u WAYLAND_DISPLAY XDG_DATA_HOME="$work/xdg" "$prefix/games/spindrift" "$@"; }

help_and_version_print_on_stdout_without_a_display() {
    local out err
    launcher --help >"$work/help.out" 2>"$work/help.err" || fail "--help ended with status $?"
    out=$(<"$work/help.out") err=$(<"$work/help.err")
    [ -z "$err" ] || fail "--help wrote on stderr: $err"
    for part in "Usage: spindrift" --help --version Keys: Files: .cobaltstate; do
        grep -qF -- "$part" <<<"$out" || fail "the usage does not mention $part"
    done
    out=$(launcher --version 2>&1) || fail "--version ended with status $?"
    [ "$out" = "Spindrift $SPINDRIFT_VERSION" ] || fail "--version printed: $out"
    [ -d "$work/xdg/spindrift" ] || fail "no data folder made under XDG_DATA_HOME"
}

unknown_option_prints_the_usage_on_stderr_and_exits_2() {
    local status=0
    launcher --no-such-option >"$work/unknown.out" 2>"$work/unknown.err" || status=$?
    [ "$status" = 2 ] || fail "exit status $status"
    [ ! -s "$work/unknown.out" ] || fail "wrote on stdout: $(<"$work/unknown.out")"
    grep -q "^Usage: spindrift" "$work/unknown.err" || fail "no usage on stderr"
}

# Waits up to the given tenths of a second for a command to succeed.
await_for() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# Up to a minute: the sanitizer builds start slowly on a busy machine.
await() { await_for 600 "$@"; }

# The game's window once it is shown: only then can it take the focus.
window_of() { xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -1; }

# Started by its menu entry's command from another folder with a fresh HOME and no sound settings:
# on losing the focus the game saves, and the state file lands in the player's data folder.
menu_command_saves_in_the_players_data_folder_and_prints_no_library_lines() {
    [ -n "${DISPLAY:-}" ] || fail "needs an X display (xvfb-run)"
    local home=$work/home elsewhere=$work/elsewhere command window root
    rm -rf "$home" "$elsewhere"
    mkdir -p "$home" "$elsewhere"
    command=$(sed -n 's/^Exec=//p' "$desktop_entry")
    # shellcheck disable=SC2086 # the Exec line is split into words as the desktop splits it
    (cd "$elsewhere" && exec env -u XDG_DATA_HOME -u ALSOFT_CONF -u ALSOFT_DRIVERS -u ALSOFT_LOGLEVEL \
        -u ALSOFT_LOGFILE -u LIBASOUND_DEBUG HOME="$home" $command \
        >"$work/game.out" 2>&1) &
    game=$!
    trap 'kill $game 2>/dev/null || true' EXIT
    await window_of "$game" >/dev/null || fail "no window; the game said: $(<"$work/game.out")"
    window=$(window_of "$game")
    root=$(xwininfo -root | awk '/Window id:/ { print $4 }')
    local state=$home/.local/share/spindrift/.cobaltstate
    # The game saves when it loses a focus it had seen: the focus stays a second, so that a busy game
    # polls its events between the two changes rather than finding it gone already.
    for _ in $(seq 30); do
        xdotool windowfocus "$window"
        sleep 1
        xdotool windowfocus "$root"
        await_for 20 test -s "$state" && break
    done
    test -s "$state" || fail "no state file in the data folder; the game said: $(<"$work/game.out")"
    [ ! -e "$elsewhere/.cobaltstate" ] || fail "a state file in the folder the game was started from"
    grep -q "^opening openal device$" "$work/game.out" || fail "the game's own lines are missing"
    ! grep -E "^(ALSA lib|AL lib)" "$work/game.out" || fail "library lines on the terminal"
}

"$case_name"

#!/usr/bin/env bash
# Drives the real program on a private X server the way a person would: opens a colour JPEG through the file
# dialog, decolorizes it, saves it as a bitmap through the save dialog, checks every pixel of the file, then closes
# the window through the window manager twice, answering No and then Yes.
# Before that it starts the program with a file, as a file manager's "Open with" does: one that is no picture, then
# the colour JPEG, which it decolorizes there. Where the accessibility bus works it also reads what a screen reader
# would: the status line, the roles, the announcement of a new status line and the close question's buttons.
#
#   run-e2e.sh --program <kelvo> --pictures <kelvo_e2e_pictures> --work <folder>
#
# Screenshots and logs land in the work folder. Exit status 0 passed, 1 failed, 77 skipped: no X server could be
# started here.
set -uo pipefail

SKIPPED=77
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

source "$HERE/arguments.sh"
read_arguments "run-e2e.sh --program <kelvo> --pictures <kelvo_e2e_pictures> --work <folder>" "$@"

# Window titles, as regular expressions for xdotool.
MAIN_TITLE='^Kelvo\.图片去色黑白工具$'
OPEN_TITLE='^请选择图片$'
SAVE_TITLE='^请选择保存的路径$'
QUIT_TITLE='^QuenOvrel提示$'

# Centres of the buttons in the client area (481 x 642 pixels at 96 dpi): the window description's twips / 15.
BROWSE_AT=(80 136)     # Command2 "浏览" at 32,120 97x33
DECOLOR_AT=(184 136)   # Command1 "去色" at 136,120 97x33
SAVE_AT=(296 136)      # Command3 "保存" at 248,120 97x33

# Status line texts.
FIRST_STATUS='请先选择一张您要去色变为黑白颜色的图片'
LOADED_STATUS='图片加载成功!请点击去色按钮进行调试!'
GREY_STATUS='图片去色成功!请点击保存本图片!'

# How long one thing may take before the test gives up, in seconds.
WINDOW_WAIT=30
SHORT_WAIT=10

say() { printf '%s\n' "$*"; }
step() { printf '== %s\n' "$*"; }

XVFB_PID= WM_PID= KELVO_PID= BUS_PID= LISTENER_PID=
cleanup() {
  local pid
  for pid in "$LISTENER_PID" "$KELVO_PID" "$WM_PID" "$XVFB_PID" "$BUS_PID"; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
  done
  for pid in "$LISTENER_PID" "$KELVO_PID" "$WM_PID" "$XVFB_PID" "$BUS_PID"; do
    [ -n "$pid" ] && wait "$pid" 2>/dev/null
  done
  return 0
}
trap cleanup EXIT

fail() {
  say "FAIL: $*"
  if [ -n "$XVFB_PID" ]; then
    xwd -root -silent 2>/dev/null | convert xwd:- "$WORK/failure.png" 2>/dev/null &&
      say "screen at the failure: $WORK/failure.png"
  fi
  for log in "$WORK"/kelvo.log "$WORK"/openbox.log; do
    [ -s "$log" ] && { say "--- $log"; tail -n 20 "$log"; }
  done
  exit 1
}

skip() {
  say "SKIP: $*"
  exit $SKIPPED
}

# wait_until <seconds> <command…>: polls the command every tenth of a second until it succeeds.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.1
  done
}

# window_with_title <regex> [seconds]: prints the id of the visible window with that title, waiting for it.
window_with_title() {
  timeout "${2:-$WINDOW_WAIT}" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1
}

no_window_with_title() {
  ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1
}

program_running() {
  kill -0 "$KELVO_PID" 2>/dev/null
}

activate() {
  timeout "$SHORT_WAIT" xdotool windowactivate --sync "$1" >/dev/null 2>&1 ||
    fail "the window manager did not activate window $1"
}

# click_button <x> <y>: a left click at a point of the main window's client area.
click_button() {
  activate "$MAIN_WINDOW"
  xdotool mousemove --window "$MAIN_WINDOW" "$1" "$2" click 1 || fail "xdotool could not click at $1,$2"
}

# answer_file_dialog <title regex> <path>: types the path into the dialog's file name field and presses Enter.
answer_file_dialog() {
  local dialog
  dialog=$(window_with_title "$1")
  [ -n "$dialog" ] || fail "no file dialog ${1} appeared within ${WINDOW_WAIT}s"
  activate "$dialog"
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 15 "$2"
  xdotool key Return
  wait_until "$WINDOW_WAIT" no_window_with_title "$1" || fail "the file dialog $1 stayed open after Enter"
}

# --- Reading the status line over the accessibility bus, where there is one --------------------------------------

A11Y=off
start_accessibility_bus() {
  if ! command -v dbus-daemon >/dev/null; then
    say "status texts are not read: dbus-daemon is not installed"
    return
  fi
  if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
    say "status texts are not read: python3-pyatspi is not installed"
    return
  fi
  local address
  address=$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$WORK/bus.pid" </dev/null 2>/dev/null |
    head -n 1)
  BUS_PID=$(cat "$WORK/bus.pid" 2>/dev/null)
  if [ -z "$address" ]; then
    say "status texts are not read: no session bus could be started"
    return
  fi
  export DBUS_SESSION_BUS_ADDRESS=$address
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
  A11Y=on
}

# expect_status <text>: the status line reads <text> (checked only where the accessibility bus works).
expect_status() {
  [ "$A11Y" = on ] || return 0
  local answer rc
  answer=$(timeout $((SHORT_WAIT + 5)) /usr/bin/python3 "$HERE/status_text.py" wait kelvo "$1" "$SHORT_WAIT" 2>&1)
  rc=$?
  # 1: the program is on the bus and its status line reads otherwise. Anything else (no bus, the bus library
  # aborting, the program never registering) means the texts cannot be read here.
  case $rc in
    0) say "status line: $1" ;;
    1) fail "the status line does not read \"$1\": $answer" ;;
    *) say "status texts are not read: $(tail -n 1 <<<"$answer") (status $rc)"; A11Y=off ;;
  esac
}

# expect_frame_with_status_bar: a screen reader sees the window as a frame and finds its status bar.
expect_frame_with_status_bar() {
  [ "$A11Y" = on ] || return 0
  local answer rc
  answer=$(timeout $((SHORT_WAIT + 5)) /usr/bin/python3 "$HERE/status_text.py" roles kelvo "$SHORT_WAIT" 2>&1)
  rc=$?
  case $rc in
    0) say "roles: a frame holding a status bar of labels" ;;
    1) fail "the window's roles are not a frame with a status bar: $answer" ;;
    *) say "roles are not read: $(tail -n 1 <<<"$answer") (status $rc)" ;;
  esac
}

# listen_for_status <text>: starts listening for the event that announces <text> as a label's new name.
listen_for_status() {
  LISTENER_PID=
  [ "$A11Y" = on ] || return 0
  rm -f "$WORK/listener.out"
  timeout $((SHORT_WAIT + 10)) /usr/bin/python3 "$HERE/status_text.py" name-change kelvo "$1" "$SHORT_WAIT" \
    >"$WORK/listener.out" 2>&1 &
  LISTENER_PID=$!
  listening() { grep -q '^listening' "$WORK/listener.out" 2>/dev/null || ! kill -0 "$LISTENER_PID" 2>/dev/null; }
  wait_until "$SHORT_WAIT" listening
  sleep 1 # the registry tells the program of the new listener on its own time
}

# expect_announced <text>: the listener heard <text>.
expect_announced() {
  [ -n "$LISTENER_PID" ] || return 0
  wait "$LISTENER_PID"
  local rc=$?
  LISTENER_PID=
  case $rc in
    0) say "announced: $1" ;;
    1) fail "no name-change event announced \"$1\": $(tail -n 1 "$WORK/listener.out")" ;;
    *) say "events are not heard: $(tail -n 1 "$WORK/listener.out") (status $rc)" ;;
  esac
}

# expect_buttons <window name> <first words…>: the window's push buttons begin with these words, in any order.
expect_buttons() {
  [ "$A11Y" = on ] || return 0
  local window=$1 answer rc word
  shift
  answer=$(timeout $((SHORT_WAIT + 5)) /usr/bin/python3 "$HERE/status_text.py" buttons kelvo "$window" "$SHORT_WAIT" 2>&1)
  rc=$?
  case $rc in
    0) for word in "$@"; do
         grep -q "^$word" <<<"$answer" || fail "no button of $window reads $word…; buttons: $(tr '\n' ' ' <<<"$answer")"
       done
       say "buttons of $window: $(tr '\n' ' ' <<<"$answer")" ;;
    1) fail "the buttons of $window cannot be found: $answer" ;;
    *) say "buttons are not read: $(tail -n 1 <<<"$answer") (status $rc)" ;;
  esac
}

# --- Screenshots ----------------------------------------------------------------------------------------------

# screen_settled: two captures a little apart are the same, so nothing is still being drawn.
screen_settled() {
  xwd -root -silent >"$WORK/screen.next.xwd" 2>/dev/null || return 1
  if [ -f "$WORK/screen.xwd" ] && cmp -s "$WORK/screen.xwd" "$WORK/screen.next.xwd"; then
    return 0
  fi
  mv "$WORK/screen.next.xwd" "$WORK/screen.xwd"
  sleep 0.2
  return 1
}

# shoot_window <file.png>: the main window with its frame, once the screen has settled.
shoot_window() {
  rm -f "$WORK/screen.xwd"
  wait_until "$SHORT_WAIT" screen_settled || say "the screen kept changing; taking it as it is"
  local info x y w h extents left right top bottom
  info=$(xwininfo -id "$MAIN_WINDOW") || fail "xwininfo cannot see the main window"
  x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
  y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
  w=$(sed -n 's/.*Width: *//p' <<<"$info")
  h=$(sed -n 's/.*Height: *//p' <<<"$info")
  extents=$(xprop -id "$MAIN_WINDOW" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ' ')
  IFS=, read -r left right top bottom <<<"${extents:-0,0,0,0}"
  convert "xwd:$WORK/screen.next.xwd" \
    -crop "$((w + left + right))x$((h + top + bottom))+$((x - left))+$((y - top))" +repage "$1" ||
    fail "cannot write the screenshot $1"
  rm -f "$WORK/screen.xwd" "$WORK/screen.next.xwd"
  say "screenshot: $1"
}

# --- Starting with a file, as "Open with" in a file manager does ------------------------------------------------

LOAD_FAILED_STATUS='图片加载失败!请先选择要去色变为黑白的图片!'

# start_with <file>: starts the program with the file as its one argument and waits for the window.
start_with() {
  "$PROGRAM" "$1" >"$WORK/kelvo.log" 2>&1 &
  KELVO_PID=$!
  MAIN_WINDOW=$(window_with_title "$MAIN_TITLE")
  [ -n "$MAIN_WINDOW" ] || fail "the main window did not appear within ${WINDOW_WAIT}s when started with $1"
}

# stop_program: ends the program at once, without the close question.
stop_program() {
  kill "$KELVO_PID" 2>/dev/null
  wait "$KELVO_PID" 2>/dev/null
  KELVO_PID=
  wait_until "$SHORT_WAIT" no_window_with_title "$MAIN_TITLE" || fail "the window stayed after the program was ended"
}

# --- The run --------------------------------------------------------------------------------------------------

for tool in xdotool openbox xwd xwininfo xprop convert; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/lib/setup.sh lists the test packages)"
done
[ -x "$PROGRAM" ] || fail "no program at $PROGRAM"
[ -x "$PICTURES" ] || fail "no picture checker at $PICTURES"

mkdir -p "$WORK" || fail "cannot make $WORK"
WORK=$(cd "$WORK" && pwd)
rm -rf "$WORK/files" "$WORK/home" "$WORK"/*.png "$WORK"/*.log "$WORK"/*.xwd
mkdir -p "$WORK/files" "$WORK/home/config" "$WORK/home/runtime"
chmod 700 "$WORK/home/runtime"

# A world of its own: no settings of the person running the test are read or written.
export LC_ALL=C.UTF-8
export HOME=$WORK/home
export XDG_CONFIG_HOME=$WORK/home/config
export XDG_RUNTIME_DIR=$WORK/home/runtime
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING
unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER

step "starting an X server"
command -v Xvfb >/dev/null || skip "no X server can be started: Xvfb is not installed"
rm -f "$WORK/display"
# Xvfb picks a free display number itself and writes it to descriptor 5.
Xvfb -displayfd 5 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 5>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
display_known() { [ -s "$WORK/display" ] || ! kill -0 "$XVFB_PID" 2>/dev/null; }
wait_until "$SHORT_WAIT" display_known
if ! kill -0 "$XVFB_PID" 2>/dev/null || [ ! -s "$WORK/display" ]; then
  skip "no X server can be started: Xvfb did not come up ($(tail -n 3 "$WORK/xvfb.log" | tr '\n' ' '))"
fi
export DISPLAY=:$(head -n 1 "$WORK/display")
say "display $DISPLAY"

step "starting the window manager"
openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
WM_PID=$!
window_manager_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_until "$SHORT_WAIT" window_manager_up || fail "openbox did not take over the screen"

start_accessibility_bus

step "making a colour JPEG"
SOURCE=$WORK/files/colour-source.jpg
RESULT=$WORK/files/grey-result.bmp
# An odd width, so that the bitmap's rows need padding.
"$PICTURES" make-source "$SOURCE" 173 97 || fail "cannot make the source picture"

step "starting $PROGRAM with a file that is no picture"
BROKEN=$WORK/files/broken.jpg
printf 'not a picture\n' >"$BROKEN"
start_with "$BROKEN"
expect_status "$LOAD_FAILED_STATUS"
program_running || fail "the program ended after a file it cannot load"
[ -n "$(window_with_title "$MAIN_TITLE" "$SHORT_WAIT")" ] || fail "the window went away after a file it cannot load"
stop_program

step "starting $PROGRAM with $SOURCE"
start_with "$SOURCE"
expect_status "$LOADED_STATUS"
click_button "${DECOLOR_AT[@]}"
expect_status "$GREY_STATUS"
shoot_window "$WORK/window-decolorized.png"
stop_program

step "starting $PROGRAM"
"$PROGRAM" >"$WORK/kelvo.log" 2>&1 &
KELVO_PID=$!
MAIN_WINDOW=$(window_with_title "$MAIN_TITLE")
[ -n "$MAIN_WINDOW" ] || fail "the main window did not appear within ${WINDOW_WAIT}s"
expect_status "$FIRST_STATUS"
expect_frame_with_status_bar
shoot_window "$WORK/window-start.png"

step "浏览: opening $SOURCE"
click_button "${BROWSE_AT[@]}"
answer_file_dialog "$OPEN_TITLE" "$SOURCE"
expect_status "$LOADED_STATUS"

step "去色"
listen_for_status "$GREY_STATUS"
click_button "${DECOLOR_AT[@]}"
expect_announced "$GREY_STATUS"
expect_status "$GREY_STATUS"

step "保存: saving $RESULT"
click_button "${SAVE_AT[@]}"
answer_file_dialog "$SAVE_TITLE" "$RESULT"
result_written() { [ -s "$RESULT" ]; }
wait_until "$SHORT_WAIT" result_written || fail "no file was written at $RESULT"
expect_status "保存成功!路径:$RESULT"
shoot_window "$WORK/window-grey.png"

step "checking the saved file"
"$PICTURES" check-grey "$SOURCE" "$RESULT" || fail "the saved file is not the grey of the source"

step "closing through the window manager (Alt+F4), answering No"
activate "$MAIN_WINDOW"
xdotool key --clearmodifiers alt+F4
QUIT_BOX=$(window_with_title "$QUIT_TITLE" "$SHORT_WAIT")
[ -n "$QUIT_BOX" ] || fail "no close question appeared after Alt+F4"
# The program puts itself in simplified Chinese, whatever the locale it is started in (C.UTF-8 here).
expect_buttons "QuenOvrel提示" 是 否
activate "$QUIT_BOX"
xdotool key --clearmodifiers alt+n
wait_until "$SHORT_WAIT" no_window_with_title "$QUIT_TITLE" || fail "the close question stayed after No"
program_running || fail "the program ended although the answer was No"
[ -n "$(window_with_title "$MAIN_TITLE" "$SHORT_WAIT")" ] || fail "the window went away although the answer was No"
expect_status "保存成功!路径:$RESULT"

step "closing through the window manager again, answering Yes"
if command -v wmctrl >/dev/null; then
  wmctrl -i -c "$MAIN_WINDOW" || fail "wmctrl could not ask the window manager to close the window"
else
  activate "$MAIN_WINDOW"
  xdotool key --clearmodifiers alt+F4
fi
QUIT_BOX=$(window_with_title "$QUIT_TITLE" "$SHORT_WAIT")
[ -n "$QUIT_BOX" ] || fail "no close question appeared on the second close"
activate "$QUIT_BOX"
xdotool key Return
program_ended() { ! program_running; }
wait_until "$SHORT_WAIT" program_ended || fail "the program still runs ${SHORT_WAIT}s after Yes"
wait "$KELVO_PID"
status=$?
KELVO_PID=
[ "$status" -eq 0 ] || fail "the program ended with status $status"
no_window_with_title "$MAIN_TITLE" || fail "a window is left after the program ended"

say "PASS: opened, decolorized, saved and checked; No kept the window, Yes ended the program with status 0"

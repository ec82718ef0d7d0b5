#!/usr/bin/env bash
# Takes the screenshots of docs/screenshots/ under a virtual X server: the main window after
# generating at case-mix type 13, the surgery info dialog after editing and refusing P2 = -1, the
# batch window during and after a run, and the overlap window after a selection without removal.
#
#   scripts/screenshots.sh [BIN_DIR] [OUT_DIR]      (defaults: build/bin, docs/screenshots)
#
# Needs Xvfb, xdotool and ImageMagick's import. The program runs from a copy in a temporary
# directory, so its batch output goes there. The clicks aim at the controls' places in the
# windows' own layout; the program's seed is fixed, so the instance and its surgeries are the same
# on every run.
set -euo pipefail

bin=${1:-build/bin}
out=${2:-docs/screenshots}
display=${SCREENSHOT_DISPLAY:-:99}
mkdir -p "$out"
work=$(mktemp -d "${TMPDIR:-/tmp}/orbench-shots.XXXXXX")
cp "$bin/orbench" "$work/"
cp -r "$bin/casemixes" "$work/"
# The windows keep their settings between runs: the screenshots start from the defaults.
export XDG_CONFIG_HOME="$work/config"

xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1600x1200x24 >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

(cd "$work" && exec ./orbench >/dev/null 2>&1) &
app_pid=$!

window() { xdotool search --sync --onlyvisible --name "$1" | head -n 1; }
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep "${4:-0.4}"; }
shot() { sleep 0.5; import -window "$1" "$out/$2"; convert "$out/$2" -strip "$out/$2"; echo "$out/$2"; }
# Waits until the program has used no processor time for a second: a run has ended.
wait_idle() {
    local before after
    after=$(awk '{print $14 + $15}' "/proc/$app_pid/stat")
    while true; do
        sleep 1
        before=$after
        after=$(awk '{print $14 + $15}' "/proc/$app_pid/stat")
        [ "$before" = "$after" ] && break
    done
}

# Main window: case-mix type 13, then "Generate instance(s)".
main=$(window '^Orbench$')
xdotool windowfocus "$main"
click "$main" 618 290            # the case-mix type selector
xdotool key Escape
xdotool type --delay 80 13
click "$main" 838 191 1          # Generate instance(s)
xdotool mousemove --window "$main" 300 150
shot "$main" main-window-type13.png

# The surgery info dialog of a surgery of that instance, with P2 and P3 retyped.
click "$main" 245 295 1          # a surgery at (0.42, 0.45)
dialog=$(window '^Info about surgery')
xdotool windowfocus "$dialog"
for field in "145 49 0,5" "145 77 60"; do
    set -- $field
    click "$dialog" "$1" "$2" 0.2
    xdotool key ctrl+a
    xdotool type --delay 120 "$3"
done
shot "$dialog" surgery-info-dialog-edited.png
click "$dialog" 145 49 0.2        # P2 again: a value the dialog refuses
xdotool key ctrl+a
xdotool type --delay 120 -- "-1"
shot "$dialog" surgery-info-dialog-refusing.png
xdotool key Escape
sleep 0.5

# The batch window: orthopaedics checked and selected, 120 instances per combination (a run of
# several seconds).
click "$main" 838 260 1          # Generate X instances
batch=$(window '^Generate instances$')
xdotool windowfocus "$batch"
click "$batch" 90 86 0.2         # select orthopaedics
click "$batch" 37 86 0.2         # and check it
click "$batch" 874 51 0.2
xdotool key ctrl+a
xdotool type 120
click "$batch" 692 477 0.8       # Go!
shot "$batch" batch-window-running.png
wait_idle
shot "$batch" batch-window-finished.png
xdotool key Escape
sleep 0.5

# Eight instances, then the overlap window: select 3 cases, keep the others.
xdotool windowfocus "$main"
click "$main" 880 220 0.2        # the number of instances
xdotool key ctrl+a
xdotool type 8
click "$main" 838 191 1          # Generate instance(s)
click "$main" 838 288 1          # Min. overlap betw. instances
overlap=$(window '^Analyze overlap of instances$')
xdotool windowfocus "$overlap"
click "$overlap" 18 77 0.2       # Select ... cases
click "$overlap" 146 21 2        # Analyze overlap
shot "$overlap" overlap-window-selected.png
xdotool key Escape

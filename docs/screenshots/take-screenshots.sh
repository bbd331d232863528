#!/usr/bin/env bash
# Takes docs/screenshots/main-and-settings.png: starts kelmorph on a virtual
# display, presses 設定, places the settings window beside the main window
# and grabs the screen. Needs xvfb-run, xdotool and ImageMagick.
#   docs/screenshots/take-screenshots.sh [build dir, default build]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-build}"
[[ "$build" = /* ]] || build="$root/$build"
if [[ -z "${KELMORPH_SHOT_INNER:-}" ]]; then
  exec env KELMORPH_SHOT_INNER=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build"
fi
shot="$(mktemp --suffix=.png)"
"$build/app/gui/kelmorph" &
app=$!
sleep 3
# The main window opens at (588, 467); 設定 is at (8, 8) in the 56-wide
# panel on the right of its 527 x 378 client area.
xdotool mousemove $((588 + 471 + 28)) $((467 + 16)) click 1
sleep 1.5
# The settings window (628 wide) goes left of the main window, which moves
# right to make room; 更新 then fills the four result edits with long texts.
xdotool search --name OptionForm windowmove 40 467
xdotool search --name MainForm windowmove 684 467
sleep 0.5
xdotool mousemove $((40 + 564 + 28)) $((467 + 236 + 10)) click 1
sleep 1
import -window root "$shot"
kill "$app"
convert "$shot" -crop 1195x398+30+457 +repage "$root/docs/screenshots/main-and-settings.png"
rm -f "$shot"

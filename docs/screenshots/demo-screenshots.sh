#!/usr/bin/env bash
# Takes the screenshots of docs/DEMO.md on a virtual display:
#   demo-ref-read.png  the main window on Ref.jpg after Ref_read, settings beside it
#   demo-scan.png      the main window after SCAN, the last frame with its trace
#   demo-model.png     the saved VRML 2.0 model, rendered by view3dscene
# Runs the demo into a temporary folder, compiles demo-screenshots.cpp
# against the build's kelmorph_gui and kelmorph_core libraries and runs it.
# Needs xvfb-run, view3dscene, ImageMagick and a build with the GUI.
#   docs/screenshots/demo-screenshots.sh [build dir, default build]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-build}"
[[ "$build" = /* ]] || build="$root/$build"
cmake --build "$build" --target kelmorph-batch kelmorph_gui

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/tools/batch/kelmorph-batch" demo "$work/demo"

g++ -std=c++20 -O1 -I"$root" "$here/demo-screenshots.cpp" -o "$work/demo-screenshots" \
  "$build/app/gui/libkelmorph_gui.a" "$build/libkelmorph_core.a" \
  $(pkg-config --cflags --libs Qt6Widgets) -ljpeg
xvfb-run -a -s "-screen 0 1280x1024x24" "$work/demo-screenshots" "$work/demo" "$work"

# The model seen from the front and a little above.
cat > "$work/demo/view.wrl" <<'EOF'
#VRML V2.0 utf8
Viewpoint { position 0 30 72 orientation 1 0 0 -0.4 }
NavigationInfo { headlight TRUE }
Background { skyColor [ 0.16 0.17 0.2 ] }
Inline { url "Obj0001.wrl" }
EOF
xvfb-run -a -s "-screen 0 1280x1024x24" \
  view3dscene --geometry 480x480 --screenshot 0 "$work/demo-model.png" "$work/demo/view.wrl"

# Fewer colours keep the noisy frames small; the model's shading keeps all.
for name in demo-ref-read demo-scan; do
  convert "$work/$name.png" -dither None -colors 64 "$here/$name.png"
done
cp "$work/demo-model.png" "$here/demo-model.png"
ls -l "$here"/demo-*.png

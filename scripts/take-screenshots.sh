#!/usr/bin/env bash
# Takes the metainfo's screenshots from the program on a virtual display: the sample script
# in the editor, then prompting at speed 3. Needs xdotool. Usage: take-screenshots.sh PROGRAM
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")/.." && pwd)
command -v xdotool >/dev/null || { echo "xdotool is needed: apt-get install xdotool" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here/resources/help.rtf" "$here/resources/correct.tlx" "$work"
cd "$work"
xvfb-run -a -s "-screen 0 1024x640x24" bash -c '
  set -euo pipefail
  "$0" "$1/resources/samples/welcome.rtf" & pid=$!
  sleep 4
  window=$(xdotool search --onlyvisible --name "Corvanta" | tail -1)
  import -window "$window" editing.png
  xdotool key --window "$window" F10
  sleep 1.5
  xdotool key --window "$window" 3
  sleep 2.5
  import -window root prompting.png
  kill $pid
' "$program" "$here"
for name in editing prompting; do
  convert "$name.png" -strip -colors 64 "PNG8:$here/resources/screenshots/$name.png"
done
echo "resources/screenshots/ updated"

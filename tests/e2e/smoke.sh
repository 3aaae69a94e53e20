#!/usr/bin/env bash
# smoke.sh CMAKE BUILD_DIR CELL_CENTRES: the installed program, from its menu entry, saves supply.txt as here.
set -euo pipefail
expected=$(realpath "$(dirname "$0")/supply.txt")
work=$(mktemp -d) && trap 'kill "${segno:-}" "${XVFB_PID:-}" 2>/dev/null; rm -rf "$work"' EXIT
"$1" --install "$2" --prefix "$work/prefix" >/dev/null
entry=$work/prefix/share/applications/segno.desktop
if desktop-file-validate "$entry" 2>&1 | grep -v ': hint: '; then exit 1; fi
coproc XVFB { exec Xvfb -displayfd 1 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 2>/dev/null; }
read -r -t 10 display <&"${XVFB[0]}"
export DISPLAY=:$display QT_QPA_PLATFORM=xcb QT_ENABLE_HIGHDPI_SCALING=0
mkdir "$work/elsewhere" && cd "$work/elsewhere"
"$(sed -n 's/^Exec=//p' "$entry")" & segno=$!
win=$(timeout 20 xdotool search --sync --onlyvisible --name '^Segno$')
at() { xdotool mousemove --window "$win" "$1" "$2" click 1; }  # window pixels, 15 twips each
mapfile -t centre < <("$3")  # "x y" of each cell
draw() { for c in "$@"; do at ${centre[c]}; done; }
I=(2 7 12 17 22 27) L=(0 5 10 15 20 25 26 27 28 29) memo=(204 244)
draw "${I[@]}" && at 120 180 && xdotool type I && at "${memo[@]}"
draw "${L[@]}" && at 120 180 && xdotool key BackSpace type L && at "${memo[@]}"
at 300 244 && draw "${I[@]}" && at 412 244  # ADDESTRA, then RICONOSCI
[ -z "${SEGNO_SCREENSHOT:-}" ] || { xdotool mousemove 900 700 && sleep 1 && import -window "$win" "$SEGNO_SCREENSHOT"; }
at "${memo[@]}" && at 328 212  # MEMO under the answer, then SAVE
for _ in $(seq 100); do  # the question, once it holds the keyboard
  box=$(xdotool search --onlyvisible --name '^Segno$' | grep -vx "$win") &&
    [ "$(xdotool getwindowfocus)" = "$box" ] && break || sleep 0.1; done
xdotool key Return
for _ in $(seq 100); do [ -e "$work/prefix/lib/segno/supply.txt" ] && break || sleep 0.1; done
cmp "$expected" "$work/prefix/lib/segno/supply.txt"
[ -z "$(ls -A)" ]  # and nothing in the folder it was started from

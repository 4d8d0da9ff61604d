#!/usr/bin/env bash
# Lists which folder under src/ includes which, and fails on an edge the floors do not allow,
# on two folders that include each other, and on a widget header in a source of the model
# or the base (those libraries do not link Qt Widgets).
set -euo pipefail
cd "$(dirname "$0")/../src"
pairs=$(grep -rEo '^#include "[a-z]+/' --include='*.h' --include='*.cpp' . \
        | sed -E 's#^\./([a-z]+)/[^:]*:\#include "([a-z]+)/#\1 \2#' | awk '$1 != $2' | sort -u)

# The folders each folder may include. The subsystems meet each other only where listed.
declare -A allowed=(
    [core]=""
    [settings]="core"
    [formats]="core settings"
    [controls]="core settings formats"
    [prompt]="core settings formats controls editor"
    [editor]="core settings formats controls"
    [serial]="core settings formats controls"
    [search]="core settings formats controls editor"
    [spelling]="core settings formats controls"
    [help]="core settings formats controls"
    [talent]="core settings formats controls prompt"
    [remote]="core settings formats controls prompt"
    [app]="*"
)

status=0
while read -r from to; do
    [ -z "$from" ] && continue
    if [ "$to" = app ]; then echo "$from includes app/"; status=1; fi
    if grep -qx "$to $from" <<<"$pairs"; then echo "$from and $to include each other"; status=1; fi
    may="${allowed[$from]-}"
    if [ "$may" != "*" ] && ! grep -qw -- "$to" <<<"$may"; then
        echo "$from may not include $to/ (allowed: ${may:-nothing})"
        status=1
    fi
done <<<"$pairs"

# The sources of the base and the model, as their folders list them.
model=$(for list in */CMakeLists.txt; do
    dir=$(dirname "$list")
    awk -v dir="$dir" '
        /target_sources\((corvanta_model|corvanta_base)/ { on = 1 }
        on { for (i = 1; i <= NF; ++i) if ($i ~ /\.(h|cpp)\)?$/) { f = $i; sub(/\)$/, "", f); print dir "/" f } }
        on && /\)/ { on = 0 }' "$list"
done)
for file in $model; do
    if grep -nE '^#include <(QtWidgets/|QWidget|QApplication|QMainWindow|QDialog)' "$file"; then
        echo "$file: a widget header in the model"
        status=1
    fi
done

[ "${1:-}" = "-v" ] && echo "$pairs"
exit $status

#!/usr/bin/env bash
# Lists which folder under src/ includes which, and fails when two folders include each
# other or when anything outside src/app includes app/.
set -euo pipefail
cd "$(dirname "$0")/../src"
pairs=$(grep -rEo '^#include "[a-z]+/' --include='*.h' --include='*.cpp' . \
        | sed -E 's#^\./([a-z]+)/[^:]*:\#include "([a-z]+)/#\1 \2#' | awk '$1 != $2' | sort -u)
status=0
while read -r from to; do
    [ -z "$from" ] && continue
    if [ "$to" = app ]; then echo "$from includes app/"; status=1; fi
    if grep -qx "$to $from" <<<"$pairs"; then echo "$from and $to include each other"; status=1; fi
done <<<"$pairs"
[ "${1:-}" = "-v" ] && echo "$pairs"
exit $status

#!/usr/bin/env bash
# One match of a tournament, as GNU parallel runs it (here or on another
# host): a fast play.sh run in its own folder, marked "done" once the match
# was played to the end.
# Usage: tournament_match.sh BUILD_DIR TOURNAMENT_DIR SEED 3v3|5v5 LENGTH YELLOW BLUE FOLDER
set -uo pipefail
cd "$(dirname "$0")/.."

[ $# -eq 8 ] || { echo "tournament_match.sh: needs 8 arguments, got $#" >&2; exit 2; }
build_dir="$1" out="$2" seed="$3" scenario="$4" length="$5" yellow="$6" blue="$7" folder="$8"
[[ "$folder" =~ ^[A-Za-z0-9][A-Za-z0-9._-]*$ ]] || { echo "tournament_match.sh: bad folder '$folder'" >&2; exit 2; }
size=()
[ "$scenario" = 5v5 ] && size=(--5v5)

dir="$out/$folder"
log="$out/.$folder.log"
status=0
SOCCER_BUILD_DIR="$build_dir" ./scripts/play.sh --fast --seed "$seed" --length "$length" "${size[@]}" \
  --yellow "$yellow" --blue "$blue" --dir "$dir" > "$log" 2>&1 < /dev/null || status=$?
if [ -d "$dir" ]; then
  mv "$log" "$dir/play.log"
  [ "$status" -eq 0 ] && [ -s "$dir/summary.json" ] && touch "$dir/done"
else
  echo "tournament_match.sh: $folder did not start:" >&2
  cat "$log" >&2
  rm -f "$log"
fi
exit "$status"

#!/usr/bin/env bash
# Field families through simserver itself: a pair (same seed) states the same
# drawn field in summary.json and the record's header, another seed another
# one; a bad family is refused in one line naming the key, exit 1, before the
# server binds or writes anything.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
: "${SIMSERVER:?}"
work="$(mktemp -d /tmp/family-test-XXXXXX)"
failures=0
finish() { [ "$failures" -eq 0 ] && rm -rf "$work"; }
trap finish EXIT
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}

# A match nobody joins: the server waits no time and plays half a second alone.
match() {  # match NAME SCENARIO SEED
  "$SIMSERVER" --scenario "$2" --seed "$3" --port 0 --fast --length 0.5 --wait 0 --quiet \
    --summary "$work/$1.json" --record "$work/$1.jsonl" > /dev/null 2> "$work/$1.err"
}
for size in 3v3 5v5; do
  family="$root/config/scenario-$size-family.ini"
  match "$size-a" "$family" 21 && match "$size-b" "$family" 21 && match "$size-c" "$family" 22
  check "$size: three matches of the family play" test $? -eq 0
  check "$size: a pair plays one field, another seed another, as summary and record state it" \
    python3 - "$work/$size" <<'PY'
import json, sys
def field(name):
    summary = json.load(open(f"{sys.argv[1]}-{name}.json"))["field"]
    header = json.loads(open(f"{sys.argv[1]}-{name}.jsonl").readline())["drawn"]
    return summary if summary == header else None
a, b, c = field("a"), field("b"), field("c")
sys.exit(0 if a and len(a) == 10 and a == b and c and all(a[k] != c[k] for k in a) else print(a, b, c) or 1)
PY
done

# Bad families: refused before anything is bound or written.
bad_cases=(
  "BALL_KEEP=0.9..0.8|BALL_KEEP"
  "SEED=1..3|SEED"
  "SUB_STEPS=8..16|SUB_STEPS"
  "ROBOT_1=yellow GO -690..-600 0 90|ROBOT_1"
  "KICK_MODEL=aimed,sideways|KICK_MODEL"
  "KICK_MAX_SPEED=2000..5000|KICK_MAX_SPEED=5000"
)
for case in "${bad_cases[@]}"; do
  line="${case%|*}"; key="${case##*|}"
  printf '%s\n' "$line" > "$work/bad.ini"
  "$SIMSERVER" --scenario "$work/bad.ini" --port 0 --fast --record "$work/bad.jsonl" \
    > /dev/null 2> "$work/bad.err"
  status=$?
  check "refused: $line" test "$status" -eq 1 -a "$(wc -l < "$work/bad.err")" -eq 1 -a ! -e "$work/bad.jsonl"
  check "the line names $key" grep -q "$key" "$work/bad.err"
done

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed; files in $work"; exit 1; }

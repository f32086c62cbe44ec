#!/usr/bin/env bash
# scripts/team.sh against a real simserver on loopback: bad input starts
# nothing; two teams, one started before the server, play a match to the end;
# a robot the server does not know is reported as never connected; a 5 v 5
# team against a 3 v 3 server is refused robot by robot.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
team="$root/scripts/team.sh"
: "${SIMSERVER:?}" "${SOCCER_BUILD_DIR:?}"
work="$(mktemp -d /tmp/team-test-XXXXXX)"
started=()
finish() {
  for pid in "${started[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  wait 2>/dev/null
  [ "$failures" -eq 0 ] && rm -rf "$work"
}
failures=0
trap finish EXIT
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}

# --- Bad input: one line, exit 1, no folder ---
bad_cases=(
  "--team yellow"
  "--server 127.0.0.1:0 --team yellow"
  "--server 127.0.0.1:65536 --team yellow"
  "--server bad_host --team yellow"
  "--server 127.0.0.1 --team red"
  "--server 127.0.0.1 --team blue --program no-such-agent"
  "--server 127.0.0.1 --team blue --program $work/missing/agent"
  "--server 127.0.0.1 --team blue --set LOG_LEVEL"
  "--server 127.0.0.1 --team blue --set Y1:LOG_LEVEL=INFO"
  "--server 127.0.0.1 --team yellow --players $work/dup.ini"
)
printf 'yellow GO 1 1\nyellow Y1 2 2\nyellow Y1 3 3\n' > "$work/dup.ini"
for args in "${bad_cases[@]}"; do
  read -r -a words <<< "$args"
  "$team" "${words[@]}" --dir "$work/bad" > "$work/bad.out" 2> "$work/bad.err"
  status=$?
  check "refused: $args" test "$status" -eq 1 -a "$(wc -l < "$work/bad.err")" -eq 1 -a ! -e "$work/bad"
done

# --- A match: yellow starts before the server, blue after it ---
"$SIMSERVER" --port 0 --length 1 --fast > /dev/null 2> "$work/probe.log" &
probe=$!
port=""
for _ in $(seq 1 100); do
  port="$(sed -n 's/^simserver: listening on [^:]*:\([0-9]*\) .*/\1/p' "$work/probe.log")"
  [ -n "$port" ] && break
  sleep 0.05
done
kill -TERM "$probe" 2>/dev/null; wait "$probe" 2>/dev/null
[ -n "$port" ] || { echo "FAIL no free port from simserver"; exit 1; }

"$team" --server "127.0.0.1:$port" --team yellow --dir "$work/yellow" --quiet --wait 20 \
  --set LOG_LEVEL=ERROR --set GO:LOG_LEVEL=WARN > "$work/yellow.out" 2>&1 &
yellow=$!; started+=("$yellow")
sleep 2
"$SIMSERVER" --port "$port" --fast --length 8 --wait 20 > "$work/summary.txt" 2> "$work/server.log" &
server=$!; started+=("$server")
"$team" --server "localhost:$port" --team blue --program agent-c --dir "$work/blue" --quiet \
  > "$work/blue.out" 2>&1 &
blue=$!; started+=("$blue")
wait "$server"; server_status=$?
wait "$yellow"; yellow_status=$?
wait "$blue"; blue_status=$?
check "server ends the match" test "$server_status" -eq 0
check "yellow team ends with 0" test "$yellow_status" -eq 0
check "blue team ends with 0" test "$blue_status" -eq 0
check "every robot admitted" test "$(grep -c 'admitted yes' "$work/summary.txt")" -eq 6
check "every agent ended with 0" test "$(cat "$work/yellow.out" "$work/blue.out" | grep -c '^[0-9]*-[a-z]*-[A-Z0-9]*: exit 0$')" -eq 6
check "yellow retried before the server was up" grep -q "Could not connect" "$work/yellow/2-yellow-Y1/agent.log"
check "waiting for the server told once" test "$(grep -c "waiting for the server at 127.0.0.1:$port" "$work/yellow.out")" -eq 1
check "settings per team and per robot" grep -qx "LOG_LEVEL=WARN" "$work/yellow/1-yellow-GO/config.ini"
check "team-wide setting" grep -qx "LOG_LEVEL=ERROR" "$work/yellow/3-yellow-Y2/config.ini"
check "blue identity" grep -qx "TEAM=1" "$work/blue/5-blue-B1/config.ini"

# --- A robot the server never admits is named once --wait has run out ---
printf 'yellow Y9 99 99\n' > "$work/lone.ini"
"$team" --server "127.0.0.1:$port" --team yellow --players "$work/lone.ini" --dir "$work/lone" \
  --quiet --wait 2 > "$work/lone.out" 2> "$work/lone.err"
check "unconnected robot fails the run" test $? -eq 1
check "unconnected robot is named" grep -q "never connected.*Y9" "$work/lone.err"

# --- A server the team cannot look into answers "false": named at once, not retried ---
cp "$SIMSERVER" "$work/league-server"
"$work/league-server" --port "$port" --fast --length 2 --wait 4 > /dev/null 2> "$work/league.log" &
league=$!; started+=("$league")
sleep 0.3
"$team" --server "127.0.0.1:$port" --team yellow --players "$work/lone.ini" --dir "$work/refused" \
  --quiet --wait 30 > "$work/refused.out" 2> "$work/refused.err"
check "refused robot fails the run" test $? -eq 1
check "refused robot is named" grep -q "^99-yellow-Y9: refused" "$work/refused.out"
check "refusal explained" grep -q "robot Y9 (vt_id 99) was refused by the server" "$work/refused.err"
wait "$league"

# --- A 5 v 5 team against a 3 v 3 server: robots 4 and 5 are blue's there ---
"$SIMSERVER" --port "$port" --fast --length 2 --wait 6 > "$work/small.txt" 2> "$work/small.log" &
small=$!; started+=("$small")
sleep 0.3
"$team" --server "http://127.0.0.1:$port/" --team yellow --5v5 --dir "$work/five" --quiet --wait 3 \
  > "$work/five.out" 2> "$work/five.err"
check "mismatched robots fail the run" test $? -eq 1
check "each mismatched robot is refused" test "$(grep -c -E '^[45]-yellow-Y[34]: refused \(the server.s robot [45] is blue' "$work/five.out")" -eq 2
check "the matching robots play" test "$(grep -c -E '^[123]-yellow-(GO|Y1|Y2): exit 0$' "$work/five.out")" -eq 3
check "blue's robots never driven by yellow" bash -c "! grep -q \"nickname 'Y[34]'\" '$work/small.log'"
wait "$small"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed; files in $work"; exit 1; }

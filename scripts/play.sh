#!/usr/bin/env bash
# Runs one match on the simulated server: installs and builds what is
# missing, starts simserver and one agent per robot (each in its own working
# directory with generated settings), waits for the end, stops everything it
# started and prints the summary. Every file of the run stays in
# runs/<date-time>/, with match.html, a page that replays the match in a
# web browser.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  cat <<'USAGE'
Usage: scripts/play.sh [options]
  --length SECONDS   play time of the match (default 60)
  --5v5              5 against 5 instead of 3 against 3
  --fast             lock-step mode: the match runs as fast as the agents answer
  --seed N           camera seed: each seed draws its own camera noise, so its own match
  --exact            a camera without noise (every seed then plays the same match)
  --help             this text
The run's files (agent settings and logs, server log, replay record.jsonl,
summary.txt) are kept in runs/<date-time>/, with match.html: open it in a web
browser to watch the match.
Environment: SOCCER_BUILD_DIR=DIR uses the programs already built in DIR and
skips the install-and-build step.
USAGE
}

length=60
scenario=config/scenario-3v3.ini
fast=()
seed=()
# A real camera is never exact: a little noise on what each robot sees makes
# every seed a match of its own.
noise=(--noise-dist 1 --noise-angle 0.2)
while [ $# -gt 0 ]; do
  case "$1" in
    --length)
      [ $# -ge 2 ] || { echo "play.sh: --length needs seconds" >&2; exit 1; }
      length="$2"; shift 2 ;;
    --5v5) scenario=config/scenario-5v5.ini; shift ;;
    --fast) fast=(--fast); shift ;;
    --seed)
      [ $# -ge 2 ] || { echo "play.sh: --seed needs a number" >&2; exit 1; }
      seed=(--seed "$2"); shift 2 ;;
    --exact) noise=(); shift ;;
    --help|-h) usage; exit 0 ;;
    *) echo "play.sh: unknown option $1 (see --help)" >&2; exit 1 ;;
  esac
done
case "$length" in
  ''|*[!0-9.]*) echo "play.sh: --length needs a number of seconds" >&2; exit 1 ;;
esac

build_dir="${SOCCER_BUILD_DIR:-}"
if [ -z "$build_dir" ]; then
  ./scripts/bootstrap.sh
  build_dir=build
fi

run_dir="runs/$(date +%Y%m%d-%H%M%S)"
suffix=1
while [ -e "$run_dir" ]; do run_dir="runs/$(date +%Y%m%d-%H%M%S)-$suffix"; suffix=$((suffix + 1)); done
mkdir -p "$run_dir"
run_dir="$(cd "$run_dir" && pwd)"
simserver="$(cd "$build_dir" && pwd)/simserver"
agent="$(cd "$build_dir" && pwd)/agent"
for program in "$simserver" "$agent"; do
  [ -x "$program" ] || { echo "play.sh: $program is missing" >&2; exit 1; }
done

pids=()
server_pid=""
cleanup() {
  trap - EXIT INT TERM
  # The server first, so that it closes the record and writes its summary.
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill -TERM "$server_pid" 2>/dev/null || true
  fi
  for pid in "${pids[@]}"; do
    kill -0 "$pid" 2>/dev/null && kill -TERM "$pid" 2>/dev/null || true
  done
  for _ in $(seq 1 20); do
    alive=0
    for pid in "$server_pid" "${pids[@]}"; do
      [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && alive=1
    done
    [ "$alive" -eq 0 ] && break
    sleep 0.1
  done
  for pid in "$server_pid" "${pids[@]}"; do
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null || true
  done
}
# The replay page of whatever was recorded, also of an interrupted match.
replay=""
render_replay() {
  if [ -s "$run_dir/record.jsonl" ] &&
     "$simserver" --render "$run_dir/record.jsonl" -o "$run_dir/match.html" > /dev/null 2>> "$run_dir/server.log"; then
    replay="$run_dir/match.html"
  fi
}
report_replay() {
  if [ -n "$replay" ]; then
    echo "play.sh: watch the match: open $replay in a web browser"
  else
    echo "play.sh: no replay page (see $run_dir/server.log)" >&2
  fi
}
on_signal() {
  echo "play.sh: interrupted, stopping the match" >&2
  cleanup
  render_replay
  [ -s "$run_dir/summary.txt" ] && cat "$run_dir/summary.txt"
  echo "play.sh: files of the run in $run_dir" >&2
  report_replay
  exit 130
}
trap cleanup EXIT
trap on_signal INT TERM

"$simserver" --scenario "$scenario" --port 0 --length "$length" "${fast[@]}" "${seed[@]}" "${noise[@]}" \
  --record "$run_dir/record.jsonl" > "$run_dir/summary.txt" 2> "$run_dir/server.log" &
server_pid=$!

port=""
for _ in $(seq 1 100); do
  port="$(sed -n 's/^simserver: listening on [^:]*:\([0-9]*\) .*/\1/p' "$run_dir/server.log")"
  [ -n "$port" ] && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$port" ]; then
  echo "play.sh: the server did not start; see $run_dir/server.log" >&2
  cat "$run_dir/server.log" >&2
  exit 1
fi
echo "play.sh: server on port $port, run files in $run_dir"

# One working directory per robot, its config.ini naming the server's port.
"$simserver" --scenario "$scenario" --port "$port" --agent-configs "$run_dir" \
  --agent-template config/config.ini --velocidade config/velocidade.ini > "$run_dir/agents.txt"

while read -r dir; do
  ( cd "$dir" && exec "$agent" > agent.out 2> agent.log ) &
  pids+=("$!")
  echo "$!" > "$dir/pid"
done < "$run_dir/agents.txt"
echo "play.sh: started ${#pids[@]} agents; the match is on (progress in $run_dir/server.log)"

server_status=0
wait "$server_pid" || server_status=$?
server_pid=""

# The agents end by themselves once they have seen "time over".
for _ in $(seq 1 50); do
  alive=0
  for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
  [ "$alive" -eq 0 ] && break
  sleep 0.1
done
i=0
while read -r dir; do
  pid="${pids[$i]}"
  if kill -0 "$pid" 2>/dev/null; then
    echo "$(basename "$dir"): still running, stopped" >> "$run_dir/agents-exit.txt"
  else
    status=0
    wait "$pid" || status=$?
    echo "$(basename "$dir"): exit $status" >> "$run_dir/agents-exit.txt"
  fi
  i=$((i + 1))
done < "$run_dir/agents.txt"

render_replay

cat "$run_dir/summary.txt"
echo "agents:"
sed 's/^/  /' "$run_dir/agents-exit.txt"
echo "play.sh: files of the run in $run_dir"
report_replay
[ "$server_status" -eq 0 ] || { echo "play.sh: simserver ended with status $server_status" >&2; exit 1; }

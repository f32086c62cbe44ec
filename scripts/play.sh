#!/usr/bin/env bash
# Runs one match on the simulated server: installs and builds what is
# missing, starts simserver and one agent per robot (through scripts/team.sh,
# each in its own working directory with generated settings), waits for the end, stops everything it
# started and prints the summary. Every file of the run stays in
# runs/<date-time>/, with match.html, a page that replays the match in a
# web browser.
set -euo pipefail
# Paths on the command line are the caller's; the script works from the checkout.
caller_dir="$PWD"
cd "$(dirname "$0")/.."
from_caller() { case "$1" in /*) printf '%s\n' "$1" ;; *) printf '%s\n' "$caller_dir/$1" ;; esac; }

usage() {
  cat <<'USAGE'
Usage: scripts/play.sh [options]
  --length SECONDS   play time of the match (default 60)
  --5v5              5 against 5 instead of 3 against 3
  --fast             lock-step mode: the match runs as fast as the agents answer
  --seed N           camera seed: each seed draws its own camera noise, so its own
                     match (default: a fresh seed, printed so it can be played again)
  --exact            a camera without noise (every seed then plays the same match)
  --yellow PROGRAM   the yellow team's agent program (default agent)
  --blue PROGRAM     the blue team's agent program (default agent)
                     PROGRAM: agent, agent-b, agent-c (built in the build folder)
                     or the path of an agent executable
  --dir DIR          put the run's files in DIR (a new folder) instead of
                     runs/<date-time>/
  --watch            watch the match live: prints an address to open in a web
                     browser while the match is on (on this machine only)
  --watch-port N     --watch on port N instead of a free one
  --help             this text
The run's files (agent settings and logs, server log, replay record.jsonl,
summary.txt, summary.json) are kept in runs/<date-time>/, with match.html: open
it in a web browser to watch the match.
Environment: SOCCER_BUILD_DIR=DIR uses the programs already built in DIR and
skips the install-and-build step.
USAGE
}

fail() { echo "play.sh: $*" >&2; exit 1; }

# Largest match length simserver accepts, in seconds.
max_length=86400

length=60
scenario=config/scenario-3v3.ini
fast=()
seed=()
# A real camera is never exact: a little noise on what each robot sees makes
# every seed a match of its own.
noise=(--noise-dist 1 --noise-angle 0.2)
yellow=agent
blue=agent
run_dir=""
watch=()
while [ $# -gt 0 ]; do
  case "$1" in
    --length|--seed|--yellow|--blue|--dir|--watch-port)
      [ $# -ge 2 ] || fail "$1 needs a value"
      case "$1" in
        --length) length="$2" ;;
        --seed) seed=(--seed "$2") ;;
        --yellow) yellow="$2" ;;
        --blue) blue="$2" ;;
        --dir) run_dir="$(from_caller "$2")" ;;
        --watch-port) watch=(--http "$2") ;;
      esac
      shift 2 ;;
    --5v5) scenario=config/scenario-5v5.ini; shift ;;
    --fast) fast=(--fast); shift ;;
    --exact) noise=(); shift ;;
    --watch) [ ${#watch[@]} -gt 0 ] || watch=(--http 0); shift ;;
    --help|-h) usage; exit 0 ;;
    *) fail "unknown option $1 (see --help)" ;;
  esac
done
if ! [[ "$length" =~ ^[0-9]+(\.[0-9]+)?$ ]] ||
   ! awk -v l="$length" -v m="$max_length" 'BEGIN { exit !(l > 0 && l <= m) }'; then
  fail "--length needs seconds greater than 0 and at most $max_length (got '$length')"
fi
if [ ${#seed[@]} -eq 0 ]; then
  # A fresh seed, told to the user so that a good match can be played again.
  seed=(--seed "$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')")
elif ! [[ "${seed[1]}" =~ ^[0-9]{1,18}$ ]]; then
  fail "--seed needs a whole number from 0 to 999999999999999999 (got '${seed[1]}')"
fi
if [ ${#watch[@]} -gt 0 ] && ! { [[ "${watch[1]}" =~ ^[0-9]{1,5}$ ]] && [ "${watch[1]}" -le 65535 ]; }; then
  fail "--watch-port needs a port number from 0 to 65535 (got '${watch[1]}')"
fi
if [ -n "$run_dir" ] && [ -e "$run_dir" ] && [ -n "$(ls -A "$run_dir" 2>/dev/null)" ]; then
  fail "--dir $run_dir is not empty"
fi
# A program is a name built in the build folder or a path to an executable;
# names stay plain so that they read well in summaries.
check_program_syntax() {
  local option="$1" program="$2"
  case "$program" in
    */*) local path; path="$(from_caller "$program")"
         [ -f "$path" ] && [ -x "$path" ] || fail "$option $program is not an executable file" ;;
    agent|agent-b|agent-c) ;;
    *) fail "$option: unknown program '$program' (agent, agent-b, agent-c or the path of an executable)" ;;
  esac
}
check_program_syntax --yellow "$yellow"
check_program_syntax --blue "$blue"

build_dir="${SOCCER_BUILD_DIR:-}"
if [ -z "$build_dir" ]; then
  ./scripts/bootstrap.sh play
  build_dir=build
fi
program_path() {
  case "$1" in
    */*) from_caller "$1" ;;
    *) echo "$(cd "$build_dir" && pwd)/$1" ;;
  esac
}
simserver="$(cd "$build_dir" && pwd)/simserver"
yellow_path="$(program_path "$yellow")"
blue_path="$(program_path "$blue")"
for program in "$simserver" "$yellow_path" "$blue_path"; do
  [ -x "$program" ] || fail "$program is missing (build it first)"
done

if [ -z "$run_dir" ]; then
  run_dir="runs/$(date +%Y%m%d-%H%M%S)"
  suffix=1
  mkdir -p runs
  # mkdir fails on a folder that exists, so two runs in the same second part ways.
  while ! mkdir "$run_dir" 2>/dev/null; do run_dir="runs/$(date +%Y%m%d-%H%M%S)-$suffix"; suffix=$((suffix + 1)); done
else
  mkdir -p "$run_dir"
fi
run_dir="$(cd "$run_dir" && pwd)"

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
  --yellow-program "$yellow" --blue-program "$blue" --summary "$run_dir/summary.json" \
  --record "$run_dir/record.jsonl" "${watch[@]}" > "$run_dir/summary.txt" 2> "$run_dir/server.log" &
server_pid=$!

port=""
for _ in $(seq 1 100); do
  # The log appears only once the server's process is under way.
  port="$(sed -n 's/^simserver: listening on [^:]*:\([0-9]*\) .*/\1/p' "$run_dir/server.log" 2>/dev/null || true)"
  [ -n "$port" ] && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$port" ]; then
  echo "play.sh: the server did not start; see $run_dir/server.log" >&2
  cat "$run_dir/server.log" >&2
  exit 1
fi
echo "play.sh: server on port $port, seed ${seed[1]} (play it again with --seed ${seed[1]}), run files in $run_dir"
if [ ${#watch[@]} -gt 0 ]; then
  address="$(sed -n 's/^simserver: watch live at //p' "$run_dir/server.log")"
  echo "play.sh: watch the match live: open $address in a web browser"
fi

# Agents start as on a real field: one team.sh per colour, each robot in its
# folder <vt_id>-<colour>-<nickname> of the run's; stopping a team.sh stops its agents.
team_args=(--server "127.0.0.1:$port" --dir "$run_dir" --quiet --wait 10)
[ "$scenario" = config/scenario-5v5.ini ] && team_args+=(--5v5)
for colour in yellow blue; do
  program="$yellow_path"
  [ "$colour" = blue ] && program="$blue_path"
  ./scripts/team.sh "${team_args[@]}" --team "$colour" --program "$program" > "$run_dir/team-$colour.txt" 2>&1 &
  pids+=("$!")
done
echo "play.sh: started both teams; the match is on (progress in $run_dir/server.log)"

# In real time, one line on the terminal follows the clock, mode and score.
if [ ${#fast[@]} -eq 0 ] && [ -t 1 ]; then
  while kill -0 "$server_pid" 2>/dev/null; do
    line="$(grep '^simserver: t=' "$run_dir/server.log" | tail -n 1 | sed 's/^simserver: //')" || true
    [ -n "$line" ] && printf '\r%s ' "$line"
    sleep 0.5
  done
  printf '\n'
fi
server_status=0
wait "$server_pid" || server_status=$?
server_pid=""

# The agents end by themselves once they have seen "time over", and each
# team.sh with them; one still running is stopped and says so.
for _ in $(seq 1 50); do
  alive=0
  for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
  [ "$alive" -eq 0 ] && break
  sleep 0.1
done
for pid in "${pids[@]}"; do
  kill -0 "$pid" 2>/dev/null && kill -TERM "$pid" 2>/dev/null || true
done
for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
grep -h -E '^-?[0-9]+-(yellow|blue)-[^:]*: ' "$run_dir/team-yellow.txt" "$run_dir/team-blue.txt" \
  > "$run_dir/agents-exit.txt" || true

render_replay

cat "$run_dir/summary.txt"
echo "agents:"
sed 's/^/  /' "$run_dir/agents-exit.txt"
echo "play.sh: files of the run in $run_dir"
report_replay
[ "$server_status" -eq 0 ] || { echo "play.sh: simserver ended with status $server_status" >&2; exit 1; }

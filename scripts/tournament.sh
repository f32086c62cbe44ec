#!/usr/bin/env bash
# Plays a round robin of agent programs on the simulated server: every
# pairing plays seeds 1..N, each seed twice with the colours swapped. The
# matches are independent `play.sh --fast` runs handed to GNU parallel, on
# this machine or over ssh on several. At the end (also after Ctrl-C) the
# tournament folder holds results.csv and report.html, and the table with
# its verdicts is printed.
set -euo pipefail
# Paths on the command line are the caller's; the script works from the checkout.
caller_dir="$PWD"
cd "$(dirname "$0")/.."
from_caller() { case "$1" in /*) printf '%s\n' "$1" ;; *) printf '%s\n' "$caller_dir/$1" ;; esac; }

usage() {
  cat <<'USAGE'
Usage: scripts/tournament.sh --programs A,B[,C...] [options]
  --programs LIST    the programs, comma separated: agent, agent-b, agent-c or
                     paths of agent executables; every pair meets
  --seeds N          each pairing plays seeds 1..N, each twice with the colours
                     swapped (default 10)
  --5v5              5 against 5 instead of 3 against 3
  --length SECONDS   play time of each match (default 60)
  --out DIR          the tournament folder (default runs/tournament-<date-time>/)
  --jobs N           matches at once (default: the number of cores)
  --hosts FILE       spread the matches over the machines of FILE (GNU parallel's
                     ssh login file: one [user@]host per line, ':' for this one);
                     each needs this checkout, built, at the same path
  --resume DIR       finish the tournament in DIR: only the matches not yet
                     finished are played (give --jobs and --hosts again if wanted)
  --help             this text
Environment: SOCCER_BUILD_DIR=DIR uses the programs already built in DIR and
skips the install-and-build step.
USAGE
}

fail() { echo "tournament.sh: $*" >&2; exit 1; }

max_length=86400
max_seeds=1000
max_jobs=256

programs_text=""
seeds=10
scenario=3v3
length=60
out=""
jobs=""
hosts=""
resume=""
settings_given=0
while [ $# -gt 0 ]; do
  case "$1" in
    --programs|--seeds|--length|--out|--jobs|--hosts|--resume)
      [ $# -ge 2 ] || fail "$1 needs a value"
      case "$1" in
        --programs) programs_text="$2"; settings_given=1 ;;
        --seeds) seeds="$2"; settings_given=1 ;;
        --length) length="$2"; settings_given=1 ;;
        --out) out="$(from_caller "$2")"; settings_given=1 ;;
        --jobs) jobs="$2" ;;
        --hosts) hosts="$(from_caller "$2")" ;;
        --resume) resume="$(from_caller "$2")" ;;
      esac
      shift 2 ;;
    --5v5) scenario=5v5; settings_given=1; shift ;;
    --help|-h) usage; exit 0 ;;
    *) fail "unknown option $1 (see --help)" ;;
  esac
done

if [ -n "$jobs" ]; then
  [[ "$jobs" =~ ^[0-9]{1,3}$ ]] && [ "$jobs" -ge 1 ] && [ "$jobs" -le "$max_jobs" ] ||
    fail "--jobs needs a whole number from 1 to $max_jobs (got '$jobs')"
else
  jobs=$(nproc 2>/dev/null || echo 2)
fi
if [ -n "$hosts" ]; then
  [ -f "$hosts" ] && [ -r "$hosts" ] || fail "--hosts $hosts is missing or unreadable"
  grep -qv '^[[:space:]]*\(#.*\)\?$' "$hosts" || fail "--hosts $hosts names no host"
  hosts="$(cd "$(dirname "$hosts")" && pwd)/$(basename "$hosts")"
fi

if [ -n "$resume" ]; then
  [ "$settings_given" -eq 0 ] ||
    fail "--resume takes the settings from the tournament folder; give only --jobs and --hosts with it"
  [ -f "$resume/tournament.json" ] || fail "--resume $resume is not a tournament folder (no tournament.json)"
  out="$resume"
else
  [ -n "$programs_text" ] || fail "--programs needs at least two programs (see --help)"
  [[ "$seeds" =~ ^[0-9]{1,4}$ ]] && [ "$seeds" -ge 1 ] && [ "$seeds" -le "$max_seeds" ] ||
    fail "--seeds needs a whole number from 1 to $max_seeds (got '$seeds')"
  if ! [[ "$length" =~ ^[0-9]+(\.[0-9]+)?$ ]] ||
     ! awk -v l="$length" -v m="$max_length" 'BEGIN { exit !(l > 0 && l <= m) }'; then
    fail "--length needs seconds greater than 0 and at most $max_length (got '$length')"
  fi
  IFS=',' read -r -a programs <<<"$programs_text"
  [ ${#programs[@]} -ge 2 ] || fail "--programs needs at least two programs, comma separated"
  for i in "${!programs[@]}"; do
    case "${programs[$i]}" in */*) programs[$i]="$(from_caller "${programs[$i]}")" ;; esac
  done
  for p in "${programs[@]}"; do
    case "$p" in
      */*) [ -f "$p" ] && [ -x "$p" ] || fail "--programs: $p is not an executable file" ;;
      agent|agent-b|agent-c) ;;
      *) fail "--programs: unknown program '$p' (agent, agent-b, agent-c or the path of an executable)" ;;
    esac
  done
  dups="$(printf '%s\n' "${programs[@]}" | sort | uniq -d)"
  [ -z "$dups" ] || fail "--programs names $(echo "$dups" | head -n 1) twice"
  if [ -n "$out" ] && [ -e "$out" ]; then
    fail "--out $out exists already (use --resume $out to finish it)"
  fi
fi

build_dir="${SOCCER_BUILD_DIR:-}"
if [ -z "$build_dir" ]; then
  ./scripts/bootstrap.sh tournament
  build_dir=build
fi
build_dir="$(cd "$build_dir" && pwd)"
for tool in parallel python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing (./scripts/bootstrap.sh tournament installs it)"
done

if [ -z "$resume" ]; then
  for p in "${programs[@]}"; do
    case "$p" in
      */*) ;;
      *) [ -x "$build_dir/$p" ] || fail "$build_dir/$p is missing (build it first)" ;;
    esac
  done
  if [ -z "$out" ]; then
    mkdir -p runs
    out="runs/tournament-$(date +%Y%m%d-%H%M%S)"
    suffix=1
    # mkdir fails on a folder that exists, so two tournaments never share one.
    while ! mkdir "$out" 2>/dev/null; do out="runs/tournament-$(date +%Y%m%d-%H%M%S)-$suffix"; suffix=$((suffix + 1)); done
  else
    mkdir -p "$(dirname "$out")"
    mkdir "$out" || fail "cannot create --out $out"
  fi
  out="$(cd "$out" && pwd)"
  # Paths become absolute, so that every host finds the same program.
  absolute=()
  for p in "${programs[@]}"; do
    case "$p" in
      */*) absolute+=("$(cd "$(dirname "$p")" && pwd)/$(basename "$p")") ;;
      *) absolute+=("$p") ;;
    esac
  done
  python3 -B scripts/tournament_report.py plan "$out" --seeds "$seeds" --scenario "$scenario" \
    --length "$length" -- "${absolute[@]}"
else
  out="$(cd "$out" && pwd)"
fi

# Matches not finished (a cut-short run leaves a folder without its "done"
# mark) are played again from scratch.
todo="$out/todo.txt"
: > "$todo"
total=0
while IFS=$'\t' read -r seed scen len yellow blue folder; do
  total=$((total + 1))
  [[ "$folder" =~ ^[A-Za-z0-9][A-Za-z0-9._-]*$ ]] || fail "$out/matches.txt names a bad folder '$folder'"
  [ -f "$out/$folder/done" ] && continue
  rm -rf "${out:?}/$folder"
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$seed" "$scen" "$len" "$yellow" "$blue" "$folder" >> "$todo"
done < "$out/matches.txt"
left=$(wc -l < "$todo")
echo "tournament.sh: $((total - left)) of $total matches already played, $left to play, $jobs at once; folder $out"

parallel_args=(--colsep '\t' --jobs "$jobs" --joblog "+$out/joblog.txt")
if [ -n "$hosts" ]; then
  # Remote jobs run in the same checkout; each match folder comes back here.
  parallel_args+=(--sshloginfile "$hosts" --workdir "$PWD" --return "$out/{6}")
fi

parallel_pid=""
progress_pid=""
stop_all() {
  trap - INT TERM
  echo >&2
  echo "tournament.sh: interrupted, stopping every match" >&2
  # parallel passes the signal on to its jobs (and over ssh to remote ones).
  [ -n "$parallel_pid" ] && kill -INT "$parallel_pid" 2>/dev/null || true
  [ -n "$parallel_pid" ] && wait "$parallel_pid" 2>/dev/null || true
  [ -n "$progress_pid" ] && kill "$progress_pid" 2>/dev/null || true
  python3 -B scripts/tournament_report.py report "$out" || true
  echo "tournament.sh: finish it with: scripts/tournament.sh --resume $out" >&2
  exit 130
}
trap stop_all INT TERM

# One line on the terminal: matches done, elapsed, estimated time left.
progress() {
  local start done_now elapsed rest
  start=$(date +%s)
  local before=$((total - left))
  while :; do
    done_now=$(find "$out" -mindepth 2 -maxdepth 2 -name done 2>/dev/null | wc -l)
    elapsed=$(( $(date +%s) - start ))
    rest="?"
    if [ "$done_now" -gt "$before" ]; then
      rest=$(( elapsed * (total - done_now) / (done_now - before) ))s
    fi
    printf '\rtournament.sh: %d of %d matches done, %ds elapsed, about %s left   ' \
      "$done_now" "$total" "$elapsed" "$rest" >&2
    sleep 1
  done
}

status=0
if [ "$left" -gt 0 ]; then
  if [ -t 2 ]; then
    progress &
    progress_pid=$!
  fi
  parallel "${parallel_args[@]}" \
    scripts/tournament_match.sh "$build_dir" "$out" {1} {2} {3} {4} {5} {6} < "$todo" &
  parallel_pid=$!
  wait "$parallel_pid" || status=$?
  parallel_pid=""
  if [ -n "$progress_pid" ]; then
    kill "$progress_pid" 2>/dev/null || true
    wait "$progress_pid" 2>/dev/null || true
    echo >&2
  fi
fi
trap - INT TERM

python3 -B scripts/tournament_report.py report "$out"
unfinished=0
while IFS=$'\t' read -r _ _ _ _ _ folder; do
  [ -f "$out/$folder/done" ] || unfinished=$((unfinished + 1))
done < "$out/matches.txt"
if [ "$unfinished" -gt 0 ]; then
  echo "tournament.sh: $unfinished matches did not finish (see their play.log); run again with --resume $out" >&2
  exit 1
fi
[ "$status" -eq 0 ] || echo "tournament.sh: parallel ended with status $status" >&2
exit 0

#!/usr/bin/env bash
# Fields one team: writes a working folder per robot (config.ini from
# config/config.ini with the server, colour and identity filled in, and
# velocidade.ini), starts one agent per robot, restarts the ones that could
# not connect until --wait runs out, and stops them all on Ctrl-C or when
# they have all ended. Works against any Soccer Server: the simulated one or
# a league's real one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

usage() {
  cat <<'USAGE'
Usage: scripts/team.sh --server HOST[:PORT] --team yellow|blue [options]
  --server HOST[:PORT]  the Soccer Server (port 20000 when not given)
  --team yellow|blue    the colour this team plays
  --program P           agent, agent-b, agent-c (built in build/) or the path of
                        an agent program (default agent)
  --5v5                 the 5 against 5 players file instead of 3 against 3
  --players FILE        the team's robots (default config/players-3v3.ini);
                        lines: colour nickname vt_id rc_id [KEY=VALUE ...]
  --set KEY=VALUE       a setting for every robot of the team (repeatable)
  --set NICK:KEY=VALUE  a setting for robot NICK only (repeatable, wins over
                        the team-wide one)
  --wait SECONDS        how long robots that could not connect are started
                        again (default 30)
  --dir DIR             the working folder (default runs/team-<colour>-<date-time>)
  --quiet               robots' output only into their folders, not the terminal
  --help                this text
Each robot runs in DIR/<vt_id>-<colour>-<nickname>/, writing agent.out and
agent.log there. Exit status: 0 when every agent ended with 0, 1 otherwise
(or for bad input, before anything is started), 130 when interrupted.
Environment: SOCCER_BUILD_DIR=DIR finds agent, agent-b and agent-c in DIR.
USAGE
}

fail() {
  echo "team.sh: $*" >&2
  exit 1
}

server="" colour="" program="agent" players="" five=0 wait_s=30 dir="" quiet=0
sets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --server|--team|--program|--players|--set|--wait|--dir)
      [ $# -ge 2 ] || fail "$1 needs a value (see --help)"
      case "$1" in
        --server) server="$2" ;;
        --team) colour="$2" ;;
        --program) program="$2" ;;
        --players) players="$2" ;;
        --set) sets+=("$2") ;;
        --wait) wait_s="$2" ;;
        --dir) dir="$2" ;;
      esac
      shift 2 ;;
    --5v5) five=1; shift ;;
    --quiet) quiet=1; shift ;;
    --help|-h) usage; exit 0 ;;
    *) fail "unknown option $1 (see --help)" ;;
  esac
done

# --- Check everything before anything is written or started ---

[ -n "$server" ] || fail "--server HOST[:PORT] is required"
host="${server%%:*}"
port=20000
if [ "$host" != "$server" ]; then
  port="${server#*:}"
fi
[[ "$host" =~ ^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$ ]] || fail "malformed server address '$server' (HOST[:PORT])"
[[ "$port" =~ ^[0-9]{1,5}$ ]] && [ "$((10#$port))" -ge 1 ] && [ "$((10#$port))" -le 65535 ] ||
  fail "server port '$port' is not a number from 1 to 65535"
port=$((10#$port))

case "$colour" in
  yellow) team_id=2 ;;
  blue) team_id=1 ;;
  "") fail "--team yellow|blue is required" ;;
  *) fail "team '$colour' is neither yellow nor blue" ;;
esac

case "$program" in
  agent|agent-b|agent-c)
    build_dir="${SOCCER_BUILD_DIR:-$root/build}"
    agent="$(cd "$build_dir" 2>/dev/null && pwd)/$program" || agent="$build_dir/$program"
    [ -x "$agent" ] || fail "program $program is not built ($agent is missing; build it with cmake --build ${build_dir})" ;;
  */*)
    [ -f "$program" ] && [ -x "$program" ] || fail "program '$program' is not an executable file"
    agent="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")" ;;
  *) fail "unknown program '$program' (agent, agent-b, agent-c or the path of an agent program)" ;;
esac

[[ "$wait_s" =~ ^[0-9]+$ ]] || fail "--wait needs a whole number of seconds, not '$wait_s'"

if [ -z "$players" ]; then
  players="$root/config/players-3v3.ini"
  [ "$five" -eq 1 ] && players="$root/config/players-5v5.ini"
fi
[ -r "$players" ] || fail "cannot read players file $players"
template="$root/config/config.ini"
speeds="$root/config/velocidade.ini"
[ -r "$template" ] && [ -r "$speeds" ] || fail "config/config.ini or config/velocidade.ini is missing"

key_re='^[A-Za-z_][A-Za-z0-9_]*$'
id_re='^-?[0-9]{1,9}$'
nicks=() vts=() rcs=() own=()
declare -A seen_vt=() seen_nick=() seen_rc=()
lineno=0
while IFS= read -r line || [ -n "$line" ]; do
  lineno=$((lineno + 1))
  line="${line%%#*}"
  read -r -a words <<< "$line" || true
  [ "${#words[@]}" -eq 0 ] && continue
  where="$players:$lineno"
  [ "${#words[@]}" -ge 4 ] || fail "$where: expected 'colour nickname vt_id rc_id [KEY=VALUE ...]'"
  c="${words[0]}" nick="${words[1]}" vt="${words[2]}" rc="${words[3]}"
  [ "$c" = yellow ] || [ "$c" = blue ] || fail "$where: colour '$c' is neither yellow nor blue"
  [[ "$nick" =~ ^[A-Za-z0-9_.-]+$ ]] || fail "$where: nickname '$nick' may only hold letters, digits, '_', '.' and '-'"
  [[ "$vt" =~ $id_re ]] || fail "$where: vt_id '$vt' is not a whole number"
  [[ "$rc" =~ $id_re ]] || fail "$where: rc_id '$rc' is not a whole number"
  # The server tells robots apart by vt_id, whatever their colour.
  [ -z "${seen_vt[$vt]:-}" ] || fail "$where: vt_id $vt is given twice"
  seen_vt[$vt]=1
  for kv in "${words[@]:4}"; do
    [[ "$kv" == *=* && "${kv%%=*}" =~ $key_re ]] || fail "$where: '$kv' is not KEY=VALUE"
  done
  [ "$c" = "$colour" ] || continue
  [ -z "${seen_nick[$nick]:-}" ] || fail "$where: nickname $nick is given twice for $colour"
  [ -z "${seen_rc[$rc]:-}" ] || fail "$where: rc_id $rc is given twice for $colour"
  seen_nick[$nick]=1 seen_rc[$rc]=1
  nicks+=("$nick") vts+=("$vt") rcs+=("$rc") own+=("${words[*]:4}")
done < "$players"
[ "${#nicks[@]}" -gt 0 ] || fail "$players lists no $colour robot"

for s in "${sets[@]}"; do
  [[ "$s" == *=* ]] || fail "setting '$s' has no '=' (KEY=VALUE or NICK:KEY=VALUE)"
  k="${s%%=*}"
  if [[ "$k" == *:* ]]; then
    [ -n "${seen_nick[${k%%:*}]:-}" ] || fail "setting '$s' names ${k%%:*}, which is no $colour robot"
    k="${k#*:}"
  fi
  [[ "$k" =~ $key_re ]] || fail "setting '$s': '$k' is not a setting name"
done

if [ -z "$dir" ]; then
  dir="$root/runs/team-$colour-$(date +%Y%m%d-%H%M%S)"
  suffix=1
  while [ -e "$dir" ]; do dir="$root/runs/team-$colour-$(date +%Y%m%d-%H%M%S)-$suffix"; suffix=$((suffix + 1)); done
fi
mkdir -p "$dir" || fail "cannot create $dir"
dir="$(cd "$dir" && pwd)"

# --- Working folders ---

# Sets KEY to VALUE in a property file: the key's line is replaced, or added.
set_key() {
  local file="$1" key="$2" value="$3"
  KEY="$key" VALUE="$value" awk '
    BEGIN { k = ENVIRON["KEY"]; v = ENVIRON["VALUE"] }
    index($0, k "=") == 1 { if (!done) print k "=" v; done = 1; next }
    { print }
    END { if (!done) print k "=" v }' "$file" > "$file.new"
  mv "$file.new" "$file"
}

robot_dirs=()
for i in "${!nicks[@]}"; do
  nick="${nicks[$i]}"
  rdir="$dir/${vts[$i]}-$colour-$nick"
  mkdir -p "$rdir"
  cp "$speeds" "$rdir/velocidade.ini"
  cp "$template" "$rdir/config.ini"
  read -r -a extra <<< "${own[$i]}" || true
  for kv in "SERVER_IP=$host" "PORT_TEAM=$port" "TEAM=$team_id" "NICK_NAME=$nick" \
            "VT_ID=${vts[$i]}" "RC_ID=${rcs[$i]}" "${extra[@]}"; do
    set_key "$rdir/config.ini" "${kv%%=*}" "${kv#*=}"
  done
  # Team-wide settings first, so that a robot's own one wins.
  for s in "${sets[@]}"; do
    k="${s%%=*}"
    [[ "$k" == *:* ]] || set_key "$rdir/config.ini" "$k" "${s#*=}"
  done
  for s in "${sets[@]}"; do
    k="${s%%=*}"
    [[ "$k" == "$nick:"* ]] && set_key "$rdir/config.ini" "${k#*:}" "${s#*=}"
  done
  robot_dirs+=("$rdir")
done

# --- Running ---

pids=() states=() statuses=() offsets=() tails=()
# states: running, done, unreachable (never connected)
cleanup() {
  trap - EXIT INT TERM
  for pid in "${pids[@]}"; do
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && kill -TERM "$pid" 2>/dev/null || true
  done
  for _ in $(seq 1 20); do
    alive=0
    for pid in "${pids[@]}"; do [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && alive=1; done
    [ "$alive" -eq 0 ] && break
    sleep 0.1
  done
  for pid in "${pids[@]}"; do
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null || true
  done
  for pid in "${tails[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
}
interrupted=0
on_signal() {
  interrupted=1
  echo "team.sh: interrupted, stopping the $colour team" >&2
  cleanup
}
trap cleanup EXIT
trap on_signal INT TERM

start_robot() {
  local i="$1" rdir="${robot_dirs[$1]}"
  touch "$rdir/agent.out" "$rdir/agent.log"
  offsets[$i]=$(stat -c %s "$rdir/agent.log")
  ( cd "$rdir" && exec "$agent" >> agent.out 2>> agent.log ) &
  pids[$i]=$!
  echo "${pids[$i]}" > "$rdir/pid"
  states[$i]=running
}

echo "team.sh: $colour team of ${#nicks[@]} (${nicks[*]}) on $host:$port, files in $dir"
for i in "${!nicks[@]}"; do
  start_robot "$i"
  if [ "$quiet" -eq 0 ]; then
    tail -n +1 -q -F --pid=$$ "${robot_dirs[$i]}/agent.out" "${robot_dirs[$i]}/agent.log" 2>/dev/null |
      sed -u "s/^/[${nicks[$i]}] /" &
    tails+=("$!")
  fi
done

deadline=$((SECONDS + wait_s))
while [ "$interrupted" -eq 0 ]; do
  running=0
  for i in "${!nicks[@]}"; do
    [ "${states[$i]}" = running ] || continue
    if kill -0 "${pids[$i]}" 2>/dev/null; then
      running=1
      continue
    fi
    status=0
    wait "${pids[$i]}" || status=$?
    statuses[$i]=$status
    states[$i]=done
    # Only this run's lines: earlier runs of the robot are in the same log.
    if [ "$status" -eq 255 ] &&
       tail -c +$((offsets[$i] + 1)) "${robot_dirs[$i]}/agent.log" | grep -q "Could not connect to server"; then
      if [ "$SECONDS" -lt "$deadline" ]; then
        sleep 0.5
        start_robot "$i"
        running=1
      else
        states[$i]=unreachable
      fi
    fi
  done
  [ "$running" -eq 1 ] || break
  sleep 0.2
done
# Lets the terminal copies catch up with the last lines.
[ "$quiet" -eq 1 ] || [ "$interrupted" -eq 1 ] || sleep 0.5
cleanup

failed=0 never=()
# One line per robot, named by its folder (<vt_id>-<colour>-<nickname>).
for i in "${!nicks[@]}"; do
  name="$(basename "${robot_dirs[$i]}")"
  case "${states[$i]}" in
    unreachable) never+=("${nicks[$i]}"); failed=1
      echo "$name: never connected" ;;
    done) [ "${statuses[$i]}" -eq 0 ] || failed=1
      echo "$name: exit ${statuses[$i]}" ;;
    *) failed=1
      echo "$name: still running, stopped" ;;
  esac
done
if [ "${#never[@]}" -gt 0 ]; then
  echo "team.sh: never connected within ${wait_s} s: ${never[*]}" >&2
fi
[ "$interrupted" -eq 1 ] && exit 130
exit "$failed"

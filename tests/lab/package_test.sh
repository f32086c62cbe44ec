#!/usr/bin/env bash
# The Debian package of a build: made with cpack, unpacked into a scratch root
# with dpkg -x, and its soccer-team fields both teams against its simserver,
# from a folder outside the checkout.
set -euo pipefail
build="$(cd "${1:?build folder}" && pwd)"
work="$(mktemp -d /tmp/package-test-XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL $*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/deb" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb="$(ls "$work"/deb/*.deb)"
dpkg-deb -f "$deb" Depends | grep -q python3 || fail "python3 is not a declared dependency"
dpkg -x "$deb" "$work/root"
bin="$work/root/usr/bin"
for p in agent agent-b agent-c simserver soccer-play soccer-team soccer-tournament; do
  [ -x "$bin/$p" ] || fail "$p is not installed"
done
"$bin/soccer-team" --help | grep -q "^Usage: soccer-team --server" || fail "soccer-team --help"
echo "ok   package installs; soccer-team --help"

mkdir "$work/field" && cd "$work/field"
"$bin/simserver" --port 0 --fast --length 2 --scenario "$work/root/usr/share/soccer/config/scenario-3v3.ini" \
  > summary.txt 2> server.log &
server=$!
for _ in $(seq 1 100); do
  port="$(sed -n 's/^simserver: listening on [^:]*:\([0-9]*\) .*/\1/p' server.log)"
  [ -n "$port" ] && break
  sleep 0.05
done
[ -n "$port" ] || fail "the installed simserver did not start"
env -u SOCCER_BUILD_DIR "$bin/soccer-team" --server "127.0.0.1:$port" --team yellow --quiet > yellow.out 2>&1 &
yellow=$!
env -u SOCCER_BUILD_DIR "$bin/soccer-team" --server "127.0.0.1:$port" --team blue --quiet > blue.out 2>&1 || fail "blue team: $(cat blue.out)"
wait "$yellow" || fail "yellow team: $(cat yellow.out)"
wait "$server" || fail "the installed simserver ended badly"
[ "$(grep -c 'admitted yes' summary.txt)" -eq 6 ] || fail "not every robot was admitted"
grep -q "files in $work/field/runs/team-yellow-" yellow.out || fail "the team's files are not where it was started"
echo "ok   the installed team plays against the installed simserver"

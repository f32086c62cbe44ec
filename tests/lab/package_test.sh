#!/usr/bin/env bash
# The Debian package of a build: made with cpack, checked by lintian and for
# what Debian asks of a package (copyright, changelog, man pages, names that
# cannot clash), unpacked into a scratch root with dpkg -x; its soccer-team
# fields both teams against its simserver, from a folder outside the
# checkout, and running its commands leaves no byte code behind.
set -euo pipefail
build="$(cd "${1:?build folder}" && pwd)"
work="$(mktemp -d /tmp/package-test-XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL $*"; exit 1; }

(cd "$build" && cmake --build . --target deb-files && cpack -G DEB -B "$work/deb") > "$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb="$(ls "$work"/deb/*.deb)"
field() { dpkg-deb -f "$deb" "$1"; }
field Depends | grep -q python3 || fail "python3 is not a declared dependency"
field Recommends | grep -qw parallel || fail "GNU parallel is not recommended"
field Maintainer | grep -q localhost && fail "the maintainer is at localhost"
[ "$(field Description | wc -l)" -ge 3 ] || fail "no long description"
version="$(field Version)"
upstream="${version%-*}"

lintian --fail-on error,warning "$deb" > "$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian"; }
echo "ok   lintian: no error or warning that is not overridden"

dpkg -x "$deb" "$work/root"
root="$work/root"
doc="$root/usr/share/doc/soccer-lab"
head -1 "$doc/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not machine-readable"
# gzip -9n: no file name and no time stamp in the header.
plain_gzip() { [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 1f8b080000000000 ] && gzip -t "$1"; }
plain_gzip "$doc/changelog.Debian.gz" || fail "changelog.Debian.gz is not compressed with gzip -9n"
zcat "$doc/changelog.Debian.gz" | head -1 | grep -qF "soccer-lab ($version)" || fail "the changelog is not of version $version"
for p in agent agent-b agent-c simserver; do
  [ -x "$root/usr/lib/soccer-lab/$p" ] || fail "$p is not installed in /usr/lib/soccer-lab"
done
commands=()
for path in "$root"/usr/bin/*; do
  name="$(basename "$path")"
  case "$name" in soccer-*) ;; *) fail "/usr/bin/$name is not under the soccer- prefix" ;; esac
  [ -x "$path" ] || fail "/usr/bin/$name does not lead to a program"
  page="$root/usr/share/man/man1/$name.1.gz"
  plain_gzip "$page" || fail "no man page $name.1.gz compressed with gzip -9n"
  zcat "$page" | grep -q "^\.SH DESCRIPTION" || fail "the man page of $name has no description"
  [ "$("$path" --version)" = "$name $upstream" ] || fail "$name --version is not '$name $upstream'"
  commands+=("$name")
done
[ ${#commands[@]} -ge 5 ] || fail "only ${#commands[@]} commands in /usr/bin"
echo "ok   copyright, changelog, and a man page and a version per command: ${commands[*]}"

bin="$root/usr/bin"
for path in "$bin"/soccer-*; do
  [ -L "$path" ] && continue   # a program's link: its help names no folder
  c="$(basename "$path")"
  # Installed help names installed folders, not a checkout's build/, config/ or scripts/.
  "$path" --help > "$work/help.txt" || fail "$c --help"
  if grep -nE '(^|[^[:alnum:]_./-])(build|config|scripts)/' "$work/help.txt"; then
    fail "$c --help speaks of a checkout's folders"
  fi
done
"$bin/soccer-team" --help | grep -q "^Usage: soccer-team --server" || fail "soccer-team --help"
mkdir "$work/nopath"
if PATH="$work/nopath" "$bin/soccer-tournament" --programs agent,agent-b --seeds 1 --out "$work/t" \
     > "$work/noparallel.out" 2>&1; then
  fail "a tournament without GNU parallel started"
fi
grep -q "GNU parallel is missing (sudo apt install parallel)" "$work/noparallel.out" ||
  fail "the missing-parallel message: $(cat "$work/noparallel.out")"
echo "ok   installed help and messages name installed folders and commands"

mkdir "$work/field" && cd "$work/field"
"$bin/soccer-simserver" --port 0 --fast --length 2 --scenario "$root/usr/share/soccer-lab/config/scenario-3v3.ini" \
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

# Every command above ran with write access to the unpacked tree, as root has to /usr.
left="$(find "$root" -name __pycache__ -o -name '*.pyc')"
[ -z "$left" ] || fail "byte code written under the installed tree: $left"
echo "ok   no byte code written by the installed commands"

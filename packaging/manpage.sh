#!/usr/bin/env bash
# One man page, made by help2man from a staged command's --help and
# --version: manpage.sh HELP2MAN STAGE_PREFIX COMMAND OUT.1.gz CHANGELOG
# The staged prefix in the text becomes /usr, the installed one.
set -euo pipefail
help2man="$1" stage="$2" command="$3" out="$4" changelog="$5"
if [ -z "$help2man" ] || [ "$help2man" = HELP2MAN-NOTFOUND ]; then
  echo "manpage.sh: help2man is missing (./scripts/bootstrap.sh all installs it)" >&2
  exit 1
fi
case "$command" in
  soccer-agent) name="control program of one soccer robot" ;;
  soccer-simserver) name="simulated Soccer Server for whole matches on one machine" ;;
  soccer-play) name="play one match of agents on the simulated server" ;;
  soccer-team) name="field a team of agents against a Soccer Server" ;;
  soccer-tournament) name="tell which agent build or setting plays better" ;;
  soccer-tune) name="tune agent settings and verify the result" ;;
  *) echo "manpage.sh: no description for $command" >&2; exit 1 ;;
esac
# The changelog's date, not today's, keeps the pages (and so the package) the
# same build to build.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH="$(date -d "$(sed -n 's/^ -- .*>  //p' "$changelog" | head -1)" +%s)"
  export SOURCE_DATE_EPOCH
fi
# What --help does not say (a description, files, see also) comes from man/*.h2m.
man="$(dirname "$0")/man"
includes=(--include="$man/common.h2m")
[ ! -f "$man/$command.h2m" ] || includes+=(--include="$man/$command.h2m")
mkdir -p "$(dirname "$out")"
env -u SOCCER_BUILD_DIR -u LAB_PROG PYTHONDONTWRITEBYTECODE=1 \
  "$help2man" --no-info --section=1 --name="$name" "${includes[@]}" --output="$out.tmp" "$stage/bin/$command"
sed -i "s|$stage|/usr|g" "$out.tmp"
gzip -9n < "$out.tmp" > "$out"
rm -f "$out.tmp"

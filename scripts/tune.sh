#!/usr/bin/env bash
# Tunes agent settings with SPSA (see --help): the lab's tune, run by
# Debian's Python, which has the statistics library. Installs and builds what
# is missing unless SOCCER_BUILD_DIR is given.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
help=0
for a in "$@"; do case "$a" in --help|-h) help=1 ;; esac; done
if [ "$help" -eq 0 ]; then
  if [ -z "${SOCCER_BUILD_DIR:-}" ]; then
    "$root/scripts/bootstrap.sh" tournament
    export SOCCER_BUILD_DIR="$root/build"
  elif ! /usr/bin/python3 -c 'import scipy' 2>/dev/null; then
    "$root/scripts/bootstrap.sh" tournament
  fi
fi
LAB_PROG=tune.sh exec /usr/bin/python3 -B "$root/scripts/lab" tune "$@"

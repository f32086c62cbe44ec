#!/usr/bin/env bash
# Runs one match on the simulated server (see --help): the lab's play, which
# installs and builds what is missing unless SOCCER_BUILD_DIR is given.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
command -v python3 >/dev/null 2>&1 || "$root/scripts/bootstrap.sh" play
LAB_PROG=play.sh exec python3 "$root/scripts/lab" play "$@"

#!/usr/bin/env bash
# Fields one team against a Soccer Server, the simulated one or a league's
# real one (see --help): the lab's team.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
command -v python3 >/dev/null 2>&1 || "$root/scripts/bootstrap.sh" play
LAB_PROG=team.sh exec python3 "$root/scripts/lab" team "$@"

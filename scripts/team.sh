#!/usr/bin/env bash
# Fields one team against a Soccer Server, the simulated one or a league's
# real one (see --help): the lab's team.
set -euo pipefail
here="${BASH_SOURCE[0]%/*}"
[ "$here" != "${BASH_SOURCE[0]}" ] || here=.
# Debian's interpreter first: starting it costs one program start, a version
# manager's shim on PATH a dozen.
python=/usr/bin/python3
if [ ! -x "$python" ]; then
  python="$(command -v python3)" || { "$here/bootstrap.sh" play && python=/usr/bin/python3; }
fi
LAB_PROG=team.sh exec "$python" "$here/lab" team "$@"

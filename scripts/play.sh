#!/usr/bin/env bash
# Runs one match on the simulated server (see --help): the lab's play, which
# installs and builds what is missing unless SOCCER_BUILD_DIR is given.
set -euo pipefail
here="${BASH_SOURCE[0]%/*}"
[ "$here" != "${BASH_SOURCE[0]}" ] || here=.
# Debian's interpreter first: starting it costs one program start, a version
# manager's shim on PATH a dozen.
python=/usr/bin/python3
if [ ! -x "$python" ]; then
  python="$(command -v python3)" || { "$here/bootstrap.sh" play && python=/usr/bin/python3; }
fi
LAB_PROG=play.sh exec "$python" "$here/lab" play "$@"

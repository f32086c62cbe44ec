"""lab tune: SPSA over an agent's number settings, verified by a sequential test."""
import sys


def main(argv: list) -> int:
    # Imported here so that a match on a remote host loads only what it runs.
    try:
        from .cli import main as run
    except ImportError as e:
        if e.name not in ("numpy", "scipy"):
            raise
        print(f"lab tune: the statistics need SciPy, which {sys.executable} lacks "
              "(Debian's python3-scipy: run scripts/tune.sh, or /usr/bin/python3 -m lab)", file=sys.stderr)
        return 1
    return run(argv)

"""The tournament: pinned contenders played in colour-swapped pairs, judged on
pair scores (a fixed number of seeds, or a sequential test)."""
import sys


def main(argv: list) -> int:
    # Imported here so that a match on a remote host loads only what it runs.
    try:
        from .cli import main as run
    except ImportError as e:
        if e.name not in ("numpy", "scipy"):
            raise
        from ..layout import find_layout
        from ..wording import install_hint
        layout = find_layout()
        hint = ("run scripts/tournament.sh, or /usr/bin/python3 -m lab" if layout.checkout
                else install_hint(layout, "tournament", ["python3-scipy"]))
        print(f"lab tournament: the statistics need SciPy, which {sys.executable} lacks "
              f"(Debian's python3-scipy: {hint})", file=sys.stderr)
        return 1
    return run(argv)


def sequential_test(*args, **kwargs):
    """A sequential test of a candidate against a baseline, for other commands
    (tuning's verification): see lab.tournament.cli.sequential_test."""
    from .cli import sequential_test as run
    return run(*args, **kwargs)

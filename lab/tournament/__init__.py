"""The tournament: pinned contenders played in colour-swapped pairs, judged on
pair scores (a fixed number of seeds, or a sequential test)."""


def main(argv: list) -> int:
    # Imported here so that a match on a remote host loads only what it runs.
    from .cli import main as run
    return run(argv)

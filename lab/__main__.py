"""lab SUBCOMMAND [options]: play, team, tournament or tune; each subcommand parses
its own options (see `lab SUBCOMMAND --help`)."""
import contextlib
import importlib
import io
import os
import sys

from .version import VERSION

SUBCOMMANDS = {
    "play": "lab.play",
    "team": "lab.team",
    "tournament": "lab.tournament",
    "tune": "lab.tune",
}

USAGE = "usage: lab {play,team,tournament,tune} [options]   (lab SUBCOMMAND --help for each)"


def main(argv: list[str]) -> int:
    if not argv or argv[0] in ("-h", "--help"):
        print(USAGE)
        return 0 if argv else 1
    name = argv[0]
    if name not in SUBCOMMANDS:
        print(f"lab: unknown subcommand {name} ({', '.join(SUBCOMMANDS)})", file=sys.stderr)
        return 1
    if argv[1:] == ["--version"]:
        print(f"{os.environ.get('LAB_PROG', 'lab ' + name)} {VERSION}")
        return 0
    # Imported on demand so play and team never load the tournament's statistics.
    module = importlib.import_module(SUBCOMMANDS[name])
    try:
        if any(a in ("-h", "--help") for a in argv[1:]):
            return help_for_layout(module, argv[1:])
        return module.main(argv[1:])
    except KeyboardInterrupt:
        # Ctrl-C before the subcommand took over its signals: nothing was started yet.
        return 130


def help_for_layout(module, args: list) -> int:
    """Runs a subcommand asked for its help. The help texts are written for a
    checkout; an installed lab shows them with its own folders and commands."""
    from .layout import find_layout
    from .wording import for_layout
    layout = find_layout()
    if layout.checkout:
        return module.main(args)
    text = io.StringIO()
    try:
        with contextlib.redirect_stdout(text):
            return module.main(args)
    finally:
        sys.stdout.write(for_layout(text.getvalue(), layout))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

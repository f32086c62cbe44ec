"""lab SUBCOMMAND [options]: play, team, tournament or tune; each subcommand parses
its own options (see `lab SUBCOMMAND --help`)."""
import importlib
import sys

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
    # Imported on demand so play and team never load the tournament's statistics.
    module = importlib.import_module(SUBCOMMANDS[name])
    try:
        return module.main(argv[1:])
    except KeyboardInterrupt:
        # Ctrl-C before the subcommand took over its signals: nothing was started yet.
        return 130


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

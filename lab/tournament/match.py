"""One match of a tournament as GNU parallel runs it, here or on another host:
  python3 -B -m lab.tournament.match FOLDER SEED YELLOW BLUE
in the tournament folder (or its copy on a remote host), whose plan names
the contenders by number. The pinned programs are checked against their
hashes first; then `lab play` runs in-process into FOLDER, its output kept in
FOLDER/play.log. Only safe tokens pass through parallel's command line, so
folder paths with spaces or shell characters never meet a shell."""
import os
import shutil
import sys

from .. import play
from .contenders import verify
from .folder import FOLDER_RE, check_scenario, read_plan
from ..errors import Refused

# Exit statuses parallel's job log carries back to the tournament.
BAD_ARGUMENTS = 2
PROGRAM_MISSING = 75   # not copied (yet) to this host: play the match again
NOT_PINNED = 76        # a program differs from the pinned build: stop the tournament


def play_argv(plan, seed: int, yellow: int, blue: int, folder: str) -> list:
    argv = ["--fast", "--seed", str(seed), "--length", plan.length, "--simserver", plan.simserver.program]
    if plan.scenario_file is not None:
        argv += ["--scenario", plan.scenario_file.path]
    elif plan.scenario == "5v5":
        argv.append("--5v5")
    for colour, index in (("yellow", yellow), ("blue", blue)):
        c = plan.contenders[index]
        argv += [f"--{colour}", c.program]
        for key, value in c.settings:
            argv += [f"--{colour}-set", f"{key}={value}"]
    return argv + ["--dir", folder]


def refuse_unpinned(who: str, why: str, path: str) -> int:
    """Says on standard error why a pinned file at `path` will not do on this
    host; the status for parallel's job log (missing: play again elsewhere)."""
    print(f"{who}: on {os.uname().nodename}: {why}", file=sys.stderr)
    return PROGRAM_MISSING if not os.path.exists(path) else NOT_PINNED


def play_logged(who: str, folder: str, argv: list) -> int:
    """Plays `lab play ARGV` in-process into FOLDER, afresh, its output kept
    in FOLDER/play.log (or on standard error when FOLDER never came); play's status."""
    # Play's messages in play.log name play, not the run that started it.
    os.environ.pop("LAB_PROG", None)
    # A folder left by an unfinished try (here, or on a remote host) is played again from scratch.
    shutil.rmtree(folder, ignore_errors=True)
    log = f".{folder}.log"
    saved = os.dup(1), os.dup(2)
    with open(log, "w") as f:
        sys.stdout.flush()
        sys.stderr.flush()
        os.dup2(f.fileno(), 1)
        os.dup2(f.fileno(), 2)
        try:
            # The pinned copy was checked by the server when the run began.
            status = play.main(argv, scenario_checked=True)
        finally:
            sys.stdout.flush()
            sys.stderr.flush()
            os.dup2(saved[0], 1)
            os.dup2(saved[1], 2)
    if os.path.isdir(folder):
        os.replace(log, os.path.join(folder, "play.log"))
    else:
        with open(log) as f:
            sys.stderr.write(f"{who}: {folder} did not start:\n" + f.read())
        os.remove(log)
    return status


def main(argv: list) -> int:
    if len(argv) != 4 or not FOLDER_RE.fullmatch(argv[0]) or not all(a.isdigit() for a in argv[1:]):
        print("tournament match: needs FOLDER SEED YELLOW BLUE", file=sys.stderr)
        return BAD_ARGUMENTS
    folder, seed, yellow, blue = argv[0], int(argv[1]), int(argv[2]), int(argv[3])
    try:
        plan = read_plan(".")
    except Refused as e:
        print(f"tournament match: {e}", file=sys.stderr)
        return BAD_ARGUMENTS
    if yellow >= len(plan.contenders) or blue >= len(plan.contenders) or folder != plan.folder(seed, yellow, blue):
        print(f"tournament match: {folder} is not a match of this tournament", file=sys.stderr)
        return BAD_ARGUMENTS
    for pinned in (plan.simserver, plan.contenders[yellow], plan.contenders[blue]):
        why = verify(".", pinned.program, pinned.sha256)
        if why:
            return refuse_unpinned("tournament match", why, pinned.program)
    if plan.scenario_file is not None:
        why = check_scenario(".", plan.scenario_file)
        if why:
            return refuse_unpinned("tournament match", why, plan.scenario_file.path)
    return play_logged("tournament match", folder, play_argv(plan, seed, yellow, blue, folder))

if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

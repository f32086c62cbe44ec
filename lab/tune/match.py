"""One match of a tuning run as GNU parallel runs it, here or on another host:
  python3 -B -m lab.tune.match FOLDER SEED YELLOW BLUE
in the run folder (or its copy on a remote host). YELLOW and BLUE are the
teams' settings, KEY=VALUE[,KEY=VALUE...] with GO:KEY for the goalkeeper,
given to play as --yellow-set and --blue-set; '-' for none. The pinned
programs are checked first, then the match is played in-process into
FOLDER, its output kept in FOLDER/play.log."""
import re
import sys

from ..errors import Refused
from ..settings_schema import check_setting
from ..tournament.contenders import verify
from ..tournament.match import BAD_ARGUMENTS, play_logged, refuse_unpinned
from .folder import MATCH_RE, read_state, scenario_fault
from .params import split_key

TOKEN_RE = re.compile(r"(?:GO:)?[A-Z_][A-Z0-9_]*=[-+0-9.eE]{1,24}")


def parse_team(text: str) -> list:
    """[KEY=VALUE] of a team's argument (GO:KEY=VALUE for the goalkeeper), each checked."""
    if text == "-":
        return []
    out = []
    for token in text.split(","):
        if not TOKEN_RE.fullmatch(token):
            raise Refused(f"'{token}' is not KEY=NUMBER")
        name, _, value = token.partition("=")
        out.append(f"{name}={check_setting(split_key(name)[1], value)}")
    return out


def main(argv: list) -> int:
    if len(argv) != 4 or not MATCH_RE.fullmatch(argv[0]) or not argv[1].isdigit():
        print("tune match: needs FOLDER SEED YELLOW BLUE", file=sys.stderr)
        return BAD_ARGUMENTS
    folder, seed = argv[0], argv[1]
    try:
        state = read_state(".")
        sets = {"yellow": parse_team(argv[2]), "blue": parse_team(argv[3])}
    except Refused as e:
        print(f"tune match: {e}", file=sys.stderr)
        return BAD_ARGUMENTS
    for program, sha in ((state["simserver"], state["simserver_sha256"]), (state["program"], state["program_sha256"])):
        why = verify(".", program, sha)
        if why:
            return refuse_unpinned("tune match", why, program)
    why = scenario_fault(".", state)
    if why:
        return refuse_unpinned("tune match", why, state["scenario_file"])
    argv = ["--fast", "--seed", seed, "--length", state["length"], "--simserver", state["simserver"],
            "--yellow", state["program"], "--blue", state["program"], "--dir", folder]
    if "scenario_file" in state:
        argv += ["--scenario", state["scenario_file"]]
    for colour in ("yellow", "blue"):
        for setting in sets[colour]:
            argv += [f"--{colour}-set", setting]
    return play_logged("tune match", folder, argv)

if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

"""The options of lab tune, checked before anything is created; any fault is
one line (Refused)."""
import os
import re

from ..cli import Parser
from ..errors import Refused
from ..tournament.options import check_length, whole
from .params import parse_params

# The field family draws each match's field from its seed; the plain 3v3 field otherwise.
FAMILY_SCENARIO = "scenario-3v3-family.ini"
PLAIN_SCENARIO = "scenario-3v3.ini"
DEFAULT_ITERATIONS = 200
MAX_ITERATIONS = 100000
DEFAULT_LENGTH = "60"
MAX_VERIFY_SEEDS = 1000
# Below the tournament's largest offset, with room for the verification's seeds past the run's.
MAX_SEED_OFFSET = 10 ** 11

USAGE = """\
Usage: {prog} --param KEY=START,MIN,MAX[,C_END[,R_END]] [--param ...] [options]
Tunes number settings of an agent with SPSA: each iteration plays a colour-swapped
pair of the settings perturbed up (θ+) against down (θ−) on a fresh seed and moves
them towards the side that scored. At the end tuned.ini and tune.html in the run
folder, then a sequential test of the tuned settings against the starting ones.
  --param PARAM        a setting to tune (repeatable): KEY a number setting of
                       config.ini or velocidade.ini for every robot, or GO:KEY for
                       the goalkeeper alone; C_END (default (MAX-MIN)/20) and R_END
                       (default 0.2) the perturbation and the learning rate at the
                       last iteration, as the chess testing frameworks write them
  --iterations N       pairs to play (default 200)
  --program PROGRAM    agent, agent-b, agent-c or an agent's path (default agent)
  --scenario FILE      the field, a scenario file pinned in the run folder and
                       played by the verification too (default the field family
                       config/scenario-3v3-family.ini, else config/scenario-3v3.ini)
  --length SECONDS     play time of each match (default 60)
  --jobs N             matches at once (default: the number of cores)
  --hosts FILE         spread the matches over the machines of FILE (GNU
                       parallel's ssh login file), as the tournament does
  --out DIR            the run folder (default runs/tune-<date-time>/)
  --resume DIR         go on with the run in DIR on the same path (with --jobs,
                       --hosts, --no-verify, --verify-max-seeds only)
  --seed-offset N      the pairs play seeds N+1, N+2, ... (default: drawn)
  --verify-max-seeds N most seeds of the verification (default: the tournament's)
  --no-verify          no sequential test at the end
  --help               this text
Environment: SOCCER_BUILD_DIR=DIR takes the programs from DIR.
"""


def parser(prog: str) -> Parser:
    p = Parser(prog)
    p.repeated("--param")
    for name in ("--iterations", "--program", "--scenario", "--length", "--jobs", "--hosts", "--out", "--resume",
                 "--seed-offset", "--verify-max-seeds"):
        p.value(name, default=None)
    p.flag("--no-verify")
    return p


def parse(argv: list, prog: str):
    o = parser(prog).parse_args(argv)
    o.hosts = o.hosts or ""
    if o.resume:
        given = [n for n in ("param", "iterations", "program", "scenario", "length", "out", "seed_offset")
                 if getattr(o, n)]
        if given:
            raise Refused(f"--resume goes on with the run's own settings; "
                          f"--{given[0].replace('_', '-')} cannot go with it")
        return o
    o.params = parse_params(o.param)
    o.program = o.program or "agent"
    o.iterations = whole(o.iterations, "--iterations", 1, MAX_ITERATIONS) if o.iterations is not None \
        else DEFAULT_ITERATIONS
    o.length = check_length(o.length) if o.length is not None else DEFAULT_LENGTH
    if o.seed_offset is not None:
        if not re.fullmatch(r"[0-9]{1,12}", o.seed_offset) or int(o.seed_offset) > MAX_SEED_OFFSET:
            raise Refused(f"--seed-offset needs a whole number from 0 to {MAX_SEED_OFFSET} "
                          f"(got '{o.seed_offset}')")
        o.seed_offset = int(o.seed_offset)
    if o.scenario is not None and not os.path.isfile(o.scenario):
        raise Refused(f"--scenario {o.scenario} is not a file")
    return o


def check_common(o) -> None:
    """The options a resumed run takes too."""
    if o.verify_max_seeds is not None:
        o.verify_max_seeds = whole(o.verify_max_seeds, "--verify-max-seeds", 1, MAX_VERIFY_SEEDS)
    o.jobs = whole(o.jobs, "--jobs", 1, 256) if o.jobs is not None else (os.cpu_count() or 2)


def default_scenario(config_dir: str) -> str:
    family = os.path.join(config_dir, FAMILY_SCENARIO)
    return family if os.path.isfile(family) else os.path.join(config_dir, PLAIN_SCENARIO)

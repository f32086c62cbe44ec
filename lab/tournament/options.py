"""The options of lab tournament, checked before anything is created."""
import argparse
import math
import re
from dataclasses import dataclass
from typing import Optional

from ..cli import Parser
from ..errors import Refused
from .rounds import read_hosts, unreachable
from .sprtplan import DEFAULT_ERROR, SprtSpec

USAGE = """\
Usage: {prog} --programs A,B[,C...] [options]
  --programs LIST    the contenders, comma separated: PROGRAM, PROGRAM:KEY=VALUE[:KEY=VALUE...]
                     or PROGRAM@FILE (a settings file of KEY=VALUE lines, as tune
                     writes), with PROGRAM agent, agent-b, agent-c, statue or the path
                     of an agent executable; keys of config.ini or velocidade.ini, each
                     checked, written into every robot's configuration
  --baseline C       the contender every other one (a candidate) plays against
                     (default: the first); each verdict is about the candidate
  --seeds N          each candidate plays N seeds, each twice with the colours
                     swapped (default 10); with --resume, extends to N seeds
  --sprt [[nelo:]ELO0,ELO1]
                     a sequential test of one candidate (default 0,50): rounds of
                     --jobs seeds until H0 (ELO0) or H1 (ELO1) is accepted or
                     --max-seeds is reached; logistic Elo, or with nelo: normalized
                     Elo (the difference over the spread of pair scores)
  --alpha A, --beta B  the test's error rates (default 0.05 each)
  --max-seeds N      most seeds of an --sprt run (default {max_seeds})
  --seed-offset N    seeds N+1, N+2, ... (default: drawn at random and recorded,
                     so repeated tests do not meet the same seeds)
  --5v5              5 against 5 instead of 3 against 3
  --scenario FILE    the field of a scenario file (such as a field family,
                     config/scenario-3v3-family.ini), copied into the tournament
                     folder and pinned; both matches of a pair share its draw
  --length SECONDS   play time of each match (default 60)
  --out DIR          the tournament folder (default runs/tournament-<date-time>/)
  --jobs N           matches at once (default: the number of cores)
  --hosts FILE       spread the matches over the machines of FILE (GNU parallel's
                     ssh login file: one [user@]host per line, ':' for this one);
                     each gets the pinned programs; it needs ssh, rsync, python3
  --resume DIR       finish (or, with --seeds / --max-seeds, extend) the tournament
                     in DIR with the programs pinned there
  --help             this text
Environment: SOCCER_BUILD_DIR=DIR takes the programs from DIR.
"""

MAX_LENGTH = 86400
MAX_JOBS = 256
MAX_ELO = 1000
DEFAULT_SPRT = "0,50"
DEFAULT_SEEDS = 10
DEFAULT_MAX_SEEDS = 600
# --sprt's value is optional; a next word that reads as an option is not it.
_OPTION_WORD = re.compile(r"--?[A-Za-z]")


@dataclass
class Options:
    programs: str = ""
    baseline: Optional[str] = None
    seeds: Optional[str] = None
    sprt: Optional[str] = None
    alpha: Optional[str] = None
    beta: Optional[str] = None
    max_seeds: Optional[str] = None
    seed_offset: Optional[str] = None
    five: bool = False
    scenario: Optional[str] = None
    length: Optional[str] = None
    out: str = ""
    jobs: str = ""
    hosts: str = ""
    resume: str = ""


class _Given(argparse.Action):
    """An option given once whose value is a list (--programs a b) or optional (--sprt)."""

    def __call__(self, parser, namespace, values, option_string=None):
        given = getattr(namespace, "_list_given", set())
        if self.dest in given:
            raise Refused(f"{option_string} is given twice; give it once")
        namespace._list_given = given | {self.dest}
        setattr(namespace, self.dest, ",".join(values) if isinstance(values, list) else values)


def _parser(prog: str) -> Parser:
    p = Parser(prog)
    for name in ("--baseline", "--seeds", "--alpha", "--beta", "--max-seeds", "--seed-offset", "--length",
                 "--scenario", "--out", "--jobs", "--hosts", "--resume"):
        p.value(name, default=None)
    p.flag("--5v5", dest="five")
    # "--programs agent agent-b": the list without commas, taken as meant.
    p.add_argument("--programs", action=_Given, nargs="+")
    p.add_argument("--sprt", action=_Given, nargs="?", const=DEFAULT_SPRT)
    return p


def parse_options(argv: list, prog: str = "tournament") -> Options:
    # A negative bound ("--sprt -10,20") would read as an option to argparse.
    joined, i = [], 0
    while i < len(argv):
        if argv[i] == "--sprt" and i + 1 < len(argv) and not _OPTION_WORD.match(argv[i + 1]):
            joined.append("--sprt=" + argv[i + 1])
            i += 2
        else:
            joined.append(argv[i])
            i += 1
    ns = _parser(prog).parse(joined)
    o = Options()
    for name in vars(o):
        value = getattr(ns, name, None)
        if value is not None:
            setattr(o, name, value)
    return o


def whole(text: str, option: str, low: int, high: int) -> int:
    if not re.fullmatch(r"[0-9]{1,13}", text) or not low <= int(text) <= high:
        raise Refused(f"{option} needs a whole number from {low} to {high} (got '{text}')")
    return int(text)


def error_rate(text: Optional[str], option: str) -> float:
    if text is None:
        return DEFAULT_ERROR
    try:
        value = float(text)
    except ValueError:
        value = math.nan
    if not 0.001 <= value <= 0.2:
        raise Refused(f"{option} needs an error rate from 0.001 to 0.2 (got '{text}')")
    return value


def parse_sprt(text: str, alpha: float = DEFAULT_ERROR, beta: float = DEFAULT_ERROR) -> SprtSpec:
    normalized = text.startswith("nelo:")
    body = text[len("nelo:"):] if normalized else text
    parts = body.split(",")
    try:
        if len(parts) != 2:
            raise ValueError
        elo0, elo1 = float(parts[0]), float(parts[1])
    except ValueError:
        raise Refused(f"--sprt needs ELO0,ELO1 or nelo:ELO0,ELO1, two numbers (got '{text}')") from None
    if not all(math.isfinite(e) and abs(e) <= MAX_ELO for e in (elo0, elo1)):
        raise Refused(f"--sprt needs Elo values from -{MAX_ELO} to {MAX_ELO} (got '{text}')")
    if elo0 >= elo1:
        raise Refused(f"--sprt ELO0,ELO1 needs ELO0 below ELO1 (got '{text}')")
    return SprtSpec(elo0, elo1, normalized, alpha, beta)


def check_length(text: str) -> str:
    if not re.fullmatch(r"[0-9]+(\.[0-9]+)?", text) or not 0 < float(text) <= MAX_LENGTH:
        raise Refused(f"--length needs seconds greater than 0 and at most {MAX_LENGTH} (got '{text}')")
    return text


def check_hosts(path: str) -> list:
    if not path:
        return []
    logins = read_hosts(path)
    bad = unreachable(logins)
    if bad:
        raise Refused(f"--hosts: {bad[0]} cannot be reached (ssh, then python3 3.9 or later and rsync there)")
    return logins

"""The options of lab tournament, checked before anything is created."""
import math
import re
from dataclasses import dataclass
from typing import Optional

from ..errors import Refused
from ..cli import next_value, stray_argument
from .rounds import read_hosts, unreachable

USAGE = """\
Usage: {prog} --programs A,B[,C...] [options]
  --programs LIST    the contenders, comma separated: PROGRAM[:KEY=VALUE[:KEY=VALUE...]]
                     with PROGRAM agent, agent-b, agent-c or the path of an agent
                     executable, and settings (keys of config.ini) written into
                     every robot's configuration; every pair meets
  --seeds N          each pairing plays seeds 1..N, each twice with the colours
                     swapped (default 10); with --resume, extends to N seeds
  --sprt [ELO0,ELO1] a sequential test for two contenders (default 0,50): rounds of
                     --jobs seeds until H0 (ELO0) or H1 (ELO1) is accepted
                     (alpha = beta = 0.05) or --max-seeds is reached
  --max-seeds N      most seeds of an --sprt run (default 200)
  --5v5              5 against 5 instead of 3 against 3
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
DEFAULT_MAX_SEEDS = 200
@dataclass
class Options:
    programs: str = ""
    seeds: Optional[str] = None
    sprt: Optional[str] = None
    max_seeds: Optional[str] = None
    five: bool = False
    length: Optional[str] = None
    out: str = ""
    jobs: str = ""
    hosts: str = ""
    resume: str = ""


class HelpAsked(Exception):
    pass


def parse_options(argv: list) -> Options:
    o = Options()
    i = 0
    valued = {"--programs": "programs", "--seeds": "seeds", "--max-seeds": "max_seeds", "--length": "length",
              "--out": "out", "--jobs": "jobs", "--hosts": "hosts", "--resume": "resume"}
    while i < len(argv):
        a = argv[i]
        if a in valued:
            setattr(o, valued[a], next_value(argv, i))
            i += 2
            if a == "--programs":
                # "--programs agent agent-b": the list without commas, taken as meant.
                while i < len(argv) and not argv[i].startswith("-"):
                    o.programs += "," + argv[i]
                    i += 1
            continue
        if a == "--sprt":
            # The value is optional: a next word that is no option is taken as it.
            if i + 1 < len(argv) and not re.match(r"--?[A-Za-z]", argv[i + 1]):
                o.sprt = argv[i + 1]
                i += 2
            else:
                o.sprt = DEFAULT_SPRT
                i += 1
            continue
        if a == "--5v5":
            o.five = True
        elif a in ("--help", "-h"):
            raise HelpAsked()
        else:
            raise stray_argument(argv, i)
        i += 1
    return o


def whole(text: str, option: str, low: int, high: int) -> int:
    if not re.fullmatch(r"[0-9]{1,6}", text) or not low <= int(text) <= high:
        raise Refused(f"{option} needs a whole number from {low} to {high} (got '{text}')")
    return int(text)


def parse_sprt(text: str) -> list:
    parts = text.split(",")
    try:
        if len(parts) != 2:
            raise ValueError
        elo0, elo1 = float(parts[0]), float(parts[1])
    except ValueError:
        raise Refused(f"--sprt needs ELO0,ELO1, two numbers (got '{text}')") from None
    if not all(math.isfinite(e) and abs(e) <= MAX_ELO for e in (elo0, elo1)):
        raise Refused(f"--sprt needs Elo values from -{MAX_ELO} to {MAX_ELO} (got '{text}')")
    if elo0 >= elo1:
        raise Refused(f"--sprt ELO0,ELO1 needs ELO0 below ELO1 (got '{text}')")
    return [elo0, elo1]


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



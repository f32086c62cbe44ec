"""The tournament folder: its plan (tournament.json), its lock, the kit every
match runs from (pinned programs, a copy of the lab and its config files),
and the names of its match folders."""
import fcntl
import os
import re
import secrets
import shutil
from dataclasses import dataclass, field
from typing import Optional

from .. import runfolder
from ..errors import Refused
from ..layout import PACKAGE_DIR, Layout
from .contenders import SETTING_START, Contender, sha256_of
from .sprtplan import MAX_SEED_OFFSET, SprtSpec

PLAN = "tournament.json"
LOCK = "lock"
# Copied beside the pinned programs so local and remote matches run the same
# lab and read the same settings templates, whatever happens to the checkout.
KIT = ("lab", "config")
# The copy of a --scenario file, pinned by its hash as the programs are.
SCENARIO_COPY = "scenario.ini"
SHA256_RE = re.compile(r"[0-9a-f]{64}")
NAME_RE = re.compile(r"[A-Za-z0-9._-]{1,40}")
FOLDER_RE = re.compile(r"s[0-9]{4,13}-[0-9]+-[A-Za-z0-9._-]*-vs-[0-9]+-[A-Za-z0-9._-]*")
MAX_SEEDS = 1000
SETTING_KEY_RE = re.compile(r"([A-Za-z0-9_.-]{1,32}:)?[A-Za-z_][A-Za-z0-9_]*")


@dataclass
class PinnedScenario:
    """A --scenario file: its copy in the tournament folder and that copy's hash."""
    source: str
    sha256: str
    path: str = SCENARIO_COPY

    def to_json(self) -> dict:
        return {"path": self.path, "source": self.source, "sha256": self.sha256}

    @staticmethod
    def from_json(obj: dict) -> "PinnedScenario":
        pinned = PinnedScenario(str(obj["source"]), str(obj["sha256"]), str(obj["path"]))
        if pinned.path != SCENARIO_COPY or not SHA256_RE.fullmatch(pinned.sha256):
            raise ValueError("the pinned scenario is not the folder's scenario.ini with a SHA-256")
        return pinned


@dataclass
class Plan:
    id: str
    contenders: list           # [Contender]
    simserver: Contender
    scenario: str              # 3v3, 5v5, or the name of a --scenario file
    length: str
    seeds: int                 # fixed-seed run: that many seeds; SPRT: the most it may play
    sprt: Optional[SprtSpec] = None   # for a sequential test
    names: list = field(default_factory=list)   # folder-safe contender names
    seed_offset: int = 0       # the seeds are seed_offset + 1, + 2, ...
    # Contender 0 is the baseline every other one plays (a gauntlet); plans of
    # format 2 played every pairing (a round robin).
    gauntlet: bool = True
    scenario_file: Optional[PinnedScenario] = None

    def to_json(self) -> dict:
        extra = {} if self.scenario_file is None else {"scenario_file": self.scenario_file.to_json()}
        return {**extra, "format": 3 if self.gauntlet else 2, "id": self.id,
                "contenders": [c.to_json() for c in self.contenders],
                "simserver": self.simserver.to_json(), "scenario": self.scenario,
                "length": self.length, "seeds": self.seeds, "seed_offset": self.seed_offset,
                "sprt": None if self.sprt is None else self.sprt.to_json(), "names": self.names}

    @staticmethod
    def from_json(obj: dict) -> "Plan":
        sprt = obj.get("sprt")
        plan = Plan(str(obj["id"]), [Contender.from_json(c) for c in obj["contenders"]],
                    Contender.from_json(obj["simserver"]), str(obj["scenario"]), str(obj["length"]),
                    int(obj["seeds"]), None if sprt is None else SprtSpec.from_json(sprt),
                    [str(n) for n in obj["names"]], int(obj.get("seed_offset", 0)), int(obj.get("format", 2)) >= 3)
        if obj.get("scenario_file") is not None:
            plan.scenario_file = PinnedScenario.from_json(obj["scenario_file"])
            if not plan.scenario.isprintable() or not 0 < len(plan.scenario) <= 200:
                raise ValueError("the scenario's name is malformed")
        elif plan.scenario not in ("3v3", "5v5"):
            raise ValueError("scenario out of range")
        if not 1 <= plan.seeds <= MAX_SEEDS:
            raise ValueError("scenario or seeds out of range")
        if not 0 <= plan.seed_offset <= MAX_SEED_OFFSET:
            raise ValueError("seed offset out of range")
        if len(plan.names) != len(plan.contenders) or len(plan.contenders) < 2:
            raise ValueError("contenders and names do not match")
        # The plan may have been edited by hand: its id names a folder that is
        # removed on every host, and its names make folder names.
        if not re.fullmatch(r"[0-9a-f]{12}", plan.id):
            raise ValueError(f"id '{plan.id}' is not 12 hexadecimal digits")
        if not all(NAME_RE.fullmatch(n) for n in plan.names):
            raise ValueError("a contender name holds characters a folder name may not")
        for c in plan.contenders:
            for key, value in c.settings:
                # KEY, or NICK:KEY for one robot's own (from a settings file).
                if not SETTING_KEY_RE.fullmatch(key) or any(ord(ch) < 32 for ch in value):
                    raise ValueError(f"setting '{key}' of {c.label} is malformed")
        return plan

    def folder(self, seed: int, yellow: int, blue: int) -> str:
        return f"s{seed:04d}-{yellow + 1}-{self.names[yellow]}-vs-{blue + 1}-{self.names[blue]}"

    def pairings(self) -> list:
        """(candidate, baseline) for a gauntlet; every pairing for an older round robin."""
        k = len(self.contenders)
        if self.gauntlet:
            return [(c, 0) for c in range(1, k)]
        return [(a, b) for a in range(k) for b in range(a + 1, k)]

    def seed_list(self, n: int) -> range:
        """The first n seeds of this tournament."""
        return range(self.seed_offset + 1, self.seed_offset + n + 1)

    def matches(self, seeds) -> list:
        """(seed, yellow, blue) of every match of the seeds, each pairing in both colours."""
        return [(s, y, b) for a, b2 in self.pairings() for s in seeds for y, b in ((a, b2), (b2, a))]


def folder_name(label: str) -> str:
    """A contender's name in match folder names: the base names of its program
    and settings file, its settings kept."""
    head, *settings = SETTING_START.split(label, 1)
    program, at, path = head.partition("@")
    text = os.path.basename(program) + ("_" + os.path.basename(path) if at else "")
    text += "".join("_" + s for s in settings)
    return re.sub(r"[^A-Za-z0-9._-]", "_", text).strip("._-")[:40] or "program"


def new_id() -> str:
    return secrets.token_hex(6)


def read_plan(folder: str) -> Plan:
    path = os.path.join(folder, PLAN)
    try:
        plan = runfolder.read_json(folder, PLAN, f"--resume {folder} is not a tournament folder (no {PLAN})")
        return Plan.from_json(plan)
    except (OSError, ValueError, KeyError, TypeError, IndexError) as e:
        raise Refused(f"{path} is not a tournament plan this lab can read ({e})") from None


def write_plan(folder: str, plan: Plan) -> None:
    # Written whole and renamed: --resume takes a folder with the plan as complete.
    runfolder.write_json(os.path.join(folder, PLAN), plan.to_json(), indent=2)


def pin_scenario(folder: str, source: str) -> PinnedScenario:
    """Copies a --scenario file into the tournament folder; the hash is of the copy."""
    dest = os.path.join(folder, SCENARIO_COPY)
    try:
        shutil.copyfile(source, dest)
    except OSError as e:
        raise Refused(f"cannot copy {source} into the tournament folder: {e.strerror}") from None
    return PinnedScenario(source, sha256_of(dest))


def check_scenario(folder: str, pinned: PinnedScenario) -> str:
    """'' when the folder's copy is the pinned scenario, else why not."""
    try:
        got = sha256_of(os.path.join(folder, pinned.path))
    except OSError as e:
        return f"{pinned.path} cannot be read ({e.strerror})"
    if got != pinned.sha256:
        return f"{pinned.path} is not the pinned copy of the scenario (sha256 {got[:12]}, pinned {pinned.sha256[:12]})"
    return ""


def copy_kit(folder: str, layout: Layout) -> None:
    shutil.copytree(PACKAGE_DIR, os.path.join(folder, "lab"),
                    ignore=shutil.ignore_patterns("__pycache__", "*.pyc"))
    shutil.copytree(layout.config, os.path.join(folder, "config"))


class Lock:
    """An exclusive lock on the tournament folder for the life of this run;
    the kernel drops it when the process ends, however it ends."""

    def __init__(self, folder: str):
        self.path = os.path.join(folder, LOCK)
        self.fd = os.open(self.path, os.O_RDWR | os.O_CREAT, 0o644)
        try:
            fcntl.flock(self.fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError:
            os.close(self.fd)
            raise Refused(f"another tournament run is using {folder} (its {LOCK} is held)") from None
        os.ftruncate(self.fd, 0)
        os.write(self.fd, f"{os.getpid()}\n".encode())

    def release(self) -> None:
        os.close(self.fd)


def create(path: Optional[str], layout: Layout) -> str:
    """A new tournament folder: PATH (which must not exist) or runs/tournament-<date-time>."""
    return runfolder.create(path, layout, "tournament", "to finish it")

"""Contenders: a program with optional settings, pinned at the start of a
tournament as a copy whose SHA-256 every match checks, so a rebuild during
the tournament (or between a run and its --resume) cannot change what is
compared."""
import hashlib
import os
import re
import shutil
import subprocess
from dataclasses import dataclass, field

from ..errors import Refused
from ..layout import Layout, agent_program
from ..props import read_properties
from ..settings import parse_setting

PINNED_DIR = "programs"
# A setting starts where ':' is followed by KEY=, so a path may hold ':' too.
_SETTING_START = re.compile(r":(?=[A-Za-z_][A-Za-z0-9_]*=)")


@dataclass
class Contender:
    label: str                 # as the user wrote it
    program: str               # the pinned copy, relative to the tournament folder
    source: str                # where it was copied from
    sha256: str
    describe: str = ""         # git describe --dirty for a build of this checkout
    settings: list = field(default_factory=list)   # [[KEY, VALUE], ...]

    def to_json(self) -> dict:
        return {"label": self.label, "program": self.program, "source": self.source,
                "sha256": self.sha256, "describe": self.describe, "settings": self.settings}

    @staticmethod
    def from_json(obj: dict) -> "Contender":
        c = Contender(str(obj["label"]), str(obj["program"]), str(obj["source"]), str(obj["sha256"]),
                      str(obj.get("describe", "")), [[str(k), str(v)] for k, v in obj.get("settings", [])])
        if not re.fullmatch(PINNED_DIR + r"/[A-Za-z0-9][A-Za-z0-9._-]*", c.program):
            raise ValueError(f"pinned program '{c.program}' is not a file of {PINNED_DIR}/")
        return c


def parse_contender(text: str, known_keys) -> tuple:
    """PROGRAM[:KEY=VALUE[:KEY=VALUE...]] -> (program, [[KEY, VALUE], ...])."""
    program, *settings = _SETTING_START.split(text)
    if not program:
        raise Refused(f"--programs: '{text}' names no program")
    parsed = []
    for s in settings:
        key, value = parse_setting(s, f"--programs {text}:", known_keys)
        # A line break in a value would add lines (other keys) to config.ini.
        if any(ord(ch) < 32 or ord(ch) == 127 for ch in value):
            raise Refused(f"--programs: the value of {key} holds a control character")
        parsed.append([key, value])
    return program, parsed


def parse_programs(text: str, layout: Layout) -> list:
    """The contenders of --programs: (label, program path, settings), checked."""
    items = [p for p in text.split(",")]
    if len(items) < 2 or any(not p for p in items):
        raise Refused("--programs needs at least two programs, comma separated")
    known = set(read_properties(layout.config_file("config.ini")).keys())
    seen = set()
    out = []
    for item in items:
        if item in seen:
            raise Refused(f"--programs names {item} twice")
        seen.add(item)
        program, settings = parse_contender(item, known)
        path = agent_program(program, layout, "--programs")
        if not (os.path.isfile(path) and os.access(path, os.X_OK)):
            raise Refused(f"{path} is missing (build it first)")
        out.append((item, path, settings))
    return out


def sha256_of(path: str) -> str:
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def git_describe(layout: Layout, source: str) -> str:
    """`git describe --always --dirty` when `source` is a build of this checkout."""
    if not layout.checkout:
        return ""
    real = os.path.realpath(source)
    roots = [os.path.realpath(layout.build_dir), os.path.realpath(layout.root)]
    if not any(real.startswith(r + os.sep) for r in roots):
        return ""
    try:
        r = subprocess.run(["git", "-C", layout.root, "describe", "--always", "--dirty"],
                           capture_output=True, text=True, timeout=10)
    except (OSError, subprocess.SubprocessError):
        return ""
    return r.stdout.strip() if r.returncode == 0 else ""


def pin(folder: str, sources: list, layout: Layout) -> list:
    """Copies each distinct source into FOLDER/programs and returns, per source,
    (relative pinned path, sha256, describe). The hash is taken of the copy,
    which is what every match runs."""
    os.makedirs(os.path.join(folder, PINNED_DIR), exist_ok=True)
    done = {}
    used = set()
    out = []
    for src in sources:
        real = os.path.realpath(src)
        if real not in done:
            base = re.sub(r"[^A-Za-z0-9._-]", "_", os.path.basename(src)).lstrip(".-") or "program"
            name, n = base, 2
            while name in used:
                name, n = f"{base}-{n}", n + 1
            used.add(name)
            rel = f"{PINNED_DIR}/{name}"
            dest = os.path.join(folder, rel)
            try:
                shutil.copyfile(src, dest)
            except OSError as e:
                raise Refused(f"cannot copy {src} into the tournament folder: {e.strerror}") from None
            os.chmod(dest, 0o755)
            done[real] = (rel, sha256_of(dest), git_describe(layout, src))
        out.append(done[real])
    return out


def verify(folder: str, program: str, sha256: str) -> str:
    """'' when FOLDER/program is the pinned build, else why not."""
    path = os.path.join(folder, program)
    try:
        got = sha256_of(path)
    except OSError as e:
        return f"{program} cannot be read ({e.strerror})"
    if got != sha256:
        return f"{program} is not the pinned build (sha256 {got[:12]}, pinned {sha256[:12]})"
    return ""

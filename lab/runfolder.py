"""What a tournament's folder and a tuning run's folder share: how a new one
is made and how their state file is written and read."""
import json
import os
import time
from typing import Optional

from .errors import Refused
from .layout import Layout


def create(path: Optional[str], layout: Layout, prefix: str, resume_hint: str) -> str:
    """A new folder: PATH (which must not exist) or runs/PREFIX-<date-time>.
    `resume_hint` ends the refusal of an existing PATH, e.g. 'to finish it'."""
    if path:
        if os.path.lexists(path):
            raise Refused(f"--out {path} exists already (use --resume {path} {resume_hint})")
        try:
            os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
            os.mkdir(path)
        except OSError as e:
            raise Refused(f"cannot create --out {path}: {e.strerror}") from None
        return os.path.abspath(path)
    os.makedirs(layout.runs, exist_ok=True)
    stamp = time.strftime("%Y%m%d-%H%M%S")
    for n in range(1000):
        candidate = os.path.join(layout.runs, f"{prefix}-{stamp}" + (f"-{n}" if n else ""))
        try:
            # mkdir fails on a folder that exists, so two runs never share one.
            os.mkdir(candidate)
            return candidate
        except FileExistsError:
            continue
    raise Refused(f"cannot find a free folder name in {layout.runs}")


def write_json(path: str, obj, indent: int) -> None:
    """Writes whole and renames: --resume finds the file complete or as it was."""
    with open(path + ".partial", "w", encoding="utf-8") as f:
        json.dump(obj, f, indent=indent)
        f.write("\n")
    os.replace(path + ".partial", path)


def read_json(folder: str, name: str, missing: str):
    """The parsed file `name` of `folder`; refused with `missing` when there is
    none. A file that cannot be read or parsed raises OSError or ValueError
    for the caller, which knows what the file should have been."""
    path = os.path.join(folder, name)
    if not os.path.isfile(path):
        raise Refused(missing)
    with open(path, encoding="utf-8") as f:
        return json.load(f)

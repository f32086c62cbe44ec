"""The run folder of a tuning run: its state (tune.json, written whole and
renamed after every round), the kit its matches run from (pinned programs,
a copy of the lab and its config files, the scenario's copy pinned by its
hash, as the tournament pins one) and the names of its match folders."""
import os
import re

from .. import runfolder
from ..errors import Refused
from ..layout import Layout
from ..tournament.contenders import pin
from ..tournament.folder import SCENARIO_COPY, Lock, PinnedScenario, check_scenario, copy_kit, pin_scenario
from .spsa import Param

STATE = "tune.json"
FORMAT = 1
MATCH_RE = re.compile(r"k[0-9]{4,6}-plus-(yellow|blue)")


def match_folder(k: int, plus_colour: str) -> str:
    return f"k{k:04d}-plus-{plus_colour}"


def write_state(folder: str, state: dict) -> None:
    runfolder.write_json(os.path.join(folder, STATE), state, indent=1)


def read_state(folder: str) -> dict:
    path = os.path.join(folder, STATE)
    try:
        state = runfolder.read_json(folder, STATE, f"{folder} is not a tuning run folder (no {STATE})")
        if state.get("format") != FORMAT:
            raise ValueError(f"format {state.get('format')}")
        params_of(state)
        for key in ("program", "simserver"):
            if not re.fullmatch(r"programs/[A-Za-z0-9][A-Za-z0-9._-]*", str(state[key])):
                raise ValueError(f"{key} is not a pinned program")
        # Runs from before the scenario was pinned played the kit's config/scenario-3v3.ini.
        if "scenario_file" in state and (state["scenario_file"] != SCENARIO_COPY
                                         or not re.fullmatch(r"[0-9a-f]{64}", str(state["scenario_sha256"]))):
            raise ValueError("scenario_file is not the pinned scenario.ini with its SHA-256")
        if not re.fullmatch(r"[0-9]+(\.[0-9]+)?", str(state["length"])):
            raise ValueError("length is not a number of seconds")
        whole = {k: state[k] for k in ("iterations", "done", "batch", "seed_offset", "run_seed", "id")}
        if not all(isinstance(v, int) and not isinstance(v, bool) for k, v in whole.items() if k != "id"):
            raise ValueError("iterations, done, batch, seed_offset and run_seed must be whole numbers")
        if not (1 <= whole["iterations"] and 0 <= whole["done"] <= whole["iterations"] and whole["batch"] >= 1
                and whole["seed_offset"] >= 0 and re.fullmatch(r"[0-9a-f]{12}", str(whole["id"]))):
            raise ValueError("iterations, done, batch, seed_offset or id out of range")
        n = len(state["params"])
        for theta in [state["theta"]] + [h["theta"] for h in state["history"]]:
            if len(theta) != n or not all(isinstance(v, (int, float)) for v in theta):
                raise ValueError("a θ does not match the parameters")
        if len(state["history"]) != whole["done"] or not all(isinstance(h["result"], (int, float))
                                                              for h in state["history"]):
            raise ValueError("the history does not match the iterations done")
    except (OSError, ValueError, KeyError, TypeError) as e:
        raise Refused(f"{path} is not a tuning state this lab can read ({e})") from None
    return state


def params_of(state: dict) -> list:
    return [Param(str(p["name"]), float(p["start"]), float(p["low"]), float(p["high"]),
                  float(p["c_end"]), float(p["r_end"])) for p in state["params"]]


def params_json(params: list) -> list:
    return [{"name": p.name, "start": p.start, "low": p.low, "high": p.high, "c_end": p.c_end,
             "r_end": p.r_end} for p in params]


def create(path: str, layout: Layout) -> str:
    """A new run folder: PATH (which must not exist) or runs/tune-<date-time>."""
    return runfolder.create(path, layout, "tune", "to go on with it")


def make_kit(folder: str, layout: Layout, program: str, simserver: str, scenario: str) -> dict:
    """Pins the programs and the scenario and copies the lab and config; the
    state's program and scenario fields."""
    (prog, prog_sha, describe), (server, server_sha, _) = pin(folder, [program, simserver], layout)
    copy_kit(folder, layout)
    pinned = pin_scenario(folder, scenario)
    return {"program": prog, "program_sha256": prog_sha, "describe": describe,
            "simserver": server, "simserver_sha256": server_sha,
            "scenario_file": pinned.path, "scenario_sha256": pinned.sha256}


def scenario_fault(folder: str, state: dict) -> str:
    """'' when the run's scenario copy is the pinned one (or the run pinned none), else why not."""
    if "scenario_file" not in state:
        return ""
    return check_scenario(folder, PinnedScenario(state["scenario"], state["scenario_sha256"],
                                                 state["scenario_file"]))


def lock(folder: str) -> Lock:
    """The folder's lock for the life of this run; Refused when another run holds it."""
    try:
        return Lock(folder)
    except Refused:
        raise Refused(f"another tuning run is using {folder} (its lock is held)") from None

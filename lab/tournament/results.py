"""What a match folder says about its match, and the pairs they make.

A match is finished only when play recorded it whole (run.json and
summary.json); a program that could not be started, a server that failed or
died, an interrupted run or a missing record leave it unfinished, to be
played again. An agent that crashed, exited non-zero, never connected while
the server ran, or left more than UNANSWERED_SHARE of its steps unanswered
loses the match for its side. A match both sides broke is a fault, never
evidence: it is played again like an unfinished one."""
import hashlib
import json
import os
from dataclasses import dataclass, field
from typing import Optional

from ..exits import RUNNING

TEAMS = ("yellow", "blue")
FIGURES = ("kicks", "shots", "passes", "possession")
POINTS = {"W": 3, "D": 1, "L": 0}
SCORE = {"W": 1.0, "D": 0.5, "L": 0.0}
MAX_RECORD_BYTES = 1 << 24
# A robot that leaves more of its playing steps unanswered has hung, as good as crashed.
UNANSWERED_SHARE = 0.05


@dataclass
class MatchResult:
    seed: int
    yellow: int                 # contender numbers
    blue: int
    folder: str
    goals: dict                 # colour -> goals scored
    result: dict                # colour -> W, D or L
    gd: int                     # yellow minus blue, a broken side losing by at least one
    exits: dict                 # colour -> "0 0 3" style text
    unanswered: dict            # colour -> steps a robot of the team left unanswered
    figures: dict = field(default_factory=dict)
    note: str = ""
    fault: str = ""             # why the match is no evidence (both sides failed); '' for a result
    start_fault: str = ""       # the colour that could not start, the other side untested
    fingerprint: str = ""       # the record's digest: equal for step-for-step equal matches, whoever played

    def score_of(self, contender: int) -> float:
        """1, 1/2 or 0 for `contender`; a match both sides broke (a fault, which
        the tournament plays again) would be no evidence either way."""
        colour = "yellow" if self.yellow == contender else "blue"
        if self.fault:
            return 0.5
        return SCORE[self.result[colour]]

    def gd_of(self, contender: int) -> int:
        return self.gd if self.yellow == contender else -self.gd


def judge(goals: dict, broken: dict) -> tuple:
    """(result per colour, goal difference, notes) from the score and each side's faults."""
    gd = goals["yellow"] - goals["blue"]
    notes = ["%s: %s" % (t, "; ".join(broken[t])) for t in TEAMS if broken[t]]
    if broken["yellow"] and broken["blue"]:
        return {"yellow": "L", "blue": "L"}, gd, notes + ["both sides failed"]
    if broken["yellow"] or broken["blue"]:
        loser = "yellow" if broken["yellow"] else "blue"
        winner = "blue" if loser == "yellow" else "yellow"
        # The sound side wins by at least one goal, whatever the score.
        gd = max(gd, 1) if winner == "yellow" else min(gd, -1)
        return {loser: "L", winner: "W"}, gd, notes + ["a loss for %s" % loser]
    y = "W" if gd > 0 else "D" if gd == 0 else "L"
    return {"yellow": y, "blue": {"W": "L", "D": "D", "L": "W"}[y]}, gd, notes


def load_record(path: str):
    with open(path, "rb") as f:
        data = f.read(MAX_RECORD_BYTES + 1)
    if len(data) > MAX_RECORD_BYTES:
        raise ValueError(f"{path} is larger than {MAX_RECORD_BYTES} bytes")
    return json.loads(data)


def unfinished_reason(run: dict) -> str:
    """Why run.json does not make a result ('' when it does)."""
    outcome = run.get("outcome")
    if outcome == "finished":
        return ""
    if outcome != "fault":
        return f"outcome {outcome}"
    fault = str(run.get("fault", "fault"))
    for colour in TEAMS:
        robots = run["teams"][colour]["robots"]
        if any(r.get("not_started") for r in robots):
            return f"the {colour} program could not be started"
        # Agents that ran and all ended before connecting: a loss for that side, not a fault.
        if robots and run.get("fault_team") == colour:
            return ""
    return fault


def read_match(folder_path: str, seed: int, yellow: int, blue: int, folder: str,
               digests: Optional[dict] = None) -> Optional[MatchResult]:
    """The result of a finished match; None when it is not finished.
    Raises ValueError (or OSError) for a record that cannot be read.
    `digests`: a cache for record_digest."""
    run_path = os.path.join(folder_path, "run.json")
    summary_path = os.path.join(folder_path, "summary.json")
    if not os.path.isfile(run_path):
        return None
    run = load_record(run_path)
    if unfinished_reason(run):
        return None
    if os.path.isfile(summary_path):
        summary = load_record(summary_path)
    elif run["outcome"] == "fault":
        # A team that failed before the kick-off: play stopped the server at once.
        summary = {"score": {"yellow": 0, "blue": 0}, "teams": {t: {} for t in TEAMS}}
    else:
        return None
    goals = {t: int(summary["score"][t]) for t in TEAMS}
    broken, exits = agent_faults(run)
    robot_faults(summary, broken)
    start_fault = ""
    if run["outcome"] == "fault":
        # Play stopped the match as soon as one team failed to start; the other
        # side may not have connected yet, and is not at fault for it unless
        # its agents failed on their own too.
        start_fault = str(run.get("fault_team"))
        for t in TEAMS:
            if t != start_fault and not any(" exit " in w for w in broken[t]):
                broken[t] = []
    unanswered = {t: sum(int(r.get("noAnswer", 0)) for r in summary.get("robots", []) if r.get("team") == t)
                  for t in TEAMS}
    result, gd, notes = judge(goals, broken)
    fault = ""
    if broken["yellow"] and broken["blue"]:
        fault = "both sides failed (%s)" % "; ".join(notes[:2])
    if any(unanswered.values()):
        notes.append("unanswered steps: yellow %d, blue %d" % (unanswered["yellow"], unanswered["blue"]))
    figures = {}
    for t in TEAMS:
        team = summary["teams"][t]
        for fig in FIGURES:
            value = team.get(fig, 0)
            figures[f"{t}_{fig}"] = round(float(value), 3) if fig == "possession" else int(value)
    return MatchResult(seed, yellow, blue, folder, goals, result, gd, exits, unanswered, figures,
                       "; ".join(notes), fault, start_fault,
                       "" if start_fault else record_digest(os.path.join(folder_path, "record.jsonl"), digests))


def agent_faults(run: dict) -> tuple:
    """(what broke per colour, the agents' exits per colour as text) from run.json."""
    broken = {t: [] for t in TEAMS}
    exits = {}
    for t in TEAMS:
        team = run["teams"][t]
        codes = []
        for robot in team["robots"]:
            e = robot["exit"]
            codes.append(str(e))
            if e == RUNNING:
                continue
            if isinstance(e, int):
                if e != 0:
                    broken[t].append(f"{robot['nickname']} exit {e}")
            else:
                broken[t].append(f"{robot['nickname']} {e}")
        if not team["robots"]:
            broken[t].append("no agent exit status")
        exits[t] = " ".join(codes)
    return broken, exits


def robot_faults(summary: dict, broken: dict) -> None:
    """Adds to `broken` the robots the server never admitted and those that
    left more than UNANSWERED_SHARE of the playing steps unanswered (hung)."""
    steps = max(int(summary.get("playSteps", 0)), 0)
    for robot in summary.get("robots", []):
        t = robot.get("team")
        if t not in TEAMS:
            continue
        if not robot.get("admitted") and not any("connected" in w for w in broken[t]):
            broken[t].append(f"robot {robot.get('id')} never connected")
        missed = int(robot.get("noAnswer", 0))
        if robot.get("admitted") and steps and missed > UNANSWERED_SHARE * steps:
            broken[t].append("%s left %d of %d steps unanswered" % (robot.get("nickname"), missed, steps))


def record_digest(path: str, cache: Optional[dict] = None) -> str:
    """A digest of a match's record, its steps only (the header and the summary
    name the programs): two matches with the same digest went step for step the same
    way. '' when there is no record. `cache` (path -> (size, mtime, digest))
    spares hashing a record again on every round."""
    try:
        st = os.stat(path)
    except OSError:
        return ""
    key = (st.st_size, st.st_mtime_ns)
    if cache is not None and path in cache and cache[path][:2] == key:
        return cache[path][2]
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for line in f:
            # The steps only: the header and the closing summary name the programs.
            if not line.startswith(b'{"type":'):
                h.update(line)
    digest = h.hexdigest()[:32]
    if cache is not None:
        cache[path] = key + (digest,)
    return digest


def pair_fault(first: MatchResult, second: MatchResult) -> str:
    """Why a seed's two matches are no evidence, though each alone was a
    result: each contender failed to start in one of them, so neither start
    failure can be tied to one side."""
    if first.start_fault and second.start_fault:
        failed = {(first.yellow if first.start_fault == "yellow" else first.blue),
                  (second.yellow if second.start_fault == "yellow" else second.blue)}
        if len(failed) == 2:
            return "both programs failed to start (one in each colour)"
    return ""


@dataclass
class Pair:
    seed: int
    score: float        # first contender's pair score, 0..2
    gd: int             # first contender's goals for minus against over both matches
    first: MatchResult  # first contender in yellow
    second: MatchResult

    @property
    def identical(self) -> bool:
        """Both colours played the same match: the difference never showed."""
        return bool(self.first.fingerprint) and self.first.fingerprint == self.second.fingerprint


def pairs_of(results: list, a: int, b: int) -> tuple:
    """(complete pairs in seed order, seeds with one colour only) of contender
    `a` against `b`. Only complete pairs count: a seed with one colour
    missing would bring back the colour advantage pairs cancel."""
    by_seed = {}
    for m in results:
        if {m.yellow, m.blue} == {a, b}:
            by_seed.setdefault(m.seed, {})[m.yellow == a] = m
    complete, incomplete = [], []
    for seed in sorted(by_seed):
        two = by_seed[seed]
        if True in two and False in two:
            first, second = two[True], two[False]
            complete.append(Pair(seed, first.score_of(a) + second.score_of(a),
                                 first.gd_of(a) + second.gd_of(a), first, second))
        else:
            incomplete.append(seed)
    return complete, incomplete

"""From match records to pairs and verdicts: what counts as a result, a
loss or a fault; which pairs count; the fixed-seed verdict rule; contender
parsing and the plan a match trusts."""

import math

import pytest

from lab.errors import Refused
from lab.tournament import stats
from lab.tournament.contenders import Contender, parse_contender
from lab.tournament.folder import Plan
from lab.tournament.options import parse_options
from lab.tournament.results import MatchResult, judge, pairs_of, unfinished_reason
from lab.tournament.summary import summarise

NONE = {"yellow": [], "blue": []}


@pytest.mark.parametrize("goals, broken, result, gd", [
    ({"yellow": 2, "blue": 1}, NONE, {"yellow": "W", "blue": "L"}, 1),
    ({"yellow": 0, "blue": 0}, NONE, {"yellow": "D", "blue": "D"}, 0),
    # A broken side loses by at least one goal, whatever the score.
    ({"yellow": 2, "blue": 0}, {"yellow": ["Y1 exit 3"], "blue": []}, {"yellow": "L", "blue": "W"}, -1),
    ({"yellow": 0, "blue": 3}, {"yellow": ["Y1 exit 3"], "blue": []}, {"yellow": "L", "blue": "W"}, -3),
    ({"yellow": 1, "blue": 1}, {"yellow": ["x"], "blue": ["y"]}, {"yellow": "L", "blue": "L"}, 0),
])
def test_judge(goals, broken, result, gd):
    got, got_gd, _ = judge(goals, broken)
    assert (got, got_gd) == (result, gd)


def run_record(outcome, fault="", yellow_robots=None, started=True, fault_team=None):
    robots = yellow_robots if yellow_robots is not None else [{"nickname": "GO", "vt_id": 1, "exit": 0}]
    run = {"outcome": outcome, "teams": {
        "yellow": {"started": started, "robots": robots},
        "blue": {"started": True, "robots": [{"nickname": "GO", "vt_id": 1, "exit": 0}]}}}
    if fault:
        run["fault"] = fault
        run["fault_team"] = fault_team
    return run


@pytest.mark.parametrize("what, run, is_result", [
    ("played to the end", run_record("finished"), True),
    ("interrupted", run_record("interrupted"), False),
    ("server died mid-match", run_record("fault", "the server ended with status 134 before the end"), False),
    ("server did not start", run_record("fault", "the server did not start", [], False), False),
    ("program could not be executed",
     run_record("fault", "the yellow team could not start: GO not started: cannot run x: No such file",
                [{"nickname": "GO", "vt_id": 1, "exit": "never connected", "why": "cannot run x: No such file",
                  "not_started": True}], False, "yellow"), False),
    ("agents ran and all quit before connecting: a loss",
     run_record("fault", "the yellow team could not start: GO ended with status 3 before connecting",
                [{"nickname": "GO", "vt_id": 1, "exit": 3}], False, "yellow"), True),
    # The wording of the fault is for people; only the fields decide.
    ("reworded fault of a team that ran",
     run_record("fault", "yellow: no robot connected", [{"nickname": "GO", "vt_id": 1, "exit": 3}],
                False, "yellow"), True),
])
def test_what_makes_a_result(what, run, is_result):
    assert (unfinished_reason(run) == "") is is_result, what


def match(seed, yellow, blue, goals_y, goals_b, broken_yellow=False):
    result, gd, _ = judge({"yellow": goals_y, "blue": goals_b},
                          {"yellow": ["x"] if broken_yellow else [], "blue": []})
    return MatchResult(seed, yellow, blue, "f%d%d%d" % (seed, yellow, blue), {"yellow": goals_y, "blue": goals_b},
                       result, gd, {"yellow": "0", "blue": "0"}, {"yellow": 0, "blue": 0})


def test_pairs_count_only_complete_seeds():
    results = [match(1, 0, 1, 2, 0), match(1, 1, 0, 1, 1),   # win + draw: 1.5, +2 goals
               match(2, 0, 1, 0, 1), match(2, 1, 0, 3, 0),   # two losses: 0, -4 goals
               match(3, 1, 0, 0, 2),                          # one colour only
               match(1, 0, 2, 5, 0)]                          # another pairing
    pairs, incomplete = pairs_of(results, 0, 1)
    assert [(p.seed, p.score, p.gd) for p in pairs] == [(1, 1.5, 2), (2, 0.0, -4)]
    assert incomplete == [3]
    flipped, _ = pairs_of(results, 1, 0)
    assert [p.score for p in flipped] == [0.5, 2.0]


def test_a_match_both_sides_broke_is_no_evidence():
    m = match(1, 0, 1, 0, 0)
    m.result = {"yellow": "L", "blue": "L"}
    assert m.score_of(0) == m.score_of(1) == 0.5


def rows_for(pair_scores):
    """Matches of contenders 0 and 1 giving these pair scores, seed by seed."""
    out = []
    wins = {0: (0, 1, 1, 0), 0.5: (0, 1, 0, 0), 1: (1, 0, 1, 0), 1.5: (1, 0, 0, 0), 2: (1, 0, 0, 1)}
    for seed, s in enumerate(pair_scores, 1):
        y1, b1, y2, b2 = wins[s]
        out += [match(seed, 0, 1, y1, b1), match(seed, 1, 0, y2, b2)]
    return out


@pytest.mark.parametrize("what, pair_scores, verdict", [
    ("clearly better", [2, 1.5, 2, 1.5, 2, 1.5], 1),
    ("clearly worse", [0, 0.5, 0, 0.5, 0, 0], -1),
    ("noise around even", [2, 0, 1.5, 0.5, 1, 1], 0),
    ("too few seeds to tell, however clear", [2] * 5, 0),
    ("no matches", [], 0),
    ("all even", [1] * 8, 0),
])
def test_fixed_seed_verdicts(what, pair_scores, verdict):
    s = summarise(["a", "b"], rows_for(pair_scores), 0)
    assert s.pairings[0].verdict == verdict, what
    assert s.pairings[0].estimate.pairs == len(pair_scores)


@pytest.mark.parametrize("values, expected", [
    ([2], (2.0, None, None)),
    ([1, 1, 1], (1.0, 1.0, 1.0)),
    ([1, 2, 3], (2.0, 2.0 - 2.4843, 2.0 + 2.4843)),   # t(2) 4.303 / sqrt(3)
    ([-1, 1], (0.0, -12.706, 12.706)),
])
def test_mean_interval(values, expected):
    got = stats.mean_interval(values)
    for g, e in zip(got, expected):
        assert (g is None and e is None) or g == pytest.approx(e, abs=1e-3)
    assert math.isnan(stats.mean_interval([])[0])


KEYS = {"KICKABLE", "LOG_LEVEL"}


@pytest.mark.parametrize("text, program, settings", [
    ("agent", "agent", []),
    ("agent:KICKABLE=120", "agent", [["KICKABLE", "120"]]),
    ("agent-b:KICKABLE=120:LOG_LEVEL=INFO", "agent-b", [["KICKABLE", "120"], ["LOG_LEVEL", "INFO"]]),
    ("/opt/a:b/agent:VERSION=a:b", "/opt/a:b/agent", [["VERSION", "a:b"]]),
    ("agent:VEL_MAX=100", "agent", [["VEL_MAX", "100"]]),
])
def test_contenders(text, program, settings):
    assert parse_contender(text, KEYS) == (program, settings)


@pytest.mark.parametrize("text, message", [
    ("agent:NOPE=1", "NOPE=1: no such key"),
    ("agent:VT_ID=3", "written by the lab"),
    (":KICKABLE=1", "names no program"),
    ("agent:KICKABLE=1\nVT_ID=9", "expected a number"),
    ("agent:VERSION=1\nVT_ID=9", "expected text"),
    ("agent:KICKABLE=abc", "KICKABLE=abc: expected a number from 1 to 1000"),
])
def test_contenders_refused(text, message):
    with pytest.raises(Refused, match=message):
        parse_contender(text, KEYS)


def plan_json(program):
    c = {"label": "a", "program": program, "source": "/x", "sha256": "0" * 64}
    return {"id": "0123456789ab", "contenders": [c, dict(c, label="b")], "simserver": dict(c, label="simserver"),
            "scenario": "3v3", "length": "5", "seeds": 2, "sprt": None, "names": ["a", "b"]}


@pytest.mark.parametrize("change", [
    {"program": "programs/../../bin/sh"}, {"program": "/bin/sh"}, {"program": "programs/a b"},
    {"id": "x /"}, {"names": ["a", "../b"]}, {"sprt": [50, 0]},
    {"settings": [["KICKABLE", "1\nVT_ID=9"]]},
])
def test_a_plan_edited_by_hand_is_refused(change):
    """A plan is read on --resume and on every host: its id names a folder
    removed there, its programs are run, its names become folder names."""
    obj = plan_json("programs/agent")
    if "program" in change or "settings" in change:
        obj["contenders"][1].update(change)
    else:
        obj.update(change)
    with pytest.raises(ValueError):
        Plan.from_json(obj)
    assert Plan.from_json(plan_json("programs/agent")).folder(3, 0, 1) == "s0003-1-a-vs-2-b"


def test_contender_round_trip():
    c = Contender("agent:KICKABLE=120", "programs/agent", "/b/agent", "ab" * 32, "v1-dirty", [["KICKABLE", "120"]])
    assert Contender.from_json(c.to_json()) == c


@pytest.mark.parametrize("argv, programs, sprt", [
    (["--programs", "agent", "agent-c", "--seeds", "3"], "agent,agent-c", None),  # spaces for commas
    (["--programs", "agent,agent-b", "--sprt"], "agent,agent-b", "0,50"),
    (["--sprt", "-10,20", "--programs", "a,b"], "a,b", "-10,20"),
    (["--sprt", "--programs", "a,b"], "a,b", "0,50"),
])
def test_options(argv, programs, sprt):
    o = parse_options(argv)
    assert (o.programs, o.sprt) == (programs, sprt)

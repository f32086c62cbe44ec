"""From match records to pairs and verdicts: what counts as a result, a
loss or a fault; which pairs count; the fixed-seed verdict rule; contender
parsing and the plan a match trusts."""

import json
import math
import re

import pytest

from lab.errors import Refused
from lab.tournament import stats
from lab.tournament.contenders import Contender, parse_contender
from lab.tournament.folder import Plan
from lab.tournament.options import error_rate, parse_options, parse_sprt
from lab.tournament.results import (TEAMS, MatchResult, judge, pair_fault, pairs_of, read_match,
                                    record_digest, unfinished_reason)
from lab.tournament.sprtplan import SprtSpec
from lab.tournament.page import LABEL_CHAR_WIDTH, W, pentanomial_bar
from lab.tournament.summary import lines, summarise

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


def write_match(folder, run, summary):
    folder.mkdir()
    (folder / "run.json").write_text(json.dumps(run))
    if summary is not None:
        (folder / "summary.json").write_text(json.dumps(summary))
    return read_match(str(folder), 1, 0, 1, folder.name)


def robots(colour, exit=0, n=3):
    return [{"nickname": "R%d" % i, "vt_id": i, "exit": exit} for i in range(n)]


def summary_of(no_answer_yellow=0, steps=100, score=(1, 0), program="a"):
    rows = [{"id": i, "team": t, "nickname": "R%d" % i, "admitted": True, "commands": 5,
             "noAnswer": no_answer_yellow if t == "yellow" else 0} for t in TEAMS for i in range(3)]
    return {"playSteps": steps, "score": {"yellow": score[0], "blue": score[1]}, "robots": rows,
            "teams": {t: {"program": program, "kicks": 1} for t in TEAMS}, "datagrams": {"received": 7}}


def finished(yellow_exit=0, blue_exit=0):
    return {"outcome": "finished", "teams": {"yellow": {"robots": robots("yellow", yellow_exit)},
                                             "blue": {"robots": robots("blue", blue_exit)}}}


def start_failure(blue_exit="running"):
    return {"outcome": "fault", "fault": "the yellow team could not start", "fault_team": "yellow",
            "teams": {"yellow": {"robots": robots("yellow", 3)}, "blue": {"robots": robots("blue", blue_exit)}}}


@pytest.mark.parametrize("what, run, summary, result, fault", [
    ("both sides crashed: a fault, never a draw", finished(3, -11), summary_of(), None, "both sides failed"),
    ("yellow crashed", finished(3, 0), summary_of(), "L", ""),
    # 6 of 100 steps unanswered: hung, a loss as a crash would be; 5 of 100 is still play.
    ("hung agent loses", finished(), summary_of(no_answer_yellow=6), "L", ""),
    ("a few steps unanswered is play", finished(), summary_of(no_answer_yellow=5), "W", ""),
    ("one team failed to start, the other stopped", start_failure(), None, "L", ""),
    ("both teams failed to start", start_failure(blue_exit=3), None, None, "both sides failed"),
])
def test_what_a_match_says(tmp_path, what, run, summary, result, fault):
    m = write_match(tmp_path / "m", run, summary)
    assert m.result["yellow"] == result or result is None, what
    assert (fault in m.fault) if fault else m.fault == "", what


def test_a_start_failure_of_each_contender_in_one_colour_each_is_a_fault(tmp_path):
    def start_fault(yellow, blue, colour):
        m = match(1, yellow, blue, 0, 0)
        m.start_fault = colour
        return m
    # Contender 0 failed as yellow, contender 1 failed as yellow: both failed.
    assert "both programs" in pair_fault(start_fault(0, 1, "yellow"), start_fault(1, 0, "yellow"))
    # Contender 1 failed in both colours: it alone is at fault, two losses.
    assert pair_fault(start_fault(0, 1, "blue"), start_fault(1, 0, "yellow")) == ""


def test_identical_matches_share_a_record_digest_whoever_played(tmp_path):
    steps = '{"step":0,"ball":{"x":0.0}}\n{"step":1,"ball":{"x":1.5}}\n'
    paths = []
    for n, (programs, body) in enumerate([("a", steps), ("b", steps), ("a", steps.replace("1.5", "1.6"))]):
        path = tmp_path / ("r%d.jsonl" % n)
        path.write_text('{"type":"header","programs":{"yellow":"%s"}}\n' % programs + body
                        + '{"type":"summary","teams":{"yellow":{"program":"%s"}}}\n' % programs)
        paths.append(str(path))
    cache = {}
    a, b, c = (record_digest(p, cache) for p in paths)
    assert a == b != c and a
    assert record_digest(str(tmp_path / "none")) == ""
    assert record_digest(paths[0], cache) == a and len(cache) == 3


def rows_for(pair_scores):
    """Matches of contenders 0 and 1 giving these pair scores to 0, seed by seed."""
    out = []
    wins = {0: (0, 1, 1, 0), 0.5: (0, 1, 0, 0), 1: (1, 0, 1, 0), 1.5: (1, 0, 0, 0), 2: (1, 0, 0, 1)}
    for seed, s in enumerate(pair_scores, 1):
        y1, b1, y2, b2 = wins[s]
        out += [match(seed, 0, 1, y1, b1), match(seed, 1, 0, y2, b2)]
    return out


@pytest.mark.parametrize("what, pair_scores, verdict", [
    # Pair scores of the baseline 0; the verdict is about the candidate 1.
    ("clearly worse", [2, 1.5, 2, 1.5, 2, 1.5], -1),
    ("clearly better", [0, 0.5, 0, 0.5, 0, 0], 1),
    ("noise around even", [2, 0, 1.5, 0.5, 1, 1], 0),
    ("too few seeds to tell, however clear", [2] * 5, 0),
    ("no matches", [], 0),
    ("all even", [1] * 8, 0),
])
def test_fixed_seed_verdicts(what, pair_scores, verdict):
    s = summarise(["a", "b"], rows_for(pair_scores), 0)
    assert s.pairings[0].verdict == verdict, what
    if verdict:
        assert s.pairings[0].text.startswith("b plays %s than a" % ("better" if verdict > 0 else "worse"))
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


@pytest.mark.parametrize("text, program, settings", [
    ("agent", "agent", []),
    ("agent:KICKABLE=120", "agent", [["KICKABLE", "120"]]),
    ("agent-b:KICKABLE=120:LOG_LEVEL=INFO", "agent-b", [["KICKABLE", "120"], ["LOG_LEVEL", "INFO"]]),
    ("/opt/a:b/agent:VERSION=a:b", "/opt/a:b/agent", [["VERSION", "a:b"]]),
    ("agent:VEL_MAX=90", "agent", [["VEL_MAX", "90"]]),
    ("agent@FILE", "agent", [["KICKABLE", "120"], ["VEL_MAX", "90"]]),
    ("agent@FILE:KICKABLE=90", "agent", [["KICKABLE", "90"], ["VEL_MAX", "90"]]),
])
def test_contenders(tmp_path, text, program, settings):
    tuned = tmp_path / "tuned.ini"
    tuned.write_text("# tuned\nKICKABLE=120\nVEL_MAX=90\n")
    assert parse_contender(text.replace("FILE", str(tuned))) == (program, settings)


@pytest.mark.parametrize("text, message", [
    ("agent:NOPE=1", "NOPE=1: no such key"),
    ("agent:KICKABEL=120", "did you mean KICKABLE"),
    ("agent:KICKABLE=abc", "KICKABLE=abc: expected a number"),
    ("agent:KICKABLE=60..120", "expected a number"),
    ("agent:VT_ID=3", "written by the lab"),
    (":KICKABLE=1", "names no program"),
    ("agent:VERSION=1\nVT_ID=9", "VERSION"),
    ("agent@", "needs a settings file"),
    ("agent@BAD", "NOPE=1: no such key"),
    ("agent@NONE", "cannot read"),
])
def test_contenders_refused(tmp_path, text, message):
    bad = tmp_path / "bad.ini"
    bad.write_text("KICKABLE=120\nNOPE=1\n")
    text = text.replace("BAD", str(bad)).replace("NONE", str(tmp_path / "none"))
    with pytest.raises(Refused, match=message) as e:
        parse_contender(text)
    assert "\n" not in str(e.value)


def plan_json(program):
    c = {"label": "a", "program": program, "source": "/x", "sha256": "0" * 64}
    return {"id": "0123456789ab", "contenders": [c, dict(c, label="b")], "simserver": dict(c, label="simserver"),
            "scenario": "3v3", "length": "5", "seeds": 2, "sprt": None, "names": ["a", "b"]}


@pytest.mark.parametrize("change", [
    {"program": "programs/../../bin/sh"}, {"program": "/bin/sh"}, {"program": "programs/a b"},
    {"id": "x /"}, {"names": ["a", "../b"]}, {"sprt": [50, 0]}, {"sprt": {"elo0": 0, "elo1": 5, "alpha": 0.7}},
    {"seed_offset": -1},
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
    (["--sprt=nelo:0,5", "--programs=a,b"], "a,b", "nelo:0,5"),
])
def test_options(argv, programs, sprt):
    o = parse_options(argv)
    assert (o.programs, o.sprt) == (programs, sprt)


@pytest.mark.parametrize("argv, message", [
    (["--seeds", "1", "--seeds", "2"], "--seeds is given twice"),
    (["--sprt", "--sprt", "0,5"], "--sprt is given twice"),
    (["--5v5", "--5v5"], "--5v5 is given twice"),
    (["--frobnicate"], "unknown option --frobnicate"),
    (["--jobs"], "--jobs needs a value"),
    (["--seeds", "1", "x"], "unexpected argument 'x' after --seeds 1"),
    (["--seed", "1"], "unknown option --seed"),    # no abbreviations
])
def test_options_refused(argv, message):
    with pytest.raises(Refused, match=message):
        parse_options(argv)


@pytest.mark.parametrize("text, sprt", [
    ("0,50", SprtSpec(0, 50)),
    ("nelo:0,5", SprtSpec(0, 5, True)),
    ("-10.5,0", SprtSpec(-10.5, 0)),
])
def test_sprt_bounds(text, sprt):
    assert parse_sprt(text) == sprt
    assert SprtSpec.from_json(sprt.to_json()) == sprt


@pytest.mark.parametrize("text", ["50,0", "0", "nelo:", "elo:0,5", "0,inf", "0,2000"])
def test_sprt_bounds_refused(text):
    with pytest.raises(Refused, match="--sprt"):
        parse_sprt(text)


@pytest.mark.parametrize("text", ["0", "0.5", "x", "nan", "0.0001"])
def test_error_rates_refused(text):
    with pytest.raises(Refused, match="--alpha needs an error rate"):
        error_rate(text, "--alpha")


@pytest.mark.parametrize("what, baseline_scores, sprt, max_seeds, text", [
    ("candidate sweeps", [0] * 12, SprtSpec(0, 50), 600,
     r"^cand plays better than base \(SPRT H1 accepted: nearer \+50 than \+0 Elo, LLR [0-9.]+ \u2265 2.94, 12 seeds\)"),
    ("all even", [1] * 30, SprtSpec(0, 50), 600,
     r"^cand does not play \+50 Elo better than base \(SPRT H0 accepted"),
    ("worse, tested for non-inferiority", [2, 1.5] * 12, SprtSpec(-50, 0), 600,
     r"^cand plays worse than base \(SPRT H0 accepted: nearer \u221250 than \+0 Elo"),
    ("not worse", [1, 0.5] * 40, SprtSpec(-20, 0, True), 600,
     r"^cand does not play 20 normalized Elo worse than base \(SPRT H1 accepted"),
    ("at the cap", [1, 0.5, 1, 1.5, 0.5] * 2, SprtSpec(0, 50), 10,
     r"^cand against base: no decision after 10 seeds \(SPRT LLR \S+ between \u22122.94 and 2.94\); at this "
     r"pace the test would need about \d+ more seeds on average to decide"),
    ("not yet", [1, 0.5], SprtSpec(0, 50), 10, r"^cand against base: no decision yet, 2 seeds"),
])
def test_sequential_verdicts_are_about_the_candidate(what, baseline_scores, sprt, max_seeds, text):
    s = summarise(["base", "cand"], rows_for(baseline_scores), 0, sprt, max_seeds)
    assert re.search(text, s.pairings[0].text), (what, s.pairings[0].text)


def test_a_gauntlet_plays_every_candidate_against_the_baseline_and_counts_identical_pairs():
    rows = rows_for([1, 1, 2]) + [match(seed, y, b, 0, 0) for seed in (1, 2) for y, b in ((0, 2), (2, 0))]
    for m in rows:
        m.fingerprint = "same" if {m.yellow, m.blue} == {0, 2} else m.folder
    s = summarise(["base", "c1", "c2"], rows, 0)
    assert [(v.a, v.b, len(v.pairs), v.identical) for v in s.pairings] == [(1, 0, 3, 0), (2, 0, 2, 2)]
    assert "2 of 2 pairs identical in both colours" in "\n".join(lines(s))
    assert [r.label for r in s.table] == ["base", "c1", "c2"] and s.table[0].rating.elo == 0


@pytest.mark.parametrize("counts", [[1, 0, 0, 0, 30], [30, 0, 0, 0, 1], [1, 1, 1, 1, 1], [0, 0, 7, 0, 0]])
def test_the_pentanomial_bar_keeps_its_labels_inside(counts):
    svg = pentanomial_bar(counts)
    for x, label in re.findall(r'<text x="([0-9.]+)"[^>]*>([^<]*)</text>', svg):
        half = LABEL_CHAR_WIDTH * len(label) / 2
        assert half <= float(x) <= W - half, (label, x)


def test_a_settings_file_may_hold_one_robots_own_settings_and_the_plan_keeps_them(tmp_path):
    tuned = tmp_path / "tuned.ini"
    tuned.write_text("KICKABLE=120\nGO:KICKABLE=60\n")
    program, settings = parse_contender("agent@%s" % tuned)
    assert settings == [["KICKABLE", "120"], ["GO:KICKABLE", "60"]]
    obj = plan_json("programs/agent")
    obj["contenders"][1]["settings"] = settings
    assert Plan.from_json(obj).contenders[1].settings == settings


SCENARIO_FILE = {"path": "scenario.ini", "source": "/x/fam.ini", "sha256": "ab" * 32}


@pytest.mark.parametrize("change", [
    {"scenario": "fam.ini"},                                           # a name without its pinned copy
    {"scenario": "4v4"},
    {"scenario": "fam.ini", "scenario_file": dict(SCENARIO_FILE, path="../../etc/passwd")},
    {"scenario": "fam.ini", "scenario_file": dict(SCENARIO_FILE, sha256="ab")},
    {"scenario": "fam\nini", "scenario_file": SCENARIO_FILE},
    {"scenario": "fam.ini", "scenario_file": {"path": "scenario.ini"}},
])
def test_a_plans_scenario_edited_by_hand_is_refused(change):
    obj = dict(plan_json("programs/agent"), **change)
    with pytest.raises((ValueError, KeyError)):
        Plan.from_json(obj)


def test_a_plan_with_a_scenario_file_round_trips_and_its_matches_play_the_copy():
    from lab.tournament.match import play_argv
    obj = dict(plan_json("programs/agent"), scenario="fam.ini", scenario_file=SCENARIO_FILE)
    plan = Plan.from_json(obj)
    assert Plan.from_json(plan.to_json()) == plan and plan.scenario_file.source == "/x/fam.ini"
    argv = play_argv(plan, 7, 0, 1, "f")
    assert argv[argv.index("--scenario") + 1] == "scenario.ini" and "--5v5" not in argv
    five = play_argv(Plan.from_json(dict(plan_json("programs/agent"), scenario="5v5")), 7, 0, 1, "f")
    assert "--5v5" in five and "--scenario" not in five


def test_a_sequential_test_of_no_known_scenario_is_refused_before_anything(tmp_path, capsys):
    from lab.tournament.cli import sequential_test
    out = sequential_test("agent", "agent-b", scenario=str(tmp_path / "none.ini"), out=str(tmp_path / "t"))
    assert out.status == 1 and "none.ini is none of them" in out.error
    assert not (tmp_path / "t").exists()

"""Bad input to lab tune: one line naming it, exit 1, nothing written; and the
pieces that turn parameters into each robot's settings."""
import os
import subprocess
import sys

import pytest

from conftest import ROOT
from lab.errors import Refused
from lab.settings_schema import read_settings_file
from lab.tune.match import parse_team
from lab.tune.params import parse_param, value_text
from lab.tune.spsa import Param
from lab.tune.verify import write_settings

GOOD = "VEL_MAX=60,30,130"


def tune(args, cwd, env=None):
    return subprocess.run([sys.executable, "-B", "-m", "lab", "tune"] + args, cwd=cwd, capture_output=True,
                          text=True, timeout=60, env=dict(os.environ, PYTHONPATH=ROOT, **(env or {})))


@pytest.mark.parametrize("args,names", [
    (["--param", "VEL_MAXX=60,30,130"], "unknown setting VEL_MAXX"),
    (["--param", "VEL_MAX=60,30,200"], "MAX 200 is outside VEL_MAX's range"),
    (["--param", "KICKABLE=60,0,130"], "MIN 0 is outside KICKABLE's range"),
    (["--param", "VEL_MAX=60,90,90"], "MIN 90 is not below MAX 90"),
    (["--param", "VEL_MAX=60,130,30"], "MIN 130 is not below MAX 30"),
    (["--param", "LOG_LEVEL=1,0,2"], "LOG_LEVEL is not a number setting"),
    (["--param", "PORT_TEAM=5,1,9"], "PORT_TEAM is not a number setting"),
    (["--param", "VEL_MAX=20,30,130"], "START 20 is outside MIN..MAX"),
    (["--param", "VEL_MAX=inf,30,130"], "START 'inf' is not a number"),
    (["--param", "VEL_MAX=60,30,130,0"], "C_END 0 must be above 0"),
    (["--param", "VEL_MAX=60,30,130,5,-1"], "R_END -1 must be above 0"),
    (["--param", "VEL_MAX=60,30"], "needs START,MIN,MAX"),
    (["--param", "VEL_MAX"], "is not KEY=START,MIN,MAX"),
    (["--param", "B1:VEL_MAX=60,30,130"], "is not KEY=START,MIN,MAX"),
    (["--param", GOOD, "--param", GOOD], "VEL_MAX is given twice"),
    ([], "at least one --param"),
    (["--param", GOOD, "--iterations", "0"], "--iterations needs a whole number from 1"),
    (["--param", GOOD, "--iterations", "-3"], "--iterations needs a whole number from 1"),
    (["--param", GOOD, "--iterations", "ten"], "--iterations needs a whole number from 1"),
    (["--param", GOOD, "--length", "0"], "--length needs seconds"),
    (["--param", GOOD, "--jobs", "0"], "--jobs needs a whole number"),
    (["--param", GOOD, "--verify-max-seeds", "0"], "--verify-max-seeds needs a whole number"),
    (["--param", GOOD, "--seed-offset", "x"], "--seed-offset needs a whole number"),
    (["--param", GOOD, "--scenario", "no-such.ini"], "--scenario no-such.ini is not a file"),
    (["--param", GOOD, "--program", "agent-z"], "unknown program 'agent-z'"),
    (["--param", GOOD, "--hosts", "no-hosts-file"], "--hosts no-hosts-file is missing"),
    (["--param", GOOD, "--frobnicate"], "unrecognized arguments: --frobnicate"),
    (["--resume", "somewhere", "--param", GOOD], "--param cannot go with it"),
    (["--resume", "somewhere"], "not a tuning run folder"),
])
def test_bad_input_is_one_line_and_writes_nothing(tmp_path, args, names):
    r = tune(args + ["--out", str(tmp_path / "run")] * ("--resume" not in args), tmp_path,
             {"SOCCER_BUILD_DIR": str(tmp_path / "build")})
    assert r.returncode == 1, r.stderr
    assert names in r.stderr and len(r.stderr.strip().splitlines()) == 1, r.stderr
    assert os.listdir(tmp_path) == []


def test_help_exits_0(tmp_path):
    r = tune(["--help"], tmp_path)
    assert r.returncode == 0 and "--param KEY=START,MIN,MAX" in r.stdout and os.listdir(tmp_path) == []


@pytest.mark.parametrize("text,want", [
    ("VEL_MAX=60,30,130", Param("VEL_MAX", 60, 30, 130, 5, 0.2)),
    ("GO:KICKABLE=80,40,200,10", Param("GO:KICKABLE", 80, 40, 200, 10, 0.2)),
    ("ANGLE_SPIN=0.5,0.1,1.5,0.05,0.01", Param("ANGLE_SPIN", 0.5, 0.1, 1.5, 0.05, 0.01)),
])
def test_param_defaults_come_from_the_range(text, want):
    assert parse_param(text) == want


def test_integer_keys_are_rounded_when_written():
    assert value_text(Param("SLEEP", 5, 0, 9, 1, 1), 2.6) == "3"
    assert value_text(Param("KICKABLE", 5, 1, 9, 1, 1), 2.6) == "2.6"


def test_team_settings_pass_to_play_checked():
    assert parse_team("VEL_MAX=90,GO:VEL_MAX=40,KICKABLE=70") == ["VEL_MAX=90", "GO:VEL_MAX=40", "KICKABLE=70"]
    assert parse_team("-") == []


@pytest.mark.parametrize("arg", ["VEL_MAX=9;rm", "VEL_MAX=500", "NICK_NAME=1", "X1:VEL_MAX=3", "VEL_MAX=1\n"])
def test_a_match_takes_only_checked_numbers(arg):
    with pytest.raises(Refused):
        parse_team(arg)


def test_tuned_files_are_settings_files_the_goalkeeper_included(tmp_path):
    params = [Param("VEL_MAX", 60, 30, 130, 5, 0.2), Param("GO:KICKABLE", 80, 40, 200, 8, 0.2)]
    assert write_settings(str(tmp_path), params, {"theta": [101.25, 55.5], "done": 3, "iterations": 3}) == \
        ["tuned.ini"]
    assert read_settings_file(str(tmp_path / "tuned.ini")) == {"VEL_MAX": "101.25", "GO:KICKABLE": "55.5"}
    assert read_settings_file(str(tmp_path / "start.ini")) == {"VEL_MAX": "60", "GO:KICKABLE": "80"}


@pytest.mark.parametrize("change", [
    {"done": 5}, {"iterations": "3"}, {"batch": 0}, {"theta": [1.0, 2.0]}, {"history": []},
    {"id": "../../x"}, {"program": "/bin/sh"}, {"format": 99},
])
def test_a_damaged_state_is_refused_in_one_line(tmp_path, change):
    state = {"format": 1, "id": "0123456789ab", "params": [{"name": "KICKABLE", "start": 80, "low": 40,
                                                              "high": 200, "c_end": 8, "r_end": 0.2}],
             "iterations": 3, "run_seed": 7, "seed_offset": 100, "batch": 1, "length": "4",
             "program": "programs/agent", "simserver": "programs/simserver", "theta": [80.0], "done": 1,
             "history": [{"k": 1, "theta": [81.0], "result": 1.0}]}
    assert read_state_of(tmp_path, state) == state
    with pytest.raises(Refused, match="not a tuning state"):
        read_state_of(tmp_path, dict(state, **change))


def read_state_of(folder, state):
    from lab.tune.folder import read_state, write_state
    write_state(str(folder), state)
    return read_state(str(folder))

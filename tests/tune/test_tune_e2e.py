"""End to end: a tiny tuning run of the real agents on the real server, and
its resumption. Needs SOCCER_BUILD_DIR (agent and simserver built). Scores
change with the physics, so the checks are about what the run wrote: the
settings each robot was given, the state, the files and the page."""
import hashlib
import json
import os
import shutil
import subprocess
import sys

import pytest

from conftest import ROOT
from lab.settings_schema import read_settings_file
from lab.tune.folder import params_of
from lab.tune.params import settings_of

BUILD = os.path.abspath(os.environ.get("SOCCER_BUILD_DIR", os.path.join(ROOT, "build")))
PARAMS = ["--param", "VEL_MAX=70,30,130,10", "--param", "GO:KICKABLE=80,40,200"]

pytestmark = pytest.mark.skipif(not os.access(os.path.join(BUILD, "simserver"), os.X_OK)
                                or shutil.which("parallel") is None,
                                reason="no simserver built in SOCCER_BUILD_DIR, or no GNU parallel")


def tune(args):
    env = dict(os.environ, SOCCER_BUILD_DIR=BUILD)
    return subprocess.run([sys.executable, "-B", os.path.join(ROOT, "scripts", "lab"), "tune"] + args,
                          cwd=ROOT, env=env, capture_output=True, text=True, timeout=120)


def state_of(run):
    with open(os.path.join(run, "tune.json")) as f:
        return json.load(f)


def robot_file(run, folder, robot, name):
    return read_settings_file_lenient(os.path.join(run, folder, robot, name))


def read_settings_file_lenient(path):
    with open(path) as f:
        return dict(l.split("=", 1) for l in f.read().splitlines() if "=" in l and not l.startswith("#"))


@pytest.fixture(scope="module")
def finished(tmp_path_factory):
    run = str(tmp_path_factory.mktemp("tune") / "run")
    r = tune(PARAMS + ["--iterations", "3", "--length", "4", "--jobs", "2", "--no-verify", "--out", run])
    assert r.returncode == 0, r.stderr
    return run, r


def test_a_run_writes_tuned_settings_its_state_and_page(finished):
    run, r = finished
    state = state_of(run)
    params = params_of(state)
    assert state["done"] == 3 and [h["k"] for h in state["history"]] == [1, 2, 3]
    assert "iteration 3 of 3" in r.stderr
    tuned = dict(settings_of(params, state["theta"]))
    assert read_settings_file(os.path.join(run, "tuned.ini")) == tuned
    with open(os.path.join(run, "tune.html")) as f:
        page = f.read()
    assert page.count("<svg") == 3 and 'data-done="3"' in page and "GO:KICKABLE" in page


def test_a_run_plays_its_pinned_family_and_a_pair_shares_one_field(finished):
    run, _ = finished
    state = state_of(run)
    family = os.path.join(ROOT, "config", "scenario-3v3-family.ini")
    with open(family, "rb") as f:
        assert state["scenario_sha256"] == hashlib.sha256(f.read()).hexdigest()
    assert state["scenario"] == family and state["scenario_file"] == "scenario.ini"
    fields = {}
    for h in state["history"]:
        for colour in ("yellow", "blue"):
            with open(os.path.join(run, f"k{h['k']:04d}-plus-{colour}", "run.json")) as f:
                record = json.load(f)
            assert record["scenario"] == os.path.join(run, "scenario.ini")
            fields.setdefault(h["k"], []).append(record["field"])
    assert all(a == b and "NOISE_DIST" in a for a, b in fields.values())
    assert fields[1] != fields[2]


def test_an_edited_scenario_copy_stops_resume(finished, tmp_path):
    run, _ = finished
    copy = str(tmp_path / "copy")
    shutil.copytree(run, copy, symlinks=True)
    with open(os.path.join(copy, "scenario.ini"), "a") as f:
        f.write("BALL_KEEP=0.8\n")
    r = tune(["--resume", copy, "--no-verify"])
    assert r.returncode == 1 and len(r.stderr.splitlines()) == 1, r.stderr
    assert "scenario.ini is not the pinned copy of the scenario" in r.stderr


def test_each_team_plays_its_probe_and_the_goalkeeper_its_own(finished):
    run, _ = finished
    state = state_of(run)
    params = params_of(state)
    template = read_settings_file_lenient(os.path.join(ROOT, "config", "config.ini"))
    for h in state["history"]:
        plus, minus = dict(settings_of(params, h["plus"])), dict(settings_of(params, h["minus"]))
        assert h["plus"] != h["minus"]
        for plus_colour in ("yellow", "blue"):
            folder = f"k{h['k']:04d}-plus-{plus_colour}"
            robots = [d for d in os.listdir(os.path.join(run, folder)) if d[0].isdigit()]
            assert len(robots) == 6
            for robot in robots:
                want = plus if robot.split("-")[1] == plus_colour else minus
                assert robot_file(run, folder, robot, "velocidade.ini")["VEL_MAX"] == want["VEL_MAX"]
                kickable = robot_file(run, folder, robot, "config.ini")["KICKABLE"]
                assert kickable == (want["GO:KICKABLE"] if robot.endswith("-GO") else template["KICKABLE"])


def test_a_resumed_run_walks_the_same_path(finished, tmp_path):
    run, _ = finished
    copy = str(tmp_path / "copy")
    shutil.copytree(run, copy, symlinks=True)
    whole = state_of(run)
    # As if stopped after iteration 1, with iteration 3 never played.
    cut = dict(whole, done=1, history=whole["history"][:1], theta=whole["history"][0]["theta"])
    with open(os.path.join(copy, "tune.json"), "w") as f:
        json.dump(cut, f)
    for colour in ("yellow", "blue"):
        shutil.rmtree(os.path.join(copy, f"k0003-plus-{colour}"))
    r = tune(["--resume", copy, "--no-verify"])
    assert r.returncode == 0, r.stderr
    again = state_of(copy)
    assert again["history"][:2] == whole["history"][:2]
    keys = ("k", "seed", "signs", "plus", "minus")
    assert [{k: h[k] for k in keys} for h in again["history"]] == [{k: h[k] for k in keys} for h in whole["history"]]
    assert os.path.isfile(os.path.join(copy, "k0003-plus-blue", "run.json"))


def test_an_existing_out_folder_is_refused(finished):
    run, _ = finished
    before = sorted(os.listdir(run))
    r = tune(PARAMS + ["--out", run])
    assert r.returncode == 1 and "exists already" in r.stderr
    assert sorted(os.listdir(run)) == before


def test_a_finished_run_resumed_is_verified_by_the_tournament(tmp_path):
    run = str(tmp_path / "run")
    r = tune(["--param", "KICKABLE=80,40,200", "--iterations", "1", "--length", "4", "--jobs", "2",
              "--no-verify", "--out", run])
    assert r.returncode == 0, r.stderr
    state = state_of(run)
    # As if the run had moved: the verification plays these against the start.
    state["theta"] = [150.0]
    with open(os.path.join(run, "tune.json"), "w") as f:
        json.dump(state, f)
    r = tune(["--resume", run, "--verify-max-seeds", "2", "--jobs", "2"])
    assert r.returncode == 0, r.stderr
    assert "verdict:" in r.stdout and "KICKABLE=150" in r.stdout
    assert os.path.isfile(os.path.join(run, "verify", "results.csv"))
    # The verification played the tuning's own field, pinned again.
    with open(os.path.join(run, "verify", "tournament.json")) as f:
        assert json.load(f)["scenario_file"]["sha256"] == state["scenario_sha256"]
    from lab.tune.verify import read_verification
    seen = read_verification(run, state_of(run))
    with open(os.path.join(run, "verify", "results.csv")) as f:
        assert len(seen["trace"]) == (len(f.read().splitlines()) - 1) // 2 >= 1
    assert read_settings_file(os.path.join(run, "tuned.ini")) == {"KICKABLE": "150"}
    with open(os.path.join(run, "tune.html")) as f:
        page = f.read()
    assert page.count("<svg") == 3 and "Log-likelihood ratio" in page and "SPRT" in page


def test_a_run_in_use_is_not_resumed_twice(finished):
    import fcntl
    run, _ = finished
    with open(os.path.join(run, "lock"), "a") as held:
        fcntl.flock(held, fcntl.LOCK_EX | fcntl.LOCK_NB)
        r = tune(["--resume", run, "--no-verify"])
    assert r.returncode == 1 and "another tuning run is using" in r.stderr


def test_a_goalkeeper_key_needs_a_goalkeeper_in_the_scenario(tmp_path):
    scenario = tmp_path / "no-keeper.ini"
    with open(os.path.join(ROOT, "config", "scenario-3v3.ini")) as f:
        scenario.write_text(f.read().replace(" GO ", " G0 "))
    r = tune(["--param", "GO:KICKABLE=80,40,200", "--scenario", str(scenario), "--out", str(tmp_path / "run")])
    assert r.returncode == 1 and "has no robot GO" in r.stderr and len(r.stderr.splitlines()) == 1
    assert not os.path.exists(tmp_path / "run")


def test_matches_that_never_finish_stop_the_run_naming_one(tmp_path):
    # An executable whose interpreter is missing: the agents can never be started.
    program = tmp_path / "broken-agent"
    program.write_text("#!/nonexistent/interpreter\n")
    program.chmod(0o755)
    run = str(tmp_path / "run")
    r = tune(["--param", "KICKABLE=80,40,200", "--iterations", "2", "--length", "4", "--jobs", "2",
              "--program", str(program), "--no-verify", "--out", run])
    assert r.returncode == 1
    assert "match k0001-plus-" in r.stderr and "did not finish in 3 tries" in r.stderr
    assert state_of(run)["done"] == 0 and state_of(run)["history"] == []

"""play --scenario with a field family, through the real server: the field
is drawn from the seed, the file's camera ranges are not replaced by play's
noise, and a file the server refuses stops play before anything starts."""
import json
import os
import subprocess
import sys

import pytest

from conftest import ROOT

BUILD = os.environ.get("SOCCER_BUILD_DIR", os.path.join(ROOT, "build"))
FAMILY = os.path.join(ROOT, "config", "scenario-3v3-family.ini")
pytestmark = pytest.mark.skipif(not os.access(os.path.join(BUILD, "simserver"), os.X_OK),
                                reason="programs not built")


def play(args, tmp_path=None, name=""):
    argv = [sys.executable, "-B", os.path.join(ROOT, "scripts", "lab"), "play", "--fast", "--length", "1"] + args
    if tmp_path is not None:
        argv += ["--dir", str(tmp_path / name)]
    return subprocess.run(argv, cwd=ROOT, env=dict(os.environ, SOCCER_BUILD_DIR=BUILD), capture_output=True,
                          text=True, timeout=60)


def field_of(tmp_path, name, args):
    r = play(args, tmp_path, name)
    assert r.returncode == 0, r.stderr
    with open(tmp_path / name / "run.json") as f:
        run = json.load(f)
    assert run["scenario"] == args[args.index("--scenario") + 1]
    return run["field"]


def test_a_family_draws_its_field_from_the_seed_and_keeps_its_camera(tmp_path):
    first = field_of(tmp_path, "a", ["--scenario", FAMILY, "--seed", "11"])
    again = field_of(tmp_path, "b", ["--scenario", FAMILY, "--seed", "11", "--yellow", "statue"])
    other = field_of(tmp_path, "c", ["--scenario", FAMILY, "--seed", "12"])
    assert first == again and len(first) == 10
    assert all(first[k] != other[k] for k in first if k != "KICK_MODEL")
    # The file's noise ranges were drawn: play passed none of its own.
    assert 0 <= first["NOISE_DIST"] <= 8 and 0 <= first["NOISE_ANGLE"] <= 1.5
    # --exact replaces them with an exact camera.
    exact = field_of(tmp_path, "d", ["--scenario", FAMILY, "--seed", "11", "--exact"])
    assert "NOISE_DIST" not in exact and "NOISE_ANGLE" not in exact
    assert {k: v for k, v in first.items() if not k.startswith("NOISE_")} == exact


def test_five_a_side_from_the_file(tmp_path):
    r = play(["--scenario", os.path.join(ROOT, "config", "scenario-5v5-family.ini"), "--seed", "3"], tmp_path, "r")
    assert r.returncode == 0, r.stderr
    assert len([d for d in os.listdir(tmp_path / "r") if d[0].isdigit()]) == 10


@pytest.mark.parametrize("text, message", [
    ("BALL_KEEP=0.9..0.8\n", "the server refuses it: {path}: BALL_KEEP: the range 0.9..0.8 has LOW above HIGH"),
    ("SUB_STEPS=10..12\n", "SUB_STEPS: takes no range"),
    ("KICK_MODEL=sideways\n", "unknown kick model 'sideways'"),
    ("FIELD_WIDTH=1200..1300\n", "FIELD_WIDTH: the lab takes one size for every match, not a range"),
])
def test_a_bad_scenario_is_one_line_and_nothing_starts(tmp_path, text, message):
    path = tmp_path / "fam.ini"
    with open(FAMILY) as f:
        path.write_text(f.read() + text)
    r = play(["--scenario", str(path)], tmp_path, "run")
    assert r.returncode == 1 and r.stdout == "" and len(r.stderr.splitlines()) == 1, r.stderr
    assert message.format(path=path) in r.stderr
    assert not (tmp_path / "run").exists()

"""The lab with field families: run.json copies the drawn values of summary.json,
and a family file fields the same robots as its fixed scenario."""
import json
import os

import pytest

from lab.errors import Refused
from lab.play import NOISE, PlayOptions, camera_args, check_options, drawn_field, parse_options
from lab.robots import scenario_robots
from lab.scenario import sets_camera

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


@pytest.mark.parametrize("content, expected", [
    ('{"seed": 3, "field": {"BALL_KEEP": 0.85, "KICK_MODEL": "mouth"}}', {"BALL_KEEP": 0.85, "KICK_MODEL": "mouth"}),
    ('{"seed": 3, "field": {}}', {}),
    ('{"seed": 3}', None),                 # a server from before families
    ('{"seed": 3, "field": [1, 2]}', None),
    ('[1, 2]', None),
    ('{"seed": 3, "fie', None),            # cut short
    (None, None),                          # never written
])
def test_run_json_field_is_summary_jsons_or_nothing(tmp_path, content, expected):
    path = tmp_path / "summary.json"
    if content is not None:
        path.write_text(content)
    assert drawn_field(str(path)) == expected


@pytest.mark.parametrize("size", ["3v3", "5v5"])
def test_a_family_fields_the_robots_of_its_fixed_scenario(size):
    config = os.path.join(ROOT, "config")
    family, family_version = scenario_robots(os.path.join(config, f"scenario-{size}-family.ini"))
    fixed, fixed_version = scenario_robots(os.path.join(config, f"scenario-{size}.ini"))
    assert family == fixed and family_version == fixed_version


@pytest.mark.parametrize("text, own", [
    (None, False),                                  # the shipped fixed field: 0 and 0
    ("SEED=1\n", False),                            # no camera keys: exact
    ("NOISE_DIST=0.0\nNOISE_ANGLE=0\n", False),
    ("NOISE_DIST=3\n", True),
    ("NOISE_ANGLE=0..1.5\n", True),                 # a family's range
    ("NOISE_DIST=0..0\n", True),                    # a range, even an empty one, is the file's
])
def test_play_adds_its_camera_noise_only_where_the_file_has_none(tmp_path, text, own):
    path = os.path.join(ROOT, "config", "scenario-3v3.ini")
    if text is not None:
        path = str(tmp_path / "s.ini")
        with open(path, "w") as f:
            f.write(text)
    assert sets_camera(path) is own
    assert camera_args(PlayOptions(), path) == ([] if own else NOISE)
    # --exact is an exact camera whatever the file says, so it replaces a range too.
    assert camera_args(PlayOptions(exact=True), path) == ["--noise-dist", "0", "--noise-angle", "0"]


def test_the_shipped_families_keep_their_camera_ranges():
    for size in ("3v3", "5v5"):
        assert sets_camera(os.path.join(ROOT, "config", f"scenario-{size}-family.ini"))


@pytest.mark.parametrize("argv, message", [
    (["--scenario", "config/scenario-5v5.ini", "--5v5"], "--5v5 and --scenario both choose the field"),
    (["--scenario", "/no/such/file.ini"], "--scenario /no/such/file.ini is not a file"),
    (["--scenario", "config"], "--scenario config is not a file"),
])
def test_play_refuses_a_scenario_it_cannot_take(argv, message):
    with pytest.raises(Refused, match=message):
        o = parse_options(argv)
        check_options(o)


def test_the_lab_takes_no_range_on_the_fields_size(tmp_path):
    path = tmp_path / "s.ini"
    path.write_text("FIELD_LENGTH=1400..1600\nROBOT_1=yellow GO -690 0 90\n")
    with pytest.raises(Refused, match="FIELD_LENGTH: the lab takes one size for every match"):
        scenario_robots(str(path))

"""The lab with field families: run.json copies the drawn values of summary.json,
and a family file fields the same robots as its fixed scenario."""
import json
import os

import pytest

from lab.play import drawn_field
from lab.robots import scenario_robots

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

"""A new run folder (tournament or tuning run): --out must be new, the
default names never collide, and the state file is written whole."""
import json
import os

import pytest

from lab import runfolder
from lab.errors import Refused
from lab.layout import Layout
from lab.tournament import folder as tournament_folder
from lab.tune import folder as tune_folder

CREATES = [(tournament_folder.create, "tournament", "to finish it"),
           (tune_folder.create, "tune", "to go on with it")]


def layout_in(tmp_path) -> Layout:
    return Layout(str(tmp_path), True, str(tmp_path / "build"), False)


@pytest.mark.parametrize("create, prefix, hint", CREATES)
def test_out_must_be_new_and_the_refusal_names_how_to_resume(tmp_path, create, prefix, hint):
    out = tmp_path / "deep" / "run"
    assert create(str(out), layout_in(tmp_path)) == str(out)
    with pytest.raises(Refused, match=f"--out {out} exists already \\(use --resume {out} {hint}\\)"):
        create(str(out), layout_in(tmp_path))


@pytest.mark.parametrize("create, prefix, hint", CREATES)
def test_default_names_carry_the_prefix_and_never_collide(tmp_path, monkeypatch, create, prefix, hint):
    monkeypatch.setattr(runfolder.time, "strftime", lambda _: "20260101-120000")
    first, second = create(None, layout_in(tmp_path)), create("", layout_in(tmp_path))
    assert os.path.basename(first) == f"{prefix}-20260101-120000"
    assert os.path.basename(second) == f"{prefix}-20260101-120000-1"


def test_state_is_written_whole_with_no_partial_file_left(tmp_path):
    path = tmp_path / "state.json"
    path.write_text("old")
    runfolder.write_json(str(path), {"a": [1]}, indent=2)
    assert json.loads(path.read_text()) == {"a": [1]} and path.read_text().endswith("\n")
    assert os.listdir(tmp_path) == ["state.json"]

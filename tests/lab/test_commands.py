"""play's and team's command lines: bad input gives one line, exit 1, and
nothing written or started."""
import os

import pytest

from conftest import ROOT
from lab import play, team

BUILD = os.environ.get("SOCCER_BUILD_DIR", os.path.join(ROOT, "build"))
pytestmark = pytest.mark.skipif(not os.access(os.path.join(BUILD, "agent"), os.X_OK),
                                reason="programs not built")
SERVER = ["--server", "127.0.0.1:9", "--team", "yellow"]


@pytest.fixture(autouse=True)
def built(monkeypatch):
    monkeypatch.setenv("SOCCER_BUILD_DIR", BUILD)
    monkeypatch.setenv("LAB_PROG", "lab")


def refused(capsys, main, argv, tmp_path) -> str:
    status = main(argv + ["--dir", str(tmp_path / "run")])
    out, err = capsys.readouterr()
    assert status == 1 and out == "" and err.count("\n") == 1, err
    assert not (tmp_path / "run").exists()
    return err.strip()


@pytest.mark.parametrize("argv, message", [
    (SERVER + ["--set", "KICKABEL=120"],
     "lab: --set KICKABEL=120: no such key in config.ini or velocidade.ini; did you mean KICKABLE?"),
    (SERVER + ["--set", "kickable=120"], "did you mean KICKABLE?"),
    (SERVER + ["--set", "KICKABLE=60..120"], "--set KICKABLE=60..120: expected a number from 1 to 1000"),
    (SERVER + ["--set", "GO:VEL_MAX=200"], "--set VEL_MAX=200: expected a number from 0 to 130.434697458164"),
    (SERVER + ["--set", "Z9:KICKABLE=100"], "--set Z9:KICKABLE=100 names Z9, which is no yellow robot"),
    (SERVER + ["--set", "TEAM=1"], "TEAM is written by the lab"),
    (SERVER + ["--team", "blue"], "--team is given twice (--team yellow and --team blue); give it once"),
    (SERVER + ["--wait", "3", "--wait", "4"], "--wait is given twice"),
    (SERVER + ["--restart", "-1"], "--restart needs a whole number, not '-1'"),
    (SERVER + ["--restart"], "--restart needs a value (see --help)"),
    (SERVER + ["--settings", "/dev/zero"], "settings file /dev/zero is larger than 65536 bytes"),
    (SERVER + ["--program", "no-such-agent"], "unknown program 'no-such-agent'"),
    (SERVER + ["--bogus"], "unknown option --bogus (see --help)"),
    (SERVER + ["--wait", "3", "4"], "unexpected argument '4' after --wait 3 (--wait takes one value)"),
    (["--server", "127.0.0.1", "--team", "blue", "blue"],
     "unexpected argument 'blue' after --team blue (--team takes one value)"),
    (["--server", "no-such-host.invalid", "--team", "blue"], "server host 'no-such-host.invalid' does not resolve"),
])
def test_team_refuses(capsys, tmp_path, argv, message):
    assert message in refused(capsys, team.main, argv, tmp_path)


def test_team_refuses_a_players_file_with_a_mistyped_key(capsys, tmp_path):
    players = tmp_path / "players.ini"
    players.write_text("yellow GO 1 1\nyellow Y1 2 2 POS_BASEY=0.3462\n")
    err = refused(capsys, team.main, SERVER + ["--players", str(players)], tmp_path)
    assert err == (f"lab: {players}:2: POS_BASEY=0.3462: no such key in config.ini or velocidade.ini; "
                   "did you mean POS_BASE_Y?")


@pytest.mark.parametrize("argv, message", [
    (["--yellow-set", "KICKABLE=abc"], "lab: --yellow-set KICKABLE=abc: expected a number from 1 to 1000"),
    (["--blue-set", "LOG_LEVEL=LOUD"], "expected one of TRACE, DEBUG, INFO, WARN, ERROR"),
    (["--length", "30", "--length", "40"], "--length is given twice"),
    (["--yellow", "agent", "--yellow", "agent-b"], "--yellow is given twice"),
    (["--blue-settings", "/no/such/file"], "cannot read settings file /no/such/file"),
    (["--length=0"], "--length needs seconds greater than 0"),
    (["--fast", "--fast"], "--fast is given twice; give it once"),
])
def test_play_refuses(capsys, tmp_path, argv, message):
    assert message in refused(capsys, play.main, argv, tmp_path)


def test_play_takes_settings_files_and_equals_signs():
    o = play.parse_options(["--length=30", "--yellow-settings=a.ini", "--yellow-set", "A=1", "--yellow-set",
                            "B=2", "--fast"])
    assert (o.length, o.settings_files["yellow"], o.sets["yellow"], o.fast) == ("30", "a.ini", ["A=1", "B=2"], True)

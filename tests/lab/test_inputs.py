"""Players files, settings, server addresses and agent exit lines: what users
hand the lab, accepted where the intent is clear and refused in one line."""
import glob
import os

import pytest

from conftest import ROOT
from lab.errors import Refused
from lab.exits import AgentExit, parse_exit_line
from lab.layout import parse_server
from lab.props import SettingsFile
from lab.robots import read_players, scenario_robots, team_of
from lab.settings import parse_setting


def players(tmp_path, data: bytes) -> str:
    path = tmp_path / "players.ini"
    path.write_bytes(data)
    return str(path)


def test_windows_file_with_byte_order_mark_and_crlf(tmp_path):
    path = players(tmp_path, b"\xef\xbb\xbfyellow GO 1 1 KICKABLE=70\r\n# note\r\nyellow Y1 2 2\r\n")
    robots = read_players(path)
    assert [(r.colour, r.nickname, r.vt_id, r.settings) for r in robots] == [
        ("yellow", "GO", 1, (("KICKABLE", "70"),)), ("yellow", "Y1", 2, ())]


def test_hash_inside_a_value_is_kept_and_after_whitespace_is_a_comment(tmp_path):
    path = players(tmp_path, b"blue B1 5 5 VERSION=a#b # the rest is a comment X=1\n")
    assert read_players(path)[0].settings == (("VERSION", "a#b"),)


@pytest.mark.parametrize("text, message", [
    ("yellow GO 1 1\nyellow Y1 01 2\n", "vt_id 1 is given twice"),
    ("yellow GO 1 1\nblue GO 2 1\nyellow Y1 3 01\n", "rc_id 1 is given twice for yellow"),
    ("yellow GO 1 1 VT_ID=7\n", "VT_ID comes from the columns"),
    ("yellow GO 1 1 SERVER_IP=10.0.0.1\n", "SERVER_IP comes from the columns"),
    ("yellow GO 1 1 TEAM=1\n", "TEAM comes from the columns"),
    ("yellow GO 1 1 PORT_TEAM=1\n", "PORT_TEAM comes from the columns"),
    ("red GO 1 1\n", "colour 'red' is neither yellow nor blue"),
    ("yellow GO x 1\n", "vt_id 'x' is not a whole number"),
    ("yellow GO 1\n", "expected 'colour nickname vt_id rc_id"),
    ("yellow G/O 1 1\n", "nickname 'G/O' may only hold"),
    ("yellow " + "N" * 33 + " 1 1\n", "longer than 32 characters"),
    ("yellow GO 1 1 =3\n", "'=3' is not KEY=VALUE"),
    ("blue B1 1 1\n", "lists no yellow robot"),
])
def test_bad_players_files_are_refused_naming_the_line(tmp_path, text, message):
    path = players(tmp_path, text.encode())
    with pytest.raises(Refused, match=message.replace("(", r"\(")):
        team_of(read_players(path), "yellow", path)


@pytest.mark.parametrize("players_file, scenario", [
    ("players-3v3.ini", "scenario-3v3.ini"), ("players-5v5.ini", "scenario-5v5.ini")])
def test_sample_players_files_match_their_scenarios(players_file, scenario):
    # A real field's players file must field the same robots the simulated server has.
    config = os.path.join(ROOT, "config")
    listed = read_players(os.path.join(config, players_file))
    derived, _ = scenario_robots(os.path.join(config, scenario))
    assert [(r.colour, r.nickname, r.vt_id, dict(r.settings)) for r in listed] == \
        [(r.colour, r.nickname, r.vt_id, dict(r.settings)) for r in derived]


def test_every_players_file_has_a_scenario():
    names = {os.path.basename(p)[len("players-"):] for p in glob.glob(os.path.join(ROOT, "config", "players-*.ini"))}
    assert names and all(os.path.exists(os.path.join(ROOT, "config", "scenario-" + n)) for n in names)


@pytest.mark.parametrize("text, expected", [
    ("127.0.0.1", ("127.0.0.1", 20000)),
    ("localhost:20001", ("localhost", 20001)),
    ("http://127.0.0.1:20000", ("127.0.0.1", 20000)),
    ("udp://field-pc:7/", ("field-pc", 7)),
])
def test_server_addresses(text, expected):
    assert parse_server(text) == expected


@pytest.mark.parametrize("text, message", [
    ("127.0.0.1:0", "not a number from 1 to 65535"),
    ("127.0.0.1:65536", "not a number from 1 to 65535"),
    ("bad_host", "malformed server address"),
    ("http://", "malformed server address"),
])
def test_bad_server_addresses(text, message):
    with pytest.raises(Refused, match=message):
        parse_server(text)


@pytest.mark.parametrize("text, known, message", [
    ("LOG_LEVEL", None, "has no '='"),
    ("TEAM=1", None, "written by the lab from the robot's identity"),
    ("NO_SUCH=1", {"LOG_LEVEL"}, "--yellow-set NO_SUCH=1: no such key"),
    ("LOG_LEVEL=INFO\nVT_ID=9", None, "expected one of TRACE"),
])
def test_bad_settings(text, known, message):
    with pytest.raises(Refused, match=message):
        parse_setting(text, "--yellow-set", known)


@pytest.mark.parametrize("exit_", [0, 255, -1, "running", "never connected", "refused", "not started"])
def test_exit_lines_read_back(exit_):
    e = AgentExit(4, "blue", "GO", exit_, "" if exit_ != "refused" else "no robot 4")
    assert parse_exit_line(e.line()) == e


@pytest.mark.parametrize("line", ["", "agents:", "4-red-GO: exit 0", "4-blue-GO: exit x", "4-blue-GO: lost"])
def test_other_lines_are_no_exits(line):
    assert parse_exit_line(line) is None


def test_settings_replace_where_they_stand_and_add_at_the_end():
    cfg = SettingsFile(["# head", "TEAM=2", "VT_ID=1", "TEAM=9"])
    cfg.set("TEAM", "1")
    cfg.set("LOG_LEVEL", "INFO")
    assert cfg.text() == "# head\nTEAM=1\nVT_ID=1\nTEAM=9\nLOG_LEVEL=INFO\n"


@pytest.mark.parametrize("make", [
    lambda p: (p.write_bytes(b"FIELD_LENGTH=1500\n" + b"#" * (1 << 20)), str(p))[1],
    lambda p: "/dev/zero",   # a device never ends: read only up to the bound
])
def test_an_oversized_scenario_is_refused_without_reading_it_whole(tmp_path, make):
    path = make(tmp_path / "scenario.ini")
    with pytest.raises(Refused, match="is larger than"):
        scenario_robots(path)

"""Agents that die mid-match are named (and, under team --restart, started
again); nothing the launcher started outlives it, not even a program under a
wrapper script after the launcher was SIGKILLed; a closed pipe or a signal
during the build ends the run without a traceback."""
import json
import os
import re
import signal
import subprocess
import sys
import time

import pytest

from conftest import ROOT
from test_supervision import BUILD, LAB, leftovers, start_play, wait_for

pytestmark = pytest.mark.skipif(not os.access(os.path.join(BUILD, "simserver"), os.X_OK),
                                reason="programs not built")
ENV = dict(os.environ, SOCCER_BUILD_DIR=BUILD)


def start_team(run_dir, *args, **kw):
    return subprocess.Popen(LAB + ["team", "--dir", str(run_dir)] + list(args), env=ENV,
                            stdout=kw.get("stdout", subprocess.PIPE), stderr=subprocess.PIPE,
                            start_new_session=True)


def start_server(tmp_path, *args):
    log = tmp_path / "server.log"
    server = subprocess.Popen([os.path.join(BUILD, "simserver"), "--port", "0"] + list(args),
                              stdout=subprocess.DEVNULL, stderr=open(log, "wb"))
    assert wait_for(lambda: "listening on" in log.read_text())
    port = int(log.read_text().split("listening on ", 1)[1].split(":", 1)[1].split()[0])
    return server, port, log


def pid_of(folder) -> int:
    assert wait_for(lambda: (folder / "pid").exists() and (folder / "agent.out").exists()
                    and "<connect>true" in (folder / "agent.out").read_text())
    return int((folder / "pid").read_text())


def played_a_second(log) -> bool:
    return re.search(r"^simserver: t=\s*[1-9][0-9]*\.[0-9] s", log.read_text(), re.M) is not None


def test_play_names_an_agent_killed_mid_match_and_fails(tmp_path):
    run_dir = tmp_path / "run"
    play = start_play(run_dir, "--length", "5")
    pid = pid_of(run_dir / "5-blue-B1")
    assert wait_for(lambda: played_a_second(run_dir / "server.log"))
    os.kill(pid, signal.SIGSEGV)
    out, err = play.communicate(timeout=60)
    assert play.returncode == 1, err.decode()
    assert "robot 5 blue B1 died at game time" in err.decode()
    assert "killed by SIGSEGV" in err.decode()
    record = json.loads((run_dir / "run.json").read_text())
    assert record["outcome"] == "finished"
    assert [(c["nickname"], c["signal"]) for c in record["crashes"]] == [("B1", "SIGSEGV")]
    assert record["teams"]["blue"]["crashes"] == 1 and record["teams"]["yellow"]["crashes"] == 0
    assert leftovers(run_dir) == []


def test_team_restarts_an_agent_killed_mid_match(tmp_path):
    server, port, log = start_server(tmp_path, "--length", "12", "--wait", "10")
    try:
        yellow = start_team(tmp_path / "y", "--server", f"127.0.0.1:{port}", "--team", "yellow", "--quiet",
                            "--restart", "2")
        blue = start_team(tmp_path / "b", "--server", f"127.0.0.1:{port}", "--team", "blue", "--quiet")
        pid = pid_of(tmp_path / "y" / "2-yellow-Y1")
        assert wait_for(lambda: played_a_second(log))
        os.kill(pid, signal.SIGKILL)
        out, err = yellow.communicate(timeout=90)
        blue.communicate(timeout=30)
    finally:
        server.kill()
        server.wait()
    record = json.loads((tmp_path / "y" / "team.json").read_text())
    y1 = record["robots"][1]
    assert yellow.returncode == 1
    assert "robot 2 yellow Y1 died" in err.decode() and "starting it again in 1 s" in err.decode()
    assert y1["starts"] >= 2 and y1["restarts"] == 1
    assert y1["exits"][0] == {"status": 137, "signal": "SIGKILL", "connected": True}
    if not any(e["connected"] for e in y1["exits"][1:]):
        pytest.skip("this simserver does not take a robot back from an agent that died "
                    f"(it refused the restarted agent: {y1['end']})")
    assert y1["connected_s"] > record["robots"][1]["crashes"][0]["connected_s"]
    assert y1["end"] == "2-yellow-Y1: exit 0"


def wrapper(tmp_path) -> str:
    """A wrapper script whose program is its child, as a team's own launcher might be."""
    path = tmp_path / "wrapped-agent"
    path.write_text("#!/bin/sh\nsleep 300\nexit 0\n")
    path.chmod(0o755)
    return str(path)


def test_a_wrapped_program_ends_with_a_launcher_killed_outright(tmp_path):
    run_dir = tmp_path / "run"
    team = start_team(run_dir, "--server", "127.0.0.1:9", "--team", "yellow", "--program", wrapper(tmp_path))
    assert wait_for(lambda: sum("sleep" in cmd for _, cmd in leftovers(run_dir)) == 3)
    os.kill(team.pid, signal.SIGKILL)
    team.wait()
    assert wait_for(lambda: leftovers(run_dir) == [], 10), leftovers(run_dir)


def test_a_closed_pipe_ends_the_run_as_a_hang_up(tmp_path):
    run_dir = tmp_path / "run"
    # No server: the team waits --wait seconds, then prints its robots' ends into a pipe nobody reads.
    team = start_team(run_dir, "--server", "127.0.0.1:9", "--team", "yellow", "--wait", "2")
    team.stdout.readline()
    team.stdout.close()
    err = team.stderr.read().decode()
    assert team.wait(timeout=30) == 129, err
    assert "Traceback" not in err and "Exception ignored" not in err
    assert leftovers(run_dir) == []


def test_a_signal_during_the_build_stops_the_whole_build(tmp_path):
    build = tmp_path / "build.sh"
    # A build tool that starts its own long-running workers.
    build.write_text("#!/bin/sh\nsleep 301 &\nsleep 302\nwait\n")
    build.chmod(0o755)
    driver = ("import sys; sys.path.insert(0, sys.argv[1]); from lab.supervisor import run_in_foreground;"
              f"status, sig = run_in_foreground([{str(build)!r}], '.'); sys.exit(128 + sig if sig else status)")
    proc = subprocess.Popen([sys.executable, "-c", driver, ROOT], stderr=subprocess.PIPE, start_new_session=True)

    def workers():
        return [pid for pid in filter(str.isdigit, os.listdir("/proc"))
                if b"sleep\x00" in open(f"/proc/{pid}/cmdline", "rb").read()
                and b"30" in open(f"/proc/{pid}/cmdline", "rb").read()
                and os.path.exists(f"/proc/{pid}")]
    assert wait_for(lambda: len(workers()) == 2)
    time.sleep(0.2)
    os.kill(proc.pid, signal.SIGTERM)
    assert proc.wait(timeout=10) == 143
    assert b"Traceback" not in proc.stderr.read()
    assert wait_for(lambda: workers() == [], 5)

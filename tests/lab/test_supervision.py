"""Whole runs of `lab play` on the built programs: INT, TERM and HUP at
start-up, mid-match and while the run sums up leave no process behind; a team
that cannot start or a server that dies ends the run with a named fault."""
import json
import os
import signal
import subprocess
import sys
import time

import pytest

from conftest import ROOT

BUILD = os.environ.get("SOCCER_BUILD_DIR", os.path.join(ROOT, "build"))
LAB = [sys.executable, os.path.join(ROOT, "scripts", "lab")]
pytestmark = pytest.mark.skipif(not os.access(os.path.join(BUILD, "simserver"), os.X_OK),
                                reason="programs not built")


def start_play(run_dir, *args):
    env = dict(os.environ, SOCCER_BUILD_DIR=BUILD)
    return subprocess.Popen(LAB + ["play", "--dir", str(run_dir)] + list(args), env=env,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, start_new_session=True)


def wait_for(predicate, seconds=20.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(0.01)
    return False


def leftovers(run_dir) -> list:
    """Processes still running whose command line or folder names the run."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                cmd = f.read().decode("utf-8", "replace")
            cwd = os.readlink(f"/proc/{pid}/cwd")
            with open(f"/proc/{pid}/stat") as f:
                state = f.read().rsplit(")", 1)[1].split()[0]
        except OSError:
            continue
        if state != "Z" and (str(run_dir) in cmd or cwd.startswith(str(run_dir))):
            found.append((pid, cmd.replace("\0", " ")))
    return found


def robot_pids(run_dir) -> list:
    pids = []
    for name in os.listdir(run_dir) if os.path.isdir(run_dir) else []:
        try:
            pids.append(int(open(os.path.join(run_dir, name, "pid")).read()))
        except (OSError, ValueError):
            pass
    return pids


def no_group_left(pids) -> bool:
    """No live process (zombies awaiting init aside) in any of these process groups."""
    groups = set(pids)
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if fields[0] != "Z" and int(fields[2]) in groups:
            return False
    return True


def stubborn_agent(tmp_path) -> str:
    """An agent that plays, then ignores TERM for a long while: the run's end must KILL it."""
    path = tmp_path / "stubborn"
    path.write_text(f"#!/bin/sh\ntrap '' TERM INT HUP\n{BUILD}/agent\nsleep 60\n")
    path.chmod(0o755)
    return str(path)


PHASES = ["start-up", "mid-match", "summary"]
SIGNALS = [(signal.SIGINT, 130), (signal.SIGTERM, 143), (signal.SIGHUP, 129)]


@pytest.mark.parametrize("phase", PHASES)
@pytest.mark.parametrize("sig, status", SIGNALS, ids=["INT", "TERM", "HUP"])
def test_a_signal_stops_everything(tmp_path, phase, sig, status):
    run_dir = tmp_path / "run"
    if phase == "summary":
        play = start_play(run_dir, "--fast", "--length", "2", "--blue", stubborn_agent(tmp_path))
        # The server is done; the stubborn agents linger and the run waits for them.
        assert wait_for(lambda: (run_dir / "summary.txt").exists() and
                        "final score" in (run_dir / "summary.txt").read_text())
        time.sleep(0.3)
    else:
        play = start_play(run_dir, "--length", "30")
        assert wait_for(lambda: (run_dir / "server.log").exists())
        if phase == "mid-match":
            assert wait_for(lambda: len(robot_pids(run_dir)) == 6)
            time.sleep(1.0)
    os.kill(play.pid, sig)
    out, err = play.communicate(timeout=15)
    assert play.returncode == status, err.decode()
    assert leftovers(run_dir) == []
    assert no_group_left(robot_pids(run_dir))
    if phase != "start-up":
        record = json.loads((run_dir / "run.json").read_text())
        assert record["outcome"] == "interrupted"


def test_a_team_that_cannot_start_fails_the_run(tmp_path):
    run_dir = tmp_path / "run"
    play = start_play(run_dir, "--fast", "--length", "3", "--yellow", "/bin/false")
    out, err = play.communicate(timeout=60)
    assert play.returncode == 1
    assert "the yellow team could not start" in err.decode()
    record = json.loads((run_dir / "run.json").read_text())
    assert record["outcome"] == "fault" and not record["teams"]["yellow"]["started"]
    # /bin/false ran: the tournament counts this as yellow's loss, not a fault to replay.
    assert record["fault_team"] == "yellow"
    assert not any(r.get("not_started") for r in record["teams"]["yellow"]["robots"])
    assert record["teams"]["blue"]["started"]
    assert leftovers(run_dir) == []


def test_a_server_that_dies_mid_match_stops_the_teams(tmp_path):
    run_dir = tmp_path / "run"
    play = start_play(run_dir, "--length", "30")
    assert wait_for(lambda: len(robot_pids(run_dir)) == 6)
    time.sleep(0.5)
    server = [int(pid) for pid, cmd in leftovers(run_dir) if "simserver" in cmd]
    assert len(server) == 1
    os.kill(server[0], signal.SIGKILL)
    started = time.monotonic()
    out, err = play.communicate(timeout=15)
    assert time.monotonic() - started < 5
    assert play.returncode == 1
    record = json.loads((run_dir / "run.json").read_text())
    assert record["outcome"] == "fault" and record["first_ended"] == "simserver"
    assert record["server"]["exit"] == 128 + signal.SIGKILL
    assert leftovers(run_dir) == [] and no_group_left(robot_pids(run_dir))


def test_a_finished_match_tells_every_exit(tmp_path):
    run_dir = tmp_path / "run"
    play = start_play(run_dir, "--fast", "--length", "3", "--seed", "3", "--blue", "agent-b",
                      "--yellow-set", "LOG_LEVEL=INFO")
    out, err = play.communicate(timeout=60)
    assert play.returncode == 0, err.decode()
    record = json.loads((run_dir / "run.json").read_text())
    assert record["outcome"] == "finished" and record["seed"] == 3 and record["server"]["exit"] == 0
    assert [r["exit"] for c in ("yellow", "blue") for r in record["teams"][c]["robots"]] == [0] * 6
    assert record["programs"] == {"yellow": "agent", "blue": "agent-b"}
    assert "LOG_LEVEL=INFO" in (run_dir / "1-yellow-GO" / "config.ini").read_text().splitlines()
    assert (run_dir / "match.html").stat().st_size > 0

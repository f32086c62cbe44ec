"""End to end: real tournaments of the real agents on the real server.

Needs SOCCER_BUILD_DIR (the build folder with agent, agent-b and simserver).
Scores change with the physics, so the checks are about consistency: rows
against records, totals against rows, the page against the table. Matches
are short (a few seconds of play) to keep CI quick.
"""

import csv
import glob
import hashlib
import json
import os
import re
import shutil
import signal
import socket
import stat
import subprocess
import time

import pytest

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
BUILD = os.path.abspath(os.environ.get("SOCCER_BUILD_DIR", os.path.join(ROOT, "build")))
TOURNAMENT = os.path.join(ROOT, "scripts", "tournament.sh")
PLAY = os.path.join(ROOT, "scripts", "play.sh")
LENGTH = "4"
RUN_TIMEOUT = 240
FIRST_COLUMNS = ["seed", "scenario", "yellow_program", "blue_program", "yellow_goals", "blue_goals"]

pytestmark = pytest.mark.skipif(not os.access(os.path.join(BUILD, "simserver"), os.X_OK),
                                reason="no simserver built in SOCCER_BUILD_DIR")


def run(args, timeout=RUN_TIMEOUT):
    env = dict(os.environ, SOCCER_BUILD_DIR=BUILD)
    return subprocess.run(args, cwd=ROOT, env=env, capture_output=True, text=True, timeout=timeout)


def start(args):
    env = dict(os.environ, SOCCER_BUILD_DIR=BUILD)
    return subprocess.Popen(args, cwd=ROOT, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def read_rows(out):
    with open(os.path.join(out, "results.csv"), newline="") as f:
        return list(csv.DictReader(f))


def record_ends(folder):
    header, last = None, None
    with open(os.path.join(folder, "record.jsonl")) as f:
        for line in f:
            obj = json.loads(line)
            if obj.get("type") == "header":
                header = obj
            else:
                last = obj
    return header, last


def table_rows(stdout):
    """contender -> (matches, wins, draws, losses, points) from the printed table."""
    rows = {}
    for line in stdout.splitlines():
        m = re.match(r"^(\S+)\s+(\d+)\s+(\d+)\s+(\d+)\s+(\d+)\s+(\d+)\s+\d+:\d+\s", line)
        if m:
            rows[m.group(1)] = tuple(int(m.group(i)) for i in range(2, 7))
    return rows


def plan(out):
    with open(os.path.join(out, "tournament.json")) as f:
        return json.load(f)


def check_rows_against_records(out, rows):
    p = plan(out)
    pinned = {c["label"]: c["program"] for c in p["contenders"]}
    for row in rows:
        folder = os.path.join(out, row["folder"])
        header, last = record_ends(folder)
        assert (int(row["yellow_goals"]), int(row["blue_goals"])) == (
            last["score"]["yellow"], last["score"]["blue"]), row["folder"]
        assert header["programs"] == {"yellow": pinned[row["yellow_program"]],
                                      "blue": pinned[row["blue_program"]]}
        assert header["seed"] == int(row["seed"])
        assert os.path.exists(os.path.join(folder, "match.html")), row["folder"]


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def executable(path, text):
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, stat.S_IRWXU)
    return path


def test_a_round_of_two_programs_adds_up(tmp_path):
    out = str(tmp_path / "t")
    r = run([TOURNAMENT, "--programs", "agent,agent-b", "--seeds", "2", "--length", LENGTH, "--jobs", "2",
             "--out", out, "--seed-offset", "0"])
    assert r.returncode == 0, r.stdout + r.stderr
    with open(os.path.join(out, "results.csv")) as f:
        header = f.readline().strip().split(",")
    assert header[:6] == FIRST_COLUMNS and header[-1] == "folder"
    rows = read_rows(out)
    assert sorted((r["seed"], r["yellow_program"], r["blue_program"]) for r in rows) == [
        ("1", "agent", "agent-b"), ("1", "agent-b", "agent"), ("2", "agent", "agent-b"), ("2", "agent-b", "agent")]
    check_rows_against_records(out, rows)
    for row in rows:
        assert row["yellow_exit"] == "0 0 0" and row["blue_exit"] == "0 0 0"

    table = table_rows(r.stdout)
    assert set(table) == {"agent", "agent-b"}, r.stdout
    for matches, w, d, l_, points in table.values():
        assert (matches, w + d + l_, points) == (4, 4, 3 * w + d)
    assert table["agent"][1] == table["agent-b"][3]  # one's wins are the other's losses
    yellow_wins = sum(int(r["yellow_goals"]) > int(r["blue_goals"]) for r in rows)
    m = re.search(r"colour: yellow won (\d+), drew (\d+), lost (\d+) of 4 matches", r.stdout)
    assert m and int(m.group(1)) == yellow_wins, r.stdout
    assert "agent-b against agent: cannot tell yet (2 complete pairs; a verdict needs 6)" in r.stdout
    m = re.search(r"agent-b \u2212 agent: 2 pairs, pentanomial (\d) (\d) (\d) (\d) (\d)", r.stdout)
    assert m and sum(int(g) for g in m.groups()) == 2, r.stdout

    # Pinned: the copies are what the build had, and their hashes are recorded.
    p = plan(out)
    for c in p["contenders"]:
        assert sha256(os.path.join(out, c["program"])) == c["sha256"] == sha256(os.path.join(BUILD, c["label"]))
    with open(os.path.join(out, "report.html")) as f:
        page = f.read()
    assert 'data-matches="4"' in page and page.count('/match.html">') == 4
    for c in p["contenders"]:
        assert c["sha256"] in page
    for label, (matches, w, d, l_, points) in table.items():
        assert "<tr><td>%s</td><td>%d</td><td>%d</td><td>%d</td><td>%d</td><td>%d</td>" % (
            label, matches, w, d, l_, points) in page
    assert page.count('class="chart pentanomial"') == 1


def test_sprt_decides_for_agent_against_a_program_that_exits_at_once(tmp_path):
    quitter = executable(str(tmp_path / "quitter"), "#!/bin/sh\nexit 3\n")
    out = str(tmp_path / "t")
    r = run([TOURNAMENT, "--programs", "agent," + quitter, "--baseline", quitter, "--sprt", "0,50", "--length",
             "3", "--jobs", "4", "--out", out])
    assert r.returncode == 0, r.stdout + r.stderr
    m = re.search(r"agent plays better than \S+ \(SPRT H1 accepted: nearer \+50 than \+0 Elo, LLR [0-9.]+ "
                  r"\u2265 2.94, (\d+) seeds\)", r.stdout)
    assert m and int(m.group(1)) <= 16, r.stdout
    rows = read_rows(out)
    check_rows_against_records(out, rows)
    for row in rows:
        side = "yellow" if row["yellow_program"] == quitter else "blue"
        assert row[side + "_exit"] == "3 3 3"
        assert row["note"].endswith("a loss for " + side)
    with open(os.path.join(out, "report.html")) as f:
        assert f.read().count('class="chart llr"') == 1


def test_a_gauntlet_plays_each_candidate_against_the_baseline_only(tmp_path):
    out = str(tmp_path / "t")
    r = run([TOURNAMENT, "--programs", "agent-b,agent,agent-c", "--baseline", "agent", "--seeds", "1",
             "--length", "2", "--jobs", "2", "--out", out])
    assert r.returncode == 0, r.stdout + r.stderr
    assert sorted((row["yellow_program"], row["blue_program"]) for row in read_rows(out)) == [
        ("agent", "agent-b"), ("agent", "agent-c"), ("agent-b", "agent"), ("agent-c", "agent")]
    for candidate in ("agent-b", "agent-c"):
        assert "%s against agent: cannot tell yet (1 complete pair; a verdict needs 6)" % candidate in r.stdout
    assert re.search(r"^agent\s+4 .* 0 \(baseline\)$", r.stdout, re.M), r.stdout
    with open(os.path.join(out, "report.html")) as f:
        assert f.read().count('class="identical"') == 2


def test_two_programs_that_both_fail_are_a_broken_match_not_a_verdict(tmp_path):
    first = executable(str(tmp_path / "first"), "#!/bin/sh\nexit 3\n")
    second = executable(str(tmp_path / "second"), "#!/bin/sh\nexit 3\n")
    out = str(tmp_path / "t")
    r = run([TOURNAMENT, "--programs", first + "," + second, "--sprt", "--length", "3", "--jobs", "2", "--out", out])
    assert r.returncode == 1, r.stdout + r.stderr
    assert re.fullmatch(r"tournament.sh: match s\d+-\d-\w+-vs-\d-\w+ failed 3 times \(both programs failed to "
                        r"start \(one in each colour\)\); a broken match is no evidence, so there is no verdict",
                        r.stderr.strip()), r.stderr
    assert "accepted" not in r.stdout and "plays" not in r.stdout and "contender" not in r.stdout


def test_an_agent_that_hangs_after_connecting_loses_as_a_crash_would(tmp_path):
    hung = executable(str(tmp_path / "hung"),
                      "#!/bin/sh\n# Plays for a moment, then stops answering while staying alive.\n"
                      "'%s' \"$@\" &\npid=$!\ntrap 'kill -KILL $pid; exit 0' TERM INT\nsleep 0.3\n"
                      "kill -STOP $pid\nwhile :; do sleep 0.05; done\n" % os.path.join(BUILD, "agent"))
    out = str(tmp_path / "t")
    r = run([TOURNAMENT, "--programs", "agent," + hung, "--seeds", "1", "--length", "3", "--jobs", "2",
             "--out", out])
    assert r.returncode == 0, r.stdout + r.stderr
    rows = read_rows(out)
    assert len(rows) == 2
    for row in rows:
        side = "yellow" if row["yellow_program"] == hung else "blue"
        assert row[side + "_exit"] == "running running running"
        assert re.search(r"GO left \d+ of \d+ steps unanswered.*a loss for " + side, row["note"]), row
    assert table_rows(r.stdout)[hung][1:4] == (0, 0, 2), r.stdout


def test_seed_offset_is_recorded_and_repeats_a_run(tmp_path):
    first = str(tmp_path / "a")
    r = run([TOURNAMENT, "--programs", "agent,agent-b", "--seeds", "1", "--length", "2", "--out", first])
    assert r.returncode == 0, r.stdout + r.stderr
    offset = plan(first)["seed_offset"]
    assert offset > 0 and "seeds %d to %d" % (offset + 1, offset + 1) in r.stdout
    again = str(tmp_path / "b")
    r = run([TOURNAMENT, "--programs", "agent,agent-b", "--seeds", "1", "--length", "2", "--out", again,
             "--seed-offset", str(offset)])
    assert r.returncode == 0, r.stdout + r.stderr
    rows = [read_rows(d) for d in (first, again)]
    assert [row["seed"] for row in rows[0]] == [str(offset + 1)] * 2
    for a, b in zip(*rows):
        assert (a["folder"], a["yellow_goals"], a["blue_goals"]) == (b["folder"], b["yellow_goals"], b["blue_goals"])
        assert record_ends(os.path.join(first, a["folder"]))[1] == record_ends(os.path.join(again, b["folder"]))[1]


def test_a_pinned_copy_of_itself_is_never_called_better_and_spaces_are_fine(tmp_path):
    spaced = tmp_path / "a dir; with $pace"
    spaced.mkdir()
    copy = str(spaced / "agent copy")
    shutil.copy(os.path.join(BUILD, "agent"), copy)
    out = str(spaced / "t 1")
    r = run([TOURNAMENT, "--programs", "agent," + copy, "--sprt", "0,50", "--max-seeds", "12", "--length", "3",
             "--jobs", "4", "--out", out])
    assert r.returncode == 0, r.stdout + r.stderr
    assert "plays better than" not in r.stdout
    assert re.search(r"agent copy does not play \+50 Elo better than agent .*H0 accepted|no decision after 12 seeds",
                     r.stdout), r.stdout
    # A copy plays every seed as the original does.
    m = re.search(r"(\d+) of (\d+) pairs identical in both colours", r.stdout)
    assert m and m.group(1) == m.group(2), r.stdout
    rows = read_rows(out)
    assert rows and all(row["note"] == "" or "unanswered" in row["note"] for row in rows)
    check_rows_against_records(out, rows)


def test_a_rebuild_mid_tournament_changes_nothing_and_settings_reach_every_robot(tmp_path):
    build = tmp_path / "build"
    build.mkdir()
    program = str(build / "agent")
    shutil.copy(os.path.join(BUILD, "agent"), program)
    pinned_hash = sha256(program)
    out = str(tmp_path / "t")
    proc = start([TOURNAMENT, "--programs", program + ":KICKABLE=120,agent-b", "--seeds", "2", "--length",
                  LENGTH, "--jobs", "1", "--out", out, "--seed-offset", "0"])
    deadline = time.time() + RUN_TIMEOUT
    while time.time() < deadline and not glob.glob(os.path.join(out, "s0001-*", "run.json")):
        time.sleep(0.05)
    assert proc.poll() is None, "the tournament ended before the rebuild"
    # The "rebuild": the source now quits at once.
    os.remove(program)
    executable(program, "#!/bin/sh\nexit 3\n")
    stdout, stderr = proc.communicate(timeout=RUN_TIMEOUT)
    assert proc.returncode == 0, stdout + stderr
    rows = read_rows(out)
    assert len(rows) == 4
    for row in rows:
        assert row["yellow_exit"] == row["blue_exit"] == "0 0 0", row
    assert plan(out)["contenders"][0]["sha256"] == pinned_hash
    for row in rows:
        for colour in ("yellow", "blue"):
            wanted = "120" if row[colour + "_program"].endswith(":KICKABLE=120") else "80"
            configs = glob.glob(os.path.join(out, row["folder"], "*-%s-*" % colour, "config.ini"))
            assert len(configs) == 3
            for path in configs:
                with open(path) as f:
                    assert re.search(r"^KICKABLE=(\S+)$", f.read(), re.M).group(1) == wanted, path


def test_interrupt_resume_and_extend(tmp_path):
    out = str(tmp_path / "t")
    proc = start([TOURNAMENT, "--programs", "agent,agent-b", "--seeds", "2", "--length", LENGTH, "--jobs", "1",
                  "--out", out])
    deadline = time.time() + RUN_TIMEOUT
    while time.time() < deadline and not glob.glob(os.path.join(out, "s*", "run.json")):
        time.sleep(0.05)
    # A second run on the same folder is kept out while the first holds it.
    second = run([TOURNAMENT, "--resume", out], timeout=60)
    assert second.returncode == 1 and "another tournament run is using" in second.stderr, second.stderr
    proc.send_signal(signal.SIGINT)
    stdout, stderr = proc.communicate(timeout=RUN_TIMEOUT)
    assert proc.returncode == 130, stdout + stderr
    assert "--resume" in stderr
    first = read_rows(out)
    assert 1 <= len(first) < 4, "cut short too late to test --resume"
    kept = {row["folder"]: os.stat(os.path.join(out, row["folder"], "summary.json")).st_mtime_ns for row in first}

    r = run([TOURNAMENT, "--resume", out, "--jobs", "2"])
    assert r.returncode == 0, r.stdout + r.stderr
    assert "%d of 4 matches already played" % len(first) in r.stdout
    assert len(read_rows(out)) == 4
    r = run([TOURNAMENT, "--resume", out, "--seeds", "3", "--jobs", "2"])
    assert r.returncode == 0, r.stdout + r.stderr
    assert "4 of 6 matches already played" in r.stdout
    rows = read_rows(out)
    assert len(rows) == 6
    check_rows_against_records(out, rows)
    for folder, mtime in kept.items():
        assert os.stat(os.path.join(out, folder, "summary.json")).st_mtime_ns == mtime, folder


def test_a_changed_pinned_program_stops_resume(tmp_path):
    out = str(tmp_path / "t")
    r = run([TOURNAMENT, "--programs", "agent,agent-b", "--seeds", "1", "--length", "2", "--jobs", "2", "--out", out])
    assert r.returncode == 0, r.stdout + r.stderr
    with open(os.path.join(out, "programs", "agent-b"), "ab") as f:
        f.write(b"\0")
    r = run([TOURNAMENT, "--resume", out, "--seeds", "2"])
    assert r.returncode == 1 and len(r.stderr.strip().splitlines()) == 1, r.stderr
    assert "programs/agent-b is not the pinned build" in r.stderr
    assert not glob.glob(os.path.join(out, "s0002-*"))


def test_a_family_scenario_is_pinned_shared_by_a_pair_and_replayed_on_resume(tmp_path):
    family = str(tmp_path / "fam.ini")
    shutil.copyfile(os.path.join(ROOT, "config", "scenario-3v3-family.ini"), family)
    out = str(tmp_path / "t")
    r = run([TOURNAMENT, "--programs", "agent,statue", "--scenario", family, "--seeds", "1", "--length", "2",
             "--jobs", "2", "--out", out])
    assert r.returncode == 0, r.stdout + r.stderr
    copy = os.path.join(out, "scenario.ini")
    pinned = plan(out)["scenario_file"]
    with open(copy, "rb") as f:
        assert pinned == {"path": "scenario.ini", "source": family, "sha256": hashlib.sha256(f.read()).hexdigest()}
    assert plan(out)["scenario"] == "fam.ini" and pinned["sha256"] in r.stdout
    with open(os.path.join(out, "report.html")) as f:
        assert pinned["sha256"] in f.read()
    assert {row["scenario"] for row in read_rows(out)} == {"fam.ini"}

    def fields(seed):
        found = []
        for folder in glob.glob(os.path.join(out, "s%04d-*" % seed)):
            with open(os.path.join(folder, "run.json")) as f:
                record = json.load(f)
            assert record["scenario"] == copy
            found.append(record["field"])
        assert len(found) == 2 and found[0] == found[1] and found[0]
        return found[0]

    first_seed = plan(out)["seed_offset"] + 1
    # The source may go: --resume plays the pinned copy.
    os.remove(family)
    r = run([TOURNAMENT, "--resume", out, "--seeds", "2", "--jobs", "2"])
    assert r.returncode == 0, r.stdout + r.stderr
    assert fields(first_seed) != fields(first_seed + 1)
    with open(copy, "a") as f:
        f.write("BALL_KEEP=0.8\n")
    r = run([TOURNAMENT, "--resume", out, "--seeds", "3"])
    assert r.returncode == 1 and len(r.stderr.strip().splitlines()) == 1, r.stderr
    assert "scenario.ini is not the pinned copy of the scenario" in r.stderr
    assert not glob.glob(os.path.join(out, "s%04d-*" % (first_seed + 2)))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


@pytest.fixture
def loopback_ssh(tmp_path):
    """An sshd of our own on the loopback address, with its own keys; the
    test is skipped where none can be started (no sshd, ssh or rsync, not root)."""
    tools = ["/usr/sbin/sshd", shutil.which("ssh"), shutil.which("ssh-keygen"), shutil.which("rsync")]
    if not all(tools) or not os.path.exists(tools[0]) or os.geteuid() != 0:
        pytest.skip("no sshd can be started on the loopback address here")
    d = str(tmp_path / "ssh")
    os.makedirs(d)
    for key in ("host", "user"):
        subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", os.path.join(d, key)], check=True)
    shutil.copy(os.path.join(d, "user.pub"), os.path.join(d, "authorized_keys"))
    port = free_port()
    with open(os.path.join(d, "sshd_config"), "w") as f:
        f.write("Port %d\nListenAddress 127.0.0.1\nHostKey %s/host\nAuthorizedKeysFile %s/authorized_keys\n"
                "PasswordAuthentication no\nKbdInteractiveAuthentication no\nUsePAM no\nStrictModes no\n"
                "PermitRootLogin yes\n" % (port, d, d))
    with open(os.path.join(d, "ssh_config"), "w") as f:
        f.write("Host *\n  Port %d\n  IdentityFile %s/user\n  StrictHostKeyChecking no\n"
                "  UserKnownHostsFile /dev/null\n  LogLevel ERROR\n  BatchMode yes\n  ConnectTimeout 5\n" % (port, d))
    os.makedirs("/run/sshd", exist_ok=True)
    sshd = subprocess.Popen(["/usr/sbin/sshd", "-D", "-f", os.path.join(d, "sshd_config"),
                             "-E", os.path.join(d, "sshd.log")])
    login = ["ssh", "-F", os.path.join(d, "ssh_config"), "127.0.0.1"]
    deadline = time.time() + 10
    while time.time() < deadline and subprocess.run(login + ["true"], capture_output=True).returncode != 0:
        time.sleep(0.2)
    try:
        yield " ".join(login)
    finally:
        sshd.terminate()
        sshd.wait()


def test_matches_run_over_ssh_on_pinned_copies_and_come_back(tmp_path, loopback_ssh):
    hosts = str(tmp_path / "hosts")
    with open(hosts, "w") as f:
        f.write("# this machine, over ssh\n%s\n" % loopback_ssh)
    out = str(tmp_path / "t x")
    family = os.path.join(ROOT, "config", "scenario-3v3-family.ini")
    r = run([TOURNAMENT, "--programs", "agent,agent-b", "--seeds", "1", "--length", LENGTH, "--hosts", hosts,
             "--scenario", family, "--out", out])
    assert r.returncode == 0, r.stdout + r.stderr
    rows = read_rows(out)
    assert len(rows) == 2
    check_rows_against_records(out, rows)
    # The pinned scenario travelled with the kit: both matches drew the family's field.
    fields = []
    for row in rows:
        with open(os.path.join(out, row["folder"], "run.json")) as f:
            fields.append(json.load(f)["field"])
    assert fields[0] == fields[1] and "BALL_KEEP" in fields[0]
    with open(os.path.join(out, "joblog.txt")) as f:
        assert "127.0.0.1" in f.read()
    # The remote work folder is cleaned away at the end.
    assert not glob.glob(os.path.expanduser("~/.soccer-tournament-%s" % plan(out)["id"]))


def test_a_host_that_stops_answering_hands_its_matches_to_the_others(tmp_path):
    # An ssh stand-in that runs the command here; it answers the two checks
    # (at the start and before the first round), then the host is "down".
    calls = tmp_path / "calls"
    fake = executable(str(tmp_path / "fakessh"),
                      "#!/bin/sh\necho >> '%s'\n[ $(wc -l < '%s') -gt 2 ] && exit 255\n"
                      "while [ $# -gt 0 ]; do case \"$1\" in fakehost) shift; break ;; *) shift ;; esac; done\n"
                      "[ \"${1:-}\" = -- ] && shift\ncd\nexec sh -c \"$*\"\n" % (calls, calls))
    hosts = tmp_path / "hosts"
    hosts.write_text(":\n%s fakehost\n" % fake)
    out = str(tmp_path / "t")
    r = run([TOURNAMENT, "--programs", "agent,agent-b", "--seeds", "2", "--length", "2", "--jobs", "1",
             "--hosts", str(hosts), "--out", out])
    assert r.returncode == 0, r.stdout + r.stderr
    # The "host" is this machine: what the tournament could not clean there, the test does.
    shutil.rmtree(os.path.expanduser("~/.soccer-tournament-%s" % plan(out)["id"]), ignore_errors=True)
    assert "fakehost does not answer; its matches go to the other hosts" in r.stderr
    assert len(read_rows(out)) == 4


@pytest.fixture(scope="module")
def bad_files(tmp_path_factory):
    d = tmp_path_factory.mktemp("bad")
    empty = d / "hosts"
    empty.write_text("")
    plain = d / "plain"
    plain.write_text("")
    dead = d / "dead-hosts"
    dead.write_text("ssh -o BatchMode=yes -o ConnectTimeout=3 -p %d 127.0.0.1\n" % free_port())
    family = d / "family.ini"
    family.write_text("BALL_KEEP=0.9..0.8\n")
    return {"TMP": str(d), "EMPTY": str(empty), "PLAIN": str(plain), "DEAD": str(dead), "NONE": str(d / "none"),
            "FAMILY": str(family)}


BAD = [
    ([TOURNAMENT, "--programs", "agent,agent-x"], "unknown program 'agent-x'"),
    ([TOURNAMENT, "--programs", "agent,PLAIN"], "is not an executable file"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--seeds", "0"], "--seeds needs"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--length", "ten"], "--length needs"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--hosts", "NONE"], "--hosts"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--hosts", "EMPTY"], "names no host"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--hosts", "DEAD"], "cannot be reached"),
    ([TOURNAMENT, "--programs", "agent"], "at least two programs"),
    ([TOURNAMENT, "--programs", "agent,agent", "--seeds", "1"], "twice"),
    ([TOURNAMENT, "--resume", "TMP"], "not a tournament folder"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--jobs", "0"], "--jobs needs"),
    ([TOURNAMENT, "--programs", "agent,agent-b,agent-c", "--sprt", "0,50"], "--sprt tests one candidate"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--sprt", "nelo:5,0"], "ELO0 below ELO1"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--sprt", "--alpha", "0.7"], "--alpha needs an error rate"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--beta", "0.1"], "--alpha and --beta are the error rates"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--baseline", "agent-c"], "--baseline agent-c is none of"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--seed-offset", "x"], "--seed-offset needs a whole number"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--seeds", "1", "--seeds", "2"], "--seeds is given twice"),
    ([TOURNAMENT, "--programs", "agent,agent-b:KICKABLE=abc"], "KICKABLE=abc: expected a number"),
    ([TOURNAMENT, "--programs", "agent,agent-b@NONE"], "cannot read"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--sprt", "50,0"], "ELO0 below ELO1"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--sprt", "--max-seeds", "0"], "--max-seeds needs"),
    ([TOURNAMENT, "--programs", "agent,agent-b:NO_SUCH_KEY=1"], "NO_SUCH_KEY=1: no such key"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--length=ten"], "--length needs"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--frobnicate"], "unknown option --frobnicate"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--scenario", "FAMILY"], "BALL_KEEP: the range 0.9..0.8 has LOW"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--scenario", "NONE"], "is not a file"),
    ([TOURNAMENT, "--programs", "agent,agent-b", "--scenario", "PLAIN", "--5v5"], "both choose the field"),
    ([TOURNAMENT, "--resume", "TMP", "--scenario", "PLAIN"], "--resume takes the settings"),
    ([PLAY, "--scenario", "FAMILY"], "BALL_KEEP: the range 0.9..0.8 has LOW"),
    ([PLAY, "--length", "0"], "--length needs seconds greater than 0"),
    ([PLAY, "--length", "abc"], "--length needs"),
    ([PLAY, "--seed", "x"], "--seed needs a whole number"),
    ([PLAY, "--yellow", "agent-z"], "unknown program 'agent-z'"),
    ([PLAY, "--blue", "PLAIN"], "is not an executable file"),
    ([PLAY, "--frobnicate"], "unknown option --frobnicate"),
]


@pytest.mark.parametrize("args, message", BAD, ids=[" ".join(a[1:]) for a, _ in BAD])
def test_each_bad_input_is_named_and_nothing_starts(args, message, bad_files):
    args = [args[0]] + [re.sub(r"\b(TMP|EMPTY|PLAIN|DEAD|NONE|FAMILY)\b", lambda m: bad_files[m.group(1)], a)
                        for a in args[1:]]
    runs_dir = os.path.join(ROOT, "runs")
    before = sorted(os.listdir(runs_dir)) if os.path.isdir(runs_dir) else []
    r = run(args, timeout=60)
    assert r.returncode == 1, r.stderr
    assert len(r.stderr.strip().splitlines()) == 1, r.stderr
    assert message in r.stderr
    after = sorted(os.listdir(runs_dir)) if os.path.isdir(runs_dir) else []
    assert before == after

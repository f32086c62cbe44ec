"""End to end: real tournaments of the real agents on the real server.

Needs SOCCER_BUILD_DIR (the build folder with agent, agent-b and simserver).
Scores change with the physics, so the checks are about consistency: rows
against records, totals against rows, the page against the table.
"""

import csv
import glob
import json
import os
import re
import shutil
import signal
import socket
import stat
import subprocess
import tempfile
import time
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
BUILD = os.path.abspath(os.environ.get("SOCCER_BUILD_DIR", os.path.join(ROOT, "build")))
TOURNAMENT = os.path.join(ROOT, "scripts", "tournament.sh")
PLAY = os.path.join(ROOT, "scripts", "play.sh")
MATCH_SECONDS = "10"
RUN_TIMEOUT = 150
BROWSER_TIMEOUT = 90
FIRST_COLUMNS = ["seed", "scenario", "yellow_program", "blue_program", "yellow_goals", "blue_goals"]


def run(args, timeout=RUN_TIMEOUT):
    env = dict(os.environ, SOCCER_BUILD_DIR=BUILD)
    return subprocess.run(args, cwd=ROOT, env=env, capture_output=True, text=True, timeout=timeout)


def read_rows(out):
    with open(os.path.join(out, "results.csv"), newline="") as f:
        return list(csv.DictReader(f))


def last_record_line(folder):
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
    """program -> (matches, wins, draws, losses, points) from the printed table."""
    rows = {}
    for line in stdout.splitlines():
        m = re.match(r"^(\S+)\s+(\d+)\s+(\d+)\s+(\d+)\s+(\d+)\s+(\d+)\s+[-+]", line)
        if m:
            rows[m.group(1)] = tuple(int(m.group(i)) for i in range(2, 7))
    return rows


def chromium():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


class Tournaments(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="tournament_e2e_")

    def tearDown(self):
        if os.environ.get("SOCCER_KEEP_RUNS") != "1":  # SOCCER_KEEP_RUNS=1 keeps them for a look
            shutil.rmtree(self.tmp, ignore_errors=True)

    def check_rows_against_records(self, out, rows):
        for row in rows:
            folder = os.path.join(out, row["folder"])
            header, last = last_record_line(folder)
            self.assertEqual((int(row["yellow_goals"]), int(row["blue_goals"])),
                             (last["score"]["yellow"], last["score"]["blue"]), row["folder"])
            self.assertEqual(header["programs"], {"yellow": row["yellow_program"], "blue": row["blue_program"]})
            self.assertEqual(header["seed"], int(row["seed"]))
            self.assertTrue(os.path.exists(os.path.join(folder, "match.html")), row["folder"])

    def test_a_round_of_two_programs_adds_up(self):
        out = os.path.join(self.tmp, "t")
        r = run([TOURNAMENT, "--programs", "agent,agent-b", "--seeds", "2", "--length", MATCH_SECONDS,
                 "--jobs", "2", "--out", out])
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        with open(os.path.join(out, "results.csv")) as f:
            header = f.readline().strip().split(",")
        self.assertEqual(header[:6], FIRST_COLUMNS)
        self.assertEqual(header[-1], "folder")
        rows = read_rows(out)
        # Two seeds, each with both colour assignments.
        self.assertEqual(len(rows), 4)
        self.assertEqual(sorted((r["seed"], r["yellow_program"], r["blue_program"]) for r in rows),
                         [("1", "agent", "agent-b"), ("1", "agent-b", "agent"),
                          ("2", "agent", "agent-b"), ("2", "agent-b", "agent")])
        self.check_rows_against_records(out, rows)
        for row in rows:
            self.assertEqual(row["note"], "")
            self.assertEqual(row["yellow_exit"], "0 0 0")

        table = table_rows(r.stdout)
        self.assertEqual(set(table), {"agent", "agent-b"}, r.stdout)
        for program, (matches, w, d, l_, points) in table.items():
            self.assertEqual(matches, 4)
            self.assertEqual(w + d + l_, matches)
            self.assertEqual(points, 3 * w + d)
        self.assertEqual(table["agent"][1], table["agent-b"][3])  # one's wins are the other's losses
        yellow_wins = sum(int(r["yellow_goals"]) > int(r["blue_goals"]) for r in rows)
        m = re.search(r"colour: yellow won (\d+), drew (\d+), lost (\d+) of (\d+)", r.stdout)
        self.assertIsNotNone(m, r.stdout)
        self.assertEqual(int(m.group(1)), yellow_wins)
        self.assertEqual(sum(int(m.group(i)) for i in (1, 2, 3)), 4)
        self.assertIn("agent against agent-b: cannot tell yet", r.stdout)

        browser = chromium()
        if browser is None or os.environ.get("SOCCER_SKIP_BROWSER") == "1":
            self.skipTest("no headless browser to load report.html")
        page = subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                               "--user-data-dir=" + os.path.join(self.tmp, "profile"), "--dump-dom",
                               "file://" + os.path.join(out, "report.html")],
                              capture_output=True, text=True, timeout=BROWSER_TIMEOUT).stdout
        self.assertIn('data-matches="4"', page)
        self.assertEqual(page.count('/match.html">replay</a>'), 4)
        for program, (matches, w, d, l_, points) in table.items():
            self.assertIn("<tr><td>%s</td><td>%d</td><td>%d</td><td>%d</td><td>%d</td><td>%d</td>"
                          % (program, matches, w, d, l_, points), page)
        self.assertEqual(page.count('class="chart winrate"'), 1)
        self.assertEqual(page.count('class="chart histogram"'), 1)

    def test_a_program_that_exits_at_once_loses(self):
        bad = os.path.join(self.tmp, "quitter")
        with open(bad, "w") as f:
            f.write("#!/bin/sh\nexit 3\n")
        os.chmod(bad, stat.S_IRWXU)
        out = os.path.join(self.tmp, "t")
        r = run([TOURNAMENT, "--programs", "agent," + bad, "--seeds", "1", "--length", "5",
                 "--jobs", "2", "--out", out])
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        rows = read_rows(out)
        self.assertEqual(len(rows), 2)
        self.check_rows_against_records(out, rows)
        for row in rows:
            side = "yellow" if row["yellow_program"] == bad else "blue"
            self.assertEqual(row[side + "_exit"], "3 3 3")
            self.assertIn("a loss for " + side, row["note"])
        table = table_rows(r.stdout)
        self.assertEqual(table[bad][3], 2, r.stdout)  # two losses
        self.assertEqual(table["agent"][1], 2, r.stdout)  # two wins

    def test_resume_plays_only_the_missing_matches(self):
        out = os.path.join(self.tmp, "t")
        env = dict(os.environ, SOCCER_BUILD_DIR=BUILD)
        proc = subprocess.Popen([TOURNAMENT, "--programs", "agent,agent-b", "--seeds", "2", "--length",
                                 MATCH_SECONDS, "--jobs", "1", "--out", out], cwd=ROOT, env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        deadline = time.time() + RUN_TIMEOUT
        while time.time() < deadline and not glob.glob(os.path.join(out, "*", "done")):
            time.sleep(0.05)
        proc.send_signal(signal.SIGINT)
        stdout, stderr = proc.communicate(timeout=RUN_TIMEOUT)
        self.assertEqual(proc.returncode, 130, stdout + stderr)
        self.assertIn("--resume", stderr)
        first = read_rows(out)
        self.assertGreaterEqual(len(first), 1)
        self.assertLess(len(first), 4, "cut short too late to test --resume")
        kept = {row["folder"]: os.stat(os.path.join(out, row["folder"], "summary.json")).st_mtime_ns
                for row in first}

        r = run([TOURNAMENT, "--resume", out, "--jobs", "2"])
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertIn("%d of 4 matches already played" % len(first), r.stdout)
        rows = read_rows(out)
        self.assertEqual(len(rows), 4)
        self.check_rows_against_records(out, rows)
        for folder, mtime in kept.items():
            self.assertEqual(os.stat(os.path.join(out, folder, "summary.json")).st_mtime_ns, mtime, folder)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class LoopbackSsh:
    """An sshd of our own on the loopback address, with its own keys; None when
    this machine cannot run one (no sshd, ssh or rsync, or not root)."""

    @staticmethod
    def start(tmp):
        tools = ["/usr/sbin/sshd", shutil.which("ssh"), shutil.which("ssh-keygen"), shutil.which("rsync")]
        if not all(tools) or not os.path.exists(tools[0]) or os.geteuid() != 0:
            return None
        d = os.path.join(tmp, "ssh")
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
                    "  UserKnownHostsFile /dev/null\n  LogLevel ERROR\n  BatchMode yes\n" % (port, d))
        os.makedirs("/run/sshd", exist_ok=True)
        sshd = subprocess.Popen(["/usr/sbin/sshd", "-D", "-f", os.path.join(d, "sshd_config"),
                                 "-E", os.path.join(d, "sshd.log")])
        login = ["ssh", "-F", os.path.join(d, "ssh_config"), "127.0.0.1"]
        deadline = time.time() + 10
        while time.time() < deadline:
            if subprocess.run(login + ["true"], capture_output=True).returncode == 0:
                return sshd, " ".join(login)
            time.sleep(0.2)
        sshd.terminate()
        sshd.wait()
        return None


class RemoteHosts(unittest.TestCase):
    def test_matches_run_over_ssh_and_come_back(self):
        tmp = tempfile.mkdtemp(prefix="tournament_ssh_")
        started = LoopbackSsh.start(tmp)
        if started is None:
            shutil.rmtree(tmp, ignore_errors=True)
            self.skipTest("no sshd can be started on the loopback address here")
        sshd, login = started
        try:
            hosts = os.path.join(tmp, "hosts")
            with open(hosts, "w") as f:
                f.write("# this machine, over ssh\n%s\n" % login)
            out = os.path.join(tmp, "t")
            r = run([TOURNAMENT, "--programs", "agent,agent-b", "--seeds", "1", "--length", MATCH_SECONDS,
                     "--hosts", hosts, "--out", out])
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
            rows = read_rows(out)
            self.assertEqual(len(rows), 2)
            with open(os.path.join(out, "joblog.txt")) as f:
                self.assertIn("127.0.0.1", f.read())
        finally:
            sshd.terminate()
            sshd.wait()
            shutil.rmtree(tmp, ignore_errors=True)


class BadInput(unittest.TestCase):
    def test_each_bad_input_is_named_and_nothing_starts(self):
        tmp = tempfile.mkdtemp(prefix="tournament_bad_")
        try:
            hosts_empty = os.path.join(tmp, "hosts")
            open(hosts_empty, "w").close()
            not_exec = os.path.join(tmp, "plain")
            open(not_exec, "w").close()
            cases = [
                ([TOURNAMENT, "--programs", "agent,agent-x"], "unknown program 'agent-x'"),
                ([TOURNAMENT, "--programs", "agent," + not_exec], "is not an executable file"),
                ([TOURNAMENT, "--programs", "agent,agent-b", "--seeds", "0"], "--seeds needs"),
                ([TOURNAMENT, "--programs", "agent,agent-b", "--length", "ten"], "--length needs"),
                ([TOURNAMENT, "--programs", "agent,agent-b", "--hosts", os.path.join(tmp, "none")],
                 "--hosts"),
                ([TOURNAMENT, "--programs", "agent,agent-b", "--hosts", hosts_empty], "names no host"),
                ([TOURNAMENT, "--programs", "agent"], "at least two programs"),
                ([TOURNAMENT, "--programs", "agent,agent", "--seeds", "1"], "twice"),
                ([TOURNAMENT, "--resume", tmp], "not a tournament folder"),
                ([TOURNAMENT, "--programs", "agent,agent-b", "--jobs", "0"], "--jobs needs"),
                ([PLAY, "--length", "0"], "--length needs seconds greater than 0"),
                ([PLAY, "--length", "abc"], "--length needs"),
                ([PLAY, "--seed", "x"], "--seed needs a whole number"),
                ([PLAY, "--yellow", "agent-z"], "unknown program 'agent-z'"),
                ([PLAY, "--blue", not_exec], "is not an executable file"),
                ([PLAY, "--frobnicate"], "unknown option --frobnicate"),
            ]
            runs_dir = os.path.join(ROOT, "runs")
            before = sorted(os.listdir(runs_dir)) if os.path.isdir(runs_dir) else []
            for args, message in cases:
                with self.subTest(args=args[1:]):
                    r = run(args, timeout=60)
                    self.assertEqual(r.returncode, 1, r.stderr)
                    self.assertEqual(len(r.stderr.strip().splitlines()), 1, r.stderr)
                    self.assertIn(message, r.stderr)
            after = sorted(os.listdir(runs_dir)) if os.path.isdir(runs_dir) else []
            self.assertEqual(before, after)
        finally:
            shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()

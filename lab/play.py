"""lab play: one match on the simulated server. Starts simserver and one agent
per robot of the scenario (each in its own folder with generated settings),
follows the match, stops everything it started and prints the summary. Every
file of the run stays in runs/<date-time>/, with match.html, a page that
replays the match in a web browser, and run.json, what happened to each
process."""
import json
import os
import re
import subprocess
import sys
import time
from dataclasses import dataclass, field

from .errors import Refused
from .exits import NEVER_CONNECTED, NOT_STARTED, RUNNING
from .layout import agent_program, find_layout
from .props import SettingsFile, read_bytes, write_whole
from .robots import parse_setting, scenario_robots
from .supervisor import Supervisor
from .team import TeamRun, date_folder, next_value, prog_name, stray_argument

USAGE = """\
Usage: {prog} [options]
  --length SECONDS   play time of the match (default 60)
  --5v5              5 against 5 instead of 3 against 3
  --fast             lock-step mode: the match runs as fast as the agents answer
  --seed N           camera seed: each seed draws its own camera noise, so its own
                     match (default: a fresh seed, printed so it can be played again)
  --exact            a camera without noise (every seed then plays the same match)
  --yellow PROGRAM   the yellow team's agent program (default agent)
  --blue PROGRAM     the blue team's agent program (default agent)
                     PROGRAM: agent, agent-b, agent-c, statue (built in the build folder)
                     or the path of an agent executable
  --yellow-set KEY=VALUE, --blue-set KEY=VALUE
                     a setting (a key of config.ini) for every robot of that
                     team (repeatable)
  --simserver PATH   the server program to run (default simserver of the build
                     folder)
  --dir DIR          put the run's files in DIR (a new folder) instead of
                     runs/<date-time>/
  --watch            watch the match live: prints an address to open in a web
                     browser while the match is on (on this machine only)
  --watch-port N     --watch on port N instead of a free one
  --help             this text
The run's files (agent settings and logs, server log, replay record.jsonl,
summary.txt, summary.json, run.json) are kept in runs/<date-time>/, with
match.html: open it in a web browser to watch the match.
Exit status: 0 after a match played to the end, 1 for bad input, a team that
could not start or a server that failed, 130 when interrupted (143 on TERM,
129 on HUP).
Environment: SOCCER_BUILD_DIR=DIR uses the programs already built in DIR and
skips the install-and-build step.
"""

# Largest match length simserver accepts, in seconds.
MAX_LENGTH = 86400
# A real camera is never exact: a little noise on what each robot sees makes
# every seed a match of its own.
NOISE = ["--noise-dist", "1", "--noise-angle", "0.2"]
# How long robots that could not connect are started again.
TEAM_WAIT = 10
# How long the agents have to end by themselves once the server has ended the match.
AGENTS_END = 5.0
SERVER_START = 10.0
LISTENING_RE = re.compile(r"^simserver: listening on [^\n]*:([0-9]+) ", re.M)
WATCH_RE = re.compile(r"^simserver: watch live at (\S+)", re.M)


@dataclass
class PlayOptions:
    length: str = "60"
    five: bool = False
    fast: bool = False
    seed: str = ""
    exact: bool = False
    programs: dict = field(default_factory=lambda: {"yellow": "agent", "blue": "agent"})
    sets: dict = field(default_factory=lambda: {"yellow": [], "blue": []})
    simserver: str = ""
    dir: str = ""
    watch: str = ""


def parse_options(argv: list) -> PlayOptions:
    o = PlayOptions()
    i = 0
    valued = ("--length", "--seed", "--yellow", "--blue", "--dir", "--watch-port", "--simserver",
              "--yellow-set", "--blue-set")
    while i < len(argv):
        a = argv[i]
        if a in valued:
            v = next_value(argv, i)
            if a in ("--yellow", "--blue"):
                o.programs[a[2:]] = v
            elif a in ("--yellow-set", "--blue-set"):
                o.sets[a[2:-4]].append(v)
            elif a == "--watch-port":
                o.watch = v
            else:
                setattr(o, a[2:], v)
            i += 2
            continue
        if a == "--5v5":
            o.five = True
        elif a == "--fast":
            o.fast = True
        elif a == "--exact":
            o.exact = True
        elif a == "--watch":
            o.watch = o.watch or "0"
        elif a in ("--help", "-h"):
            raise HelpAsked()
        else:
            raise stray_argument(argv, i)
        i += 1
    return o


class HelpAsked(Exception):
    pass


def check_options(o: PlayOptions) -> None:
    if not re.fullmatch(r"[0-9]+(\.[0-9]+)?", o.length) or not 0 < float(o.length) <= MAX_LENGTH:
        raise Refused(f"--length needs seconds greater than 0 and at most {MAX_LENGTH} (got '{o.length}')")
    if not o.seed:
        # A fresh seed, told to the user so that a good match can be played again.
        o.seed = str(int.from_bytes(os.urandom(4), "little"))
    elif not re.fullmatch(r"[0-9]{1,18}", o.seed):
        raise Refused(f"--seed needs a whole number from 0 to 999999999999999999 (got '{o.seed}')")
    if o.watch and not (re.fullmatch(r"[0-9]{1,5}", o.watch) and int(o.watch) <= 65535):
        raise Refused(f"--watch-port needs a port number from 0 to 65535 (got '{o.watch}')")
    if o.dir:
        o.dir = os.path.abspath(o.dir)
        if os.path.isdir(o.dir) and os.listdir(o.dir) or os.path.exists(o.dir) and not os.path.isdir(o.dir):
            raise Refused(f"--dir {o.dir} is not empty")
    if o.simserver:
        path = os.path.abspath(o.simserver)
        if not (os.path.isfile(path) and os.access(path, os.X_OK)):
            raise Refused(f"--simserver {o.simserver} is not an executable file")
        o.simserver = path


def bootstrap(layout) -> None:
    """Installs and builds what a match needs, as a checkout's first run must."""
    script = os.path.join(layout.root, "scripts", "bootstrap.sh")
    if subprocess.run([script, "play"], cwd=layout.root).returncode != 0:
        raise Refused("installing or building what a match needs failed (see above)")


def read_text(path: str, limit: int = 1 << 22) -> str:
    try:
        with open(path, "rb") as f:
            return f.read(limit).decode("utf-8", "replace")
    except OSError:
        return ""


class Match:
    """One run: its folder, its processes and what became of them."""

    def __init__(self, prog: str, o: PlayOptions, layout, run_dir: str):
        self.prog = prog
        self.o = o
        self.layout = layout
        self.dir = run_dir
        self.server = None
        self.server_status = None
        self.teams = {}
        self.fault = ""
        self.fault_team = None   # the colour whose team could not start
        self.first_ended = ""
        self.log_seen = 0
        self.scenario = layout.config_file("scenario-5v5.ini" if o.five else "scenario-3v3.ini")

    def path(self, name: str) -> str:
        return os.path.join(self.dir, name)

    def say(self, text: str, stream=sys.stdout) -> None:
        print(f"{self.prog}: {text}", file=stream, flush=True)

    def server_argv(self, simserver: str) -> list:
        o = self.o
        argv = [simserver, "--scenario", self.scenario, "--port", "0", "--length", o.length]
        argv += ["--fast"] if o.fast else []
        argv += ["--seed", o.seed] + ([] if o.exact else NOISE)
        argv += ["--yellow-program", o.programs["yellow"], "--blue-program", o.programs["blue"],
                 "--summary", self.path("summary.json"), "--record", self.path("record.jsonl"),
                 "--page", self.path("match.html")]
        argv += ["--http", o.watch] if o.watch else []
        return argv

    def wait_for_port(self, sup: Supervisor):
        end = time.monotonic() + SERVER_START
        while time.monotonic() < end and not sup.interrupted:
            m = LISTENING_RE.search(read_text(self.path("server.log"), 1 << 16))
            if m:
                return int(m.group(1))
            if not self.server.running():
                break
            time.sleep(0.005)
        return None

    def note_ended(self, name: str) -> None:
        if not self.first_ended:
            self.first_ended = name

    def follow(self, sup: Supervisor) -> None:
        """Until the server ends, a team cannot start, or a signal."""
        status_line = not self.o.fast and sys.stdout.isatty()
        next_status = 0.0
        while not sup.interrupted:
            for team in self.teams.values():
                team.poll()
                for run in team.runs:
                    if run.proc is not None and run.proc.status is not None and run.state != "restart":
                        self.note_ended(run.robot.folder)
                why = team.failure()
                if why is not None:
                    self.fault = f"the {team.colour} team could not start: {why}"
                    self.fault_team = team.colour
                    return
            if self.server.poll() is not None:
                self.note_ended("simserver")
                return
            if status_line and time.monotonic() >= next_status:
                next_status = time.monotonic() + 0.5
                self.show_clock()
            sup.sleep(0.02)

    def show_clock(self) -> None:
        # Only what the log gained since the last look: a day's match logs 86 400 lines.
        try:
            with open(self.path("server.log"), "rb") as f:
                f.seek(self.log_seen)
                data = f.read(1 << 20)
        except OSError:
            return
        cut = data.rfind(b"\n") + 1
        self.log_seen += cut
        lines = [l for l in data[:cut].decode("utf-8", "replace").splitlines() if l.startswith("simserver: t=")]
        if lines:
            print(f"\r{lines[-1][len('simserver: '):]} ", end="", flush=True)

    def end_teams(self, sup: Supervisor) -> None:
        """Agents end by themselves once they have seen "time over"; those still
        running after a while, or at once when the match did not end well, are stopped."""
        wait = AGENTS_END if self.server_status == 0 and not self.fault else 0.0
        end = time.monotonic() + wait
        while time.monotonic() < end and not sup.interrupted:
            if not any([t.poll() for t in self.teams.values()]):
                break
            time.sleep(0.02)
        if self.server is not None:
            sup.stop([self.server])
        for team in self.teams.values():
            team.stop()

    def write_team_files(self) -> None:
        lines = []
        for colour, team in self.teams.items():
            exits = [e.line() for e in team.exits()]
            header = (f"{self.prog}: {colour} team of {len(team.robots)} "
                      f"({' '.join(r.nickname for r in team.robots)}) on {team.host}:{team.port}, "
                      f"files in {self.dir}")
            with open(self.path(f"team-{colour}.txt"), "w") as f:
                f.write("\n".join([header] + exits) + "\n")
            lines += exits
        with open(self.path("agents-exit.txt"), "w") as f:
            f.write("".join(l + "\n" for l in lines))

    def record(self, outcome: str) -> dict:
        teams = {}
        for colour in ("yellow", "blue"):
            team = self.teams.get(colour)
            robots = []
            if team is not None:
                for run, e in zip(team.runs, team.exits()):
                    item = {"nickname": e.nickname, "vt_id": e.vt_id,
                            "exit": e.exit if isinstance(e.exit, int) or e.exit == RUNNING else NEVER_CONNECTED}
                    if e.why:
                        item["why"] = e.why
                    if e.exit == NOT_STARTED:
                        # Its program could not be run at all: no evidence about the program.
                        item["not_started"] = True
                    robots.append(item)
            teams[colour] = {"program": self.o.programs[colour],
                             "started": team is not None and team.failure() is None,
                             "robots": robots}
        run = {"seed": int(self.o.seed), "scenario": self.scenario, "length": float(self.o.length),
               "fast": self.o.fast,
               "programs": dict(self.o.programs), "teams": teams,
               "server": {"exit": self.server_status if self.server_status is not None else
                          (RUNNING if self.server is not None else None)},
               "first_ended": self.first_ended or None, "outcome": outcome}
        drawn = drawn_field(self.path("summary.json"))
        if drawn is not None:
            run["field"] = drawn
        if self.fault:
            run["fault"] = self.fault
            run["fault_team"] = self.fault_team
        return run

    def write_record(self, outcome: str) -> None:
        try:
            write_whole(self.path("run.json"), json.dumps(self.record(outcome), indent=1) + "\n")
        except OSError as e:
            self.say(f"cannot write {self.path('run.json')}: {e.strerror}", sys.stderr)

    def replay_page(self, simserver: str):
        page, record = self.path("match.html"), self.path("record.jsonl")
        recorded = os.path.exists(record) and os.path.getsize(record) > 0
        if recorded and not os.path.exists(page):
            # The server writes the page as it ends; a server that was killed did not.
            with open(self.path("server.log"), "ab") as log:
                subprocess.run([simserver, "--render", record, "-o", page], stdout=subprocess.DEVNULL,
                               stderr=log)
        return page if os.path.exists(page) else None

    def report_replay(self, page) -> None:
        if page:
            self.say(f"watch the match: open {page} in a web browser")
        else:
            self.say(f"no replay page (see {self.path('server.log')})", sys.stderr)


def main(argv: list) -> int:
    prog = prog_name("play")
    try:
        o = parse_options(argv)
        check_options(o)
        layout = find_layout()
        # A checkout builds what the match takes from its build folder.
        from_build = not o.simserver or any("/" not in p for p in o.programs.values())
        if from_build and not layout.build_dir_given and layout.checkout:
            bootstrap(layout)
        simserver = o.simserver or os.path.join(layout.build_dir, "simserver")
        paths = {c: agent_program(o.programs[c], layout, f"--{c}") for c in ("yellow", "blue")}
        for program in [simserver] + list(paths.values()):
            if not os.access(program, os.X_OK):
                raise Refused(f"{program} is missing (build it first)")
        template = SettingsFile.load(layout.config_file("config.ini"))
        sets = {c: [parse_setting(s, f"--{c}-set", set(template.keys())) for s in o.sets[c]]
                for c in ("yellow", "blue")}
        speeds = read_bytes(layout.config_file("velocidade.ini"))
    except HelpAsked:
        sys.stdout.write(USAGE.format(prog=prog))
        return 0
    except Refused as e:
        print(f"{prog}: {e}", file=sys.stderr)
        return 1
    except OSError as e:
        print(f"{prog}: cannot read {e.filename}: {e.strerror}", file=sys.stderr)
        return 1

    try:
        if o.dir:
            os.makedirs(o.dir, exist_ok=True)
            run_dir = o.dir
        else:
            run_dir = date_folder(layout.runs, "")
    except OSError as e:
        print(f"{prog}: cannot create the run folder: {e}", file=sys.stderr)
        return 1
    match = Match(prog, o, layout, run_dir)
    try:
        scenario = scenario_robots(match.scenario, lambda: list_robots(simserver, match.scenario))
    except Refused as e:
        match.fault = str(e)
        match.write_record("fault")
        print(f"{prog}: {e}", file=sys.stderr)
        return 1
    with Supervisor() as sup:
        try:
            return play(match, sup, simserver, paths, scenario, template, speeds, sets)
        except OSError as e:
            # A full disk or a folder taken away: everything started is stopped on the way out.
            match.fault = f"cannot write the run's files: {e}"
            print(f"{prog}: {match.fault}", file=sys.stderr)
    match.write_record("fault")
    return 1


def drawn_field(summary_path: str):
    """A field family's values as the server drew them for this match (summary.json's
    "field"), or None when the server wrote no readable summary."""
    try:
        with open(summary_path, encoding="utf-8") as f:
            drawn = json.load(f).get("field")
    except (OSError, ValueError, AttributeError):
        return None
    return drawn if isinstance(drawn, dict) else None


def list_robots(simserver: str, scenario: str) -> list:
    """The server's own robots, for a scenario file that names none (its built-in ones)."""
    try:
        out = subprocess.run([simserver, "--scenario", scenario, "--list-robots"], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, timeout=10)
    except (OSError, subprocess.SubprocessError):
        return []
    return out.stdout.decode("utf-8", "replace").splitlines()


def play(match: Match, sup: Supervisor, simserver: str, paths: dict, scenario, template, speeds, sets) -> int:
    o, robots, version = match.o, scenario[0], scenario[1]
    try:
        match.server = sup.start("simserver", match.server_argv(simserver), match.dir,
                                 match.path("summary.txt"), match.path("server.log"))
    except OSError as e:
        match.fault = f"the server did not start: cannot run {simserver}: {e.strerror}"
        match.say(match.fault, sys.stderr)
        match.write_record("fault")
        return 1
    port = match.wait_for_port(sup)
    if port is None and not sup.interrupted:
        sup.stop([match.server])
        match.server_status = match.server.status
        match.note_ended("simserver")
        match.fault = "the server did not start"
        match.say(f"the server did not start; see {match.path('server.log')}", sys.stderr)
        sys.stderr.write(read_text(match.path("server.log")))
        match.write_record("fault")
        return 1
    if port is not None:
        match.say(f"server on port {port}, seed {o.seed} (play it again with --seed {o.seed}), "
                  f"run files in {match.dir}")
        if o.watch:
            m = WATCH_RE.search(read_text(match.path("server.log"), 1 << 16))
            if m:
                match.say(f"watch the match live: open {m.group(1)} in a web browser")
        # Agents start as on a real field: each robot in its folder <vt_id>-<colour>-<nickname>.
        for colour in ("yellow", "blue"):
            team = TeamRun(sup, colour, [r for r in robots if r.colour == colour], paths[colour],
                           "127.0.0.1", port, match.dir, TEAM_WAIT, lambda text: None)
            team.write_folders(template, speeds, sets[colour], [], version)
            match.teams[colour] = team
        for team in match.teams.values():
            team.start()
        match.say(f"started both teams; the match is on (progress in {match.path('server.log')})")
        match.follow(sup)
        if not o.fast and sys.stdout.isatty():
            print()
    if sup.interrupted:
        match.say("interrupted, stopping the match", sys.stderr)
    # Whether the server ended well decides how long the agents may take to end.
    match.server_status = match.server.status
    match.end_teams(sup)
    match.server_status = match.server.status
    if not match.fault and match.server_status != 0 and not sup.interrupted:
        match.fault = f"the server ended with status {match.server_status} before the end of the match"
    outcome = "interrupted" if sup.interrupted else ("fault" if match.fault else "finished")
    match.write_team_files()
    match.write_record(outcome)
    page = match.replay_page(simserver)

    summary = read_text(match.path("summary.txt"))
    if sup.interrupted:
        sys.stdout.write(summary)
        match.say(f"files of the run in {match.dir}", sys.stderr)
        match.report_replay(page)
        return sup.exit_status()
    sys.stdout.write(summary)
    print("agents:")
    for team in match.teams.values():
        for e in team.exits():
            print(f"  {e.line()}")
    match.say(f"files of the run in {match.dir}")
    match.report_replay(page)
    if match.fault.startswith("the yellow team") or match.fault.startswith("the blue team"):
        match.say(match.fault, sys.stderr)
        return 1
    if match.server_status != 0:
        match.say(f"simserver ended with status {match.server_status}", sys.stderr)
        if match.first_ended == "simserver":
            match.say("the server ended first, before the match was over; the teams were stopped",
                      sys.stderr)
        return 1
    return 0

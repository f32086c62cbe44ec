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

from .cli import HelpAsked, Parser, date_folder, prog_name
from .console import GONE_STATUS, Console
from .errors import Refused
from .exits import NEVER_CONNECTED, NOT_STARTED, RUNNING
from .layout import agent_program, find_layout, require_built
from .props import SettingsFile, read_part, write_whole
from .robots import scenario_robots
from .scenario import check as check_scenario, given_file, sets_camera
from .settings import TeamSettings, add_file, add_sets
from .supervisor import Supervisor, run_in_foreground
from .teamrun import TeamRun

USAGE = """\
Usage: {prog} [options]
  --length SECONDS   play time of the match (default 60)
  --5v5              5 against 5 instead of 3 against 3
  --scenario FILE    the field of a scenario file (such as a field family,
                     config/scenario-3v3-family.ini); its robots make the teams
  --fast             lock-step mode: the match runs as fast as the agents answer
  --seed N           the match's seed: each seed draws its own camera noise (and a
                     field family's field), so its own match (default: a fresh
                     seed, printed so it can be played again)
  --exact            a camera without noise (on a fixed field every seed then
                     plays the same match)
                     Without --exact the camera gets a little noise (1 mm, 0.2°),
                     unless the scenario file sets NOISE_DIST or NOISE_ANGLE
                     (a value other than 0, or a range): then the file's camera plays
  --yellow PROGRAM   the yellow team's agent program (default agent)
  --blue PROGRAM     the blue team's agent program (default agent)
                     PROGRAM: agent, agent-b, agent-c, statue (built in the build folder)
                     or the path of an agent executable
  --yellow-set KEY=VALUE, --blue-set KEY=VALUE
                     a setting (a key of config.ini or velocidade.ini) for
                     every robot of that team (repeatable; NICK:KEY=VALUE for
                     one robot)
  --yellow-settings FILE, --blue-settings FILE
                     that team's settings from a file of KEY=VALUE lines, such
                     as a tuning run's tuned.ini (--yellow-set wins over it)
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
Settings are checked before anything starts (see docs/settings.md).
Exit status: 0 after a match played to the end, 1 for bad input, a team that
could not start, an agent that died or failed after connecting (each named)
or a server that failed, 130 when interrupted (143 on TERM, 129 on HUP or
when the terminal has gone).
Environment: SOCCER_BUILD_DIR=DIR uses the programs already built in DIR and
skips the install-and-build step.
"""

# Largest match length simserver accepts, in seconds.
MAX_LENGTH = 86400
# A real camera is never exact: a little noise on what each robot sees makes
# every seed a match of its own. Passed only for a scenario whose camera is
# exact: a file that sets its own noise (a family's ranges) keeps it.
NOISE = ["--noise-dist", "1", "--noise-angle", "0.2"]
EXACT = ["--noise-dist", "0", "--noise-angle", "0"]
# How long robots that could not connect are started again.
TEAM_WAIT = 10
# How long the agents have to end by themselves once the server has ended the match.
AGENTS_END = 5.0
SERVER_START = 10.0
LISTENING_RE = re.compile(r"^simserver: listening on [^\n]*:([0-9]+) ", re.M)
WATCH_RE = re.compile(r"^simserver: watch live at (\S+)", re.M)
CLOCK_RE = re.compile(r"^simserver: t=\s*([0-9]+(?:\.[0-9]+)?) s", re.M)


@dataclass
class PlayOptions:
    length: str = "60"
    five: bool = False
    scenario: str = ""
    fast: bool = False
    seed: str = ""
    exact: bool = False
    programs: dict = field(default_factory=lambda: {"yellow": "agent", "blue": "agent"})
    sets: dict = field(default_factory=lambda: {"yellow": [], "blue": []})
    settings_files: dict = field(default_factory=lambda: {"yellow": "", "blue": ""})
    simserver: str = ""
    dir: str = ""
    watch: str = ""


def build_parser(prog: str) -> Parser:
    p = Parser(prog)
    p.value("--length", default="60")
    for name in ("--seed", "--dir", "--simserver", "--watch-port", "--scenario"):
        p.value(name)
    for colour in ("yellow", "blue"):
        p.value(f"--{colour}", default="agent")
        p.repeated(f"--{colour}-set", dest=f"{colour}_set")
        p.value(f"--{colour}-settings", dest=f"{colour}_settings")
    p.flag("--5v5", dest="five")
    p.flag("--fast")
    p.flag("--exact")
    p.flag("--watch")
    return p


def parse_options(argv: list) -> PlayOptions:
    ns = build_parser("play").parse(argv)
    o = PlayOptions(length=ns.length, five=ns.five, fast=ns.fast, seed=ns.seed, exact=ns.exact,
                    simserver=ns.simserver, dir=ns.dir, scenario=ns.scenario)
    for colour in ("yellow", "blue"):
        o.programs[colour] = getattr(ns, colour)
        o.sets[colour] = getattr(ns, f"{colour}_set")
        o.settings_files[colour] = getattr(ns, f"{colour}_settings")
    o.watch = ns.watch_port or ("0" if ns.watch else "")
    return o


def check_options(o: PlayOptions) -> None:
    if not re.fullmatch(r"[0-9]+(\.[0-9]+)?", o.length) or not 0 < float(o.length) <= MAX_LENGTH:
        raise Refused(f"--length needs seconds greater than 0 and at most {MAX_LENGTH} (got '{o.length}')")
    if not o.seed:
        # A fresh seed, told to the user so that a good match can be played again.
        o.seed = str(int.from_bytes(os.urandom(4), "little"))
    elif not re.fullmatch(r"[0-9]{1,18}", o.seed):
        raise Refused(f"--seed needs a whole number from 0 to 999999999999999999 (got '{o.seed}')")
    if o.scenario:
        if o.five:
            raise Refused("--5v5 and --scenario both choose the field; give one (a scenario file's robots "
                          "make the teams)")
        o.scenario = given_file(o.scenario)
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


class Stopped(Exception):
    """A signal ended the run before the match began; args[0] is the exit status."""


def bootstrap(layout) -> None:
    """Installs and builds what a match needs, as a checkout's first run must;
    a signal stops the build, compilers and all."""
    script = os.path.join(layout.root, "scripts", "bootstrap.sh")
    status, sig = run_in_foreground([script, "play"], layout.root)
    if sig is not None:
        raise Stopped(128 + int(sig))
    if status != 0:
        raise Refused("installing or building what a match needs failed (see above)")


def read_text(path: str, limit: int = 1 << 22) -> str:
    return read_part(path, 0, limit).decode("utf-8", "replace")


class Match:
    """One run: its folder, its processes and what became of them."""

    def __init__(self, console: Console, o: PlayOptions, layout, run_dir: str):
        self.console = console
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
        self.scenario = scenario_file(o, layout)
        self.camera = camera_args(o, self.scenario)

    def path(self, name: str) -> str:
        return os.path.join(self.dir, name)

    def say(self, text: str, stream=sys.stdout) -> None:
        self.console.say(text, err=stream is sys.stderr)

    def server_argv(self, simserver: str) -> list:
        o = self.o
        argv = [simserver, "--scenario", self.scenario, "--port", "0", "--length", o.length]
        argv += ["--fast"] if o.fast else []
        argv += ["--seed", o.seed] + self.camera
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

    def game_time(self):
        """The game time of the server's last progress line, in seconds, or None."""
        size = os.path.getsize(self.path("server.log")) if os.path.exists(self.path("server.log")) else 0
        tail = read_part(self.path("server.log"), max(0, size - 4096), 4096).decode("utf-8", "replace")
        found = CLOCK_RE.findall(tail)
        return float(found[-1]) if found else None

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
        data = read_part(self.path("server.log"), self.log_seen)
        cut = data.rfind(b"\n") + 1
        self.log_seen += cut
        lines = [l for l in data[:cut].decode("utf-8", "replace").splitlines() if l.startswith("simserver: t=")]
        if lines:
            self.console.write(f"\r{lines[-1][len('simserver: '):]} ")

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

    def crashes(self) -> list:
        return [c for team in self.teams.values() for c in team.crashes()]

    def write_team_files(self) -> None:
        lines = []
        for colour, team in self.teams.items():
            exits = [e.line() for e in team.exits()]
            header = (f"{self.console.prog}: {colour} team of {len(team.robots)} "
                      f"({' '.join(r.nickname for r in team.robots)}) on {team.host}:{team.port}, "
                      f"files in {self.dir}")
            with open(self.path(f"team-{colour}.txt"), "w") as f:
                f.write("\n".join([header] + exits) + "\n")
            lines += exits
        with open(self.path("agents-exit.txt"), "w") as f:
            f.write("".join(l + "\n" for l in lines))

    def team_record(self, colour: str) -> dict:
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
                if run.crashes:
                    item["crashed"] = True
                robots.append(item)
        return {"program": self.o.programs[colour],
                "started": team is not None and team.failure() is None,
                "crashes": len(team.crashes()) if team is not None else 0,
                "robots": robots}

    def record(self, outcome: str) -> dict:
        run = {"seed": int(self.o.seed), "scenario": self.scenario, "length": float(self.o.length),
               "fast": self.o.fast,
               "programs": dict(self.o.programs),
               "teams": {c: self.team_record(c) for c in ("yellow", "blue")},
               "server": {"exit": self.server_status if self.server_status is not None else
                          (RUNNING if self.server is not None else None)},
               "first_ended": self.first_ended or None, "outcome": outcome,
               "crashes": [c.to_json() for c in self.crashes()]}
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


@dataclass
class Prepared:
    """What a match needs, all checked before anything is written or started."""
    simserver: str
    paths: dict
    template: SettingsFile
    speeds: SettingsFile
    settings: dict       # colour -> TeamSettings


def prepare(o: PlayOptions, layout, scenario_checked: bool = False) -> Prepared:
    # A checkout builds what the match takes from its build folder.
    from_build = not o.simserver or any("/" not in p for p in o.programs.values())
    paths = {c: agent_program(o.programs[c], layout, f"--{c}") for c in ("yellow", "blue")}
    settings = {c: TeamSettings() for c in ("yellow", "blue")}
    template = SettingsFile.load(layout.config_file("config.ini"))
    speeds = SettingsFile.load(layout.config_file("velocidade.ini"))
    for c in ("yellow", "blue"):
        # NICK:KEY=VALUE is checked against the scenario's robots once it is read.
        if o.settings_files[c]:
            add_file(settings[c], o.settings_files[c], _AnyNick(), c)
        add_sets(settings[c], o.sets[c], _AnyNick(), c, f"--{c}-set")
    if from_build and not layout.build_dir_given and layout.checkout:
        bootstrap(layout)
    simserver = o.simserver or os.path.join(layout.build_dir, "simserver")
    for program in [simserver] + list(paths.values()):
        require_built(program, layout)
    if o.scenario and not scenario_checked:
        check_scenario(o.scenario, simserver)
    return Prepared(simserver, paths, template, speeds, settings)


class _AnyNick:
    """Every nickname, until the scenario tells the robots."""

    def __contains__(self, nick) -> bool:
        return True


def main(argv: list, scenario_checked: bool = False) -> int:
    """`scenario_checked`: the caller has had the server check --scenario's
    file already (a tournament's pinned copy), so each match skips it."""
    console = Console(prog_name("play"))
    try:
        o = parse_options(argv)
        check_options(o)
        layout = find_layout()
        ready = prepare(o, layout, scenario_checked)
    except HelpAsked:
        console.write(USAGE.format(prog=console.prog))
        return 0
    except Refused as e:
        console.say(str(e), err=True)
        return 1
    except Stopped as e:
        console.say("interrupted while building; nothing was started", err=True)
        return e.args[0]
    return run_match(console, o, layout, ready)


def run_match(console: Console, o: PlayOptions, layout, ready: "Prepared") -> int:
    """The run folder, the scenario's robots and the match itself."""
    scenario_path = scenario_file(o, layout)
    scenario, why = None, ""
    try:
        scenario = scenario_robots(scenario_path, lambda: list_robots(ready.simserver, scenario_path))
        check_robot_settings(ready, scenario[0])
    except Refused as e:
        if scenario is not None:
            # A setting for a robot the scenario does not have: bad input, nothing written.
            console.say(str(e), err=True)
            return 1
        why = str(e)
    try:
        if o.dir:
            os.makedirs(o.dir, exist_ok=True)
            run_dir = o.dir
        else:
            run_dir = date_folder(layout.runs, "")
    except OSError as e:
        console.say(f"cannot create the run folder: {e}", err=True)
        return 1
    match = Match(console, o, layout, run_dir)
    if why:
        # A scenario the server cannot play is the run's fault, kept in its record.
        match.fault = why
        match.write_record("fault")
        console.say(why, err=True)
        return 1
    with Supervisor() as sup:
        console.on_gone = sup.hang_up
        try:
            return play(match, sup, ready, scenario)
        except OSError as e:
            # A full disk or a folder taken away: everything started is stopped on the way out.
            match.fault = f"cannot write the run's files: {e}"
            console.say(match.fault, err=True)
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


def scenario_file(o: PlayOptions, layout) -> str:
    if o.scenario:
        return o.scenario
    return layout.config_file("scenario-5v5.ini" if o.five else "scenario-3v3.ini")


def camera_args(o: PlayOptions, scenario: str) -> list:
    """--exact: an exact camera, whatever the file says; otherwise play's own
    noise, unless the file sets the camera's."""
    if o.exact:
        return list(EXACT)
    try:
        own = sets_camera(scenario)
    except Refused:
        # Unreadable: the run's record will say why; the server reads it too.
        own = False
    return [] if own else list(NOISE)


def check_robot_settings(ready: Prepared, robots: list) -> None:
    """NICK:KEY=VALUE must name one of that team's robots."""
    for colour, settings in ready.settings.items():
        nicks = {r.nickname for r in robots if r.colour == colour}
        for nick, key, value in settings.robots:
            if nick not in nicks:
                raise Refused(f"--{colour}-set {nick}:{key}={value} names {nick}, which is no {colour} robot")


def list_robots(simserver: str, scenario: str) -> list:
    """The server's own robots, for a scenario file that names none (its built-in ones)."""
    try:
        out = subprocess.run([simserver, "--scenario", scenario, "--list-robots"], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, timeout=10)
    except (OSError, subprocess.SubprocessError):
        return []
    return out.stdout.decode("utf-8", "replace").splitlines()


def start_match(match: Match, sup: Supervisor, ready: Prepared, scenario):
    """The server and, once it listens, both teams; the port, or None when the
    server did not start (the run's record then says why)."""
    simserver = ready.simserver
    try:
        match.server = sup.start("simserver", match.server_argv(simserver), match.dir,
                                 match.path("summary.txt"), match.path("server.log"))
    except OSError as e:
        match.fault = f"the server did not start: cannot run {simserver}: {e.strerror}"
        match.say(match.fault, sys.stderr)
        return None
    port = match.wait_for_port(sup)
    if port is None:
        if not sup.interrupted:
            sup.stop([match.server])
            match.server_status = match.server.status
            match.note_ended("simserver")
            match.fault = "the server did not start"
            match.say(f"the server did not start; see {match.path('server.log')}", sys.stderr)
            match.console.write(read_text(match.path("server.log")), err=True)
        return None
    o = match.o
    match.say(f"server on port {port}, seed {o.seed} (play it again with --seed {o.seed}), "
              f"run files in {match.dir}")
    if o.watch:
        m = WATCH_RE.search(read_text(match.path("server.log"), 1 << 16))
        if m:
            match.say(f"watch the match live: open {m.group(1)} in a web browser")
    # Agents start as on a real field: each robot in its folder <vt_id>-<colour>-<nickname>.
    for colour in ("yellow", "blue"):
        team = TeamRun(sup, colour, [r for r in scenario[0] if r.colour == colour], ready.paths[colour],
                       "127.0.0.1", port, match.dir, TEAM_WAIT,
                       lambda text, err=False: match.console.say(text, True) if err else None,
                       clock=match.game_time)
        team.write_folders(ready.template, ready.speeds, ready.settings[colour], scenario[1])
        match.teams[colour] = team
    for team in match.teams.values():
        team.start()
    match.say(f"started both teams; the match is on (progress in {match.path('server.log')})")
    return port


def play(match: Match, sup: Supervisor, ready: Prepared, scenario) -> int:
    port = start_match(match, sup, ready, scenario)
    if port is None and (not sup.interrupted or match.server is None):
        match.write_record("fault")
        return 1
    if port is not None:
        match.follow(sup)
        if not match.o.fast and sys.stdout.isatty():
            match.console.write("\n")
    if sup.interrupted and not match.console.gone:
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
    page = match.replay_page(ready.simserver)
    return tell(match, sup, page)


def tell(match: Match, sup: Supervisor, page) -> int:
    """The summary, every agent's end and the run's exit status."""
    console = match.console
    console.write(read_text(match.path("summary.txt")))
    if sup.interrupted:
        match.say(f"files of the run in {match.dir}", sys.stderr)
        match.report_replay(page)
        return GONE_STATUS if console.gone else sup.exit_status()
    console.write("agents:\n")
    for team in match.teams.values():
        for e in team.exits():
            console.write(f"  {e.line()}\n")
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
    crashes = match.crashes()
    if crashes:
        match.say(f"{len(crashes)} agent(s) died after connecting, each named above; "
                  f"{match.path('run.json')} lists them", sys.stderr)
        return 1
    return GONE_STATUS if console.gone else 0

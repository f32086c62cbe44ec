"""lab team: fields one team against a Soccer Server, the simulated one or a
league's real one. Writes one working folder per robot (config.ini from the
sample with the server, colour and identity filled in, and velocidade.ini),
starts one agent per robot, starts again those that could not connect until
--wait runs out, and stops them all on INT, TERM or HUP or when they have all
ended."""
import os
import sys
import time

from . import localserver
from .errors import Refused
from .exits import NEVER_CONNECTED, NOT_STARTED, REFUSED, RUNNING, AgentExit
from .layout import AGENT_NAMES, find_layout, parse_server
from .props import SettingsFile, read_bytes, write_whole
from .robots import COLOURS, IDENTITY_KEYS, KEY_RE, plain_value, read_players, scenario_robots, team_of
from .supervisor import Supervisor

USAGE = """\
Usage: {prog} --server HOST[:PORT] --team yellow|blue [options]
  --server HOST[:PORT]  the Soccer Server (port 20000 when not given)
  --team yellow|blue    the colour this team plays
  --program P           agent, agent-b, agent-c (built in build/) or the path of
                        an agent program (default agent)
  --5v5                 the 5 against 5 players file instead of 3 against 3
  --players FILE        the team's robots (default config/players-3v3.ini);
                        lines: colour nickname vt_id rc_id [KEY=VALUE ...]
  --scenario FILE       the robots of a simulated server's scenario file
                        instead of a players file
  --set KEY=VALUE       a setting for every robot of the team (repeatable)
  --set NICK:KEY=VALUE  a setting for robot NICK only (repeatable, wins over
                        the team-wide one)
  --wait SECONDS        how long robots that could not connect are started
                        again (default 30)
  --dir DIR             the working folder (default runs/team-<colour>-<date-time>)
  --quiet               robots' output only into their folders, not the terminal
  --help                this text
Each robot runs in DIR/<vt_id>-<colour>-<nickname>/, writing agent.out and
agent.log there. Exit status: 0 when every agent ended with 0, 1 otherwise
(or for bad input, before anything is started), 130 when interrupted (143 on
TERM, 129 on HUP).
Environment: SOCCER_BUILD_DIR=DIR finds agent, agent-b and agent-c in DIR.
"""

NOT_CONNECTED_TEXT = "Could not connect to server"
REFUSED_TEXT = "Connection refused by the Soccer Server"
RESTART_DELAY = 0.5
# The agent's status when it gave up connecting (its -1).
STARTUP_FAILURE = 255


def prog_name(sub: str) -> str:
    return os.environ.get("LAB_PROG", f"lab {sub}")


def _tail_bytes(path: str, offset: int) -> bytes:
    try:
        with open(path, "rb") as f:
            f.seek(offset)
            return f.read(1 << 20)
    except OSError:
        return b""


def _tail(path: str, offset: int) -> str:
    return _tail_bytes(path, offset).decode("utf-8", "replace")


def _size(path: str) -> int:
    try:
        return os.path.getsize(path)
    except OSError:
        return 0


class RobotRun:
    """One robot's agent over its starts."""

    def __init__(self, robot, folder: str):
        self.robot = robot
        self.folder = folder
        self.proc = None
        self.state = "waiting"   # running, restart, done, or one of the exits' states
        self.status = None
        self.why = ""
        self.restart_at = 0.0
        self.log_offset = 0
        self.out_offset = 0
        self.connected = False
        self.echo_offsets = {}

    @property
    def out(self) -> str:
        return os.path.join(self.folder, "agent.out")

    @property
    def log(self) -> str:
        return os.path.join(self.folder, "agent.log")

    def exit(self) -> AgentExit:
        r = self.robot
        if self.state == "done":
            return AgentExit(r.vt_id, r.colour, r.nickname, self.status)
        if self.state in (NEVER_CONNECTED, REFUSED, NOT_STARTED):
            return AgentExit(r.vt_id, r.colour, r.nickname, self.state, self.why)
        return AgentExit(r.vt_id, r.colour, r.nickname, RUNNING)


class TeamRun:
    """The agents of one team, supervised by `sup`; play runs two of these."""

    def __init__(self, sup: Supervisor, colour: str, robots: list, program: str, host: str, port: int,
                 directory: str, wait_s: float, say, echo=None):
        self.sup = sup
        self.colour = colour
        self.robots = robots
        self.program = program
        self.host = host
        self.port = port
        self.dir = directory
        self.wait_s = wait_s
        self.say = say          # one line for the user
        self.echo = echo        # where robots' output goes besides their files, or None
        self.runs = [RobotRun(r, os.path.join(directory, r.folder)) for r in robots]
        self.deadline = None
        self.waiting_said = False

    def write_folders(self, template: SettingsFile, speeds: bytes, team_sets: list, robot_sets: list,
                      version: str = "") -> None:
        """Writes every robot's config.ini and velocidade.ini, each in one go."""
        for run in self.runs:
            r = run.robot
            os.makedirs(run.folder, exist_ok=True)
            with open(os.path.join(run.folder, "velocidade.ini"), "wb") as f:
                f.write(speeds)
            cfg = template.copy()
            for key, value in (("SERVER_IP", self.host), ("PORT_TEAM", str(self.port)),
                               ("TEAM", str(COLOURS[self.colour])), ("NICK_NAME", r.nickname),
                               ("VT_ID", str(r.vt_id)), ("RC_ID", str(r.rc_id))):
                cfg.set(key, value)
            if version:
                cfg.set("VERSION", version)
            for key, value in r.settings:
                cfg.set(key, value)
            # Team-wide settings first, so that a robot's own one wins.
            for key, value in team_sets:
                cfg.set(key, value)
            for nick, key, value in robot_sets:
                if nick == r.nickname:
                    cfg.set(key, value)
            write_whole(os.path.join(run.folder, "config.ini"), cfg.text())

    def refuse_before_start(self, run: RobotRun, why: str) -> None:
        run.state, run.why = REFUSED, why

    def start(self) -> None:
        self.deadline = time.monotonic() + self.wait_s
        for run in self.runs:
            if run.state == "waiting":
                self._start(run)

    def _start(self, run: RobotRun) -> None:
        for path in (run.out, run.log):
            open(path, "ab").close()
        run.log_offset, run.out_offset = _size(run.log), _size(run.out)
        try:
            run.proc = self.sup.start(run.robot.folder, [self.program], run.folder, run.out, run.log,
                                      append=True)
        except OSError as e:
            run.state, run.why = NOT_STARTED, f"cannot run {self.program}: {e.strerror}"
            return
        with open(os.path.join(run.folder, "pid"), "w") as f:
            f.write(f"{run.proc.pid}\n")
        run.state = "running"

    def poll(self) -> bool:
        """Follows the agents; True while one runs or will be started again."""
        now = time.monotonic()
        busy = False
        for run in self.runs:
            if run.state == "restart":
                if now >= run.restart_at:
                    self._start(run)
                busy = busy or run.state in ("running", "restart")
                continue
            if run.state != "running":
                continue
            status = run.proc.poll()
            if status is None:
                busy = True
                continue
            self._ended(run, status, now)
            busy = busy or run.state in ("running", "restart")
        if self.echo is not None:
            self.copy_output()
        return busy

    def _ended(self, run: RobotRun, status: int, now: float) -> None:
        out = _tail(run.out, run.out_offset)
        if "<connect>" in out and "true" in out.split("<connect>", 1)[1][:40]:
            run.connected = True
        run.state, run.status = "done", status
        if status != STARTUP_FAILURE:
            return
        if REFUSED_TEXT in out:
            run.state, run.why = REFUSED, "the server answered its connect request with false"
        elif NOT_CONNECTED_TEXT in _tail(run.log, run.log_offset):
            if now < self.deadline:
                if not self.waiting_said:
                    self.waiting_said = True
                    self.say(f"waiting for the server at {self.host}:{self.port} "
                             f"({max(1, round(self.deadline - now))} s left)")
                run.state, run.restart_at = "restart", now + RESTART_DELAY
            else:
                run.state = NEVER_CONNECTED

    def copy_output(self, final: bool = False) -> None:
        """Robots' new lines to the terminal, each marked with its nickname."""
        for run in self.runs:
            for path in (run.out, run.log):
                offset = run.echo_offsets.get(path, 0)
                data = _tail_bytes(path, offset)
                cut = len(data) if final else data.rfind(b"\n") + 1
                if cut <= 0:
                    continue
                run.echo_offsets[path] = offset + cut
                for line in data[:cut].decode("utf-8", "replace").splitlines():
                    # Retries while the server is not up are told once, not per agent.
                    if NOT_CONNECTED_TEXT not in line:
                        self.echo.write(f"[{run.robot.nickname}] {line}\n")
        self.echo.flush()

    def running_processes(self) -> list:
        return [run.proc for run in self.runs if run.proc is not None and run.state == "running"]

    def stop(self) -> None:
        self.sup.stop(self.running_processes())
        for run in self.runs:
            if run.state == "restart":
                run.state = NEVER_CONNECTED

    def exits(self) -> list:
        return [run.exit() for run in self.runs]

    def failure(self):
        """Why the team could not start (every robot failed before playing), or None."""
        whys = []
        for run in self.runs:
            e = run.exit()
            if e.exit in (NEVER_CONNECTED, REFUSED, NOT_STARTED):
                whys.append(f"{run.robot.nickname} {e.exit}" + (f": {e.why}" if e.why else ""))
            elif run.state == "done" and run.status != 0 and not run.connected:
                whys.append(f"{run.robot.nickname} ended with status {run.status} before connecting")
            else:
                return None
        return "; ".join(whys)


def date_folder(parent: str, prefix: str) -> str:
    """A new folder PARENT/PREFIX<date-time>[-N]; mkdir fails on one that exists,
    so two runs in the same second part ways."""
    os.makedirs(parent, exist_ok=True)
    stamp = time.strftime("%Y%m%d-%H%M%S")
    path, n = os.path.join(parent, prefix + stamp), 1
    while True:
        try:
            os.mkdir(path)
            return path
        except FileExistsError:
            path, n = os.path.join(parent, f"{prefix}{stamp}-{n}"), n + 1


def next_value(argv: list, i: int, hint: str = "") -> str:
    if i + 1 >= len(argv):
        raise Refused(f"{argv[i]} needs a value{hint}")
    return argv[i + 1]


def stray_argument(argv: list, i: int) -> Refused:
    """An unknown option, or a word that reads as a second value of the option before it."""
    word = argv[i]
    if not word.startswith("-") and i >= 2 and argv[i - 2].startswith("--"):
        return Refused(f"unexpected argument '{word}' after {argv[i - 2]} {argv[i - 1]} "
                       f"({argv[i - 2]} takes one value)")
    return Refused(f"unknown option {word} (see --help)")


def parse_sets(texts: list, nicknames: set, colour: str) -> tuple:
    """--set KEY=VALUE and NICK:KEY=VALUE -> (team-wide, per robot)."""
    team_sets, robot_sets = [], []
    for s in texts:
        key, eq, value = s.partition("=")
        if not eq:
            raise Refused(f"setting '{s}' has no '=' (KEY=VALUE or NICK:KEY=VALUE)")
        nick = None
        if ":" in key:
            nick, _, key = key.partition(":")
            if nick not in nicknames:
                raise Refused(f"setting '{s}' names {nick}, which is no {colour} robot")
        if not KEY_RE.fullmatch(key):
            raise Refused(f"setting '{s}': '{key}' is not a setting name")
        if key in IDENTITY_KEYS:
            raise Refused(f"setting '{s}': {key} comes from the players file and --server")
        if not plain_value(value):
            raise Refused(f"setting '{key}=…': the value holds a line break or another control character")
        if nick is None:
            team_sets.append((key, value))
        else:
            robot_sets.append((nick, key, value))
    return team_sets, robot_sets


MAX_WAIT = 86400


def main(argv: list) -> int:
    prog = prog_name("team")

    def say(text: str, stream=sys.stdout) -> None:
        print(f"{prog}: {text}", file=stream, flush=True)

    try:
        return run(argv, prog, say)
    except Refused as e:
        say(str(e), sys.stderr)
        return 1


def run(argv: list, prog: str, say) -> int:
    opts = {"server": "", "team": "", "program": "agent", "players": "", "scenario": "", "wait": "30",
            "dir": ""}
    five = quiet = False
    sets = []
    i = 0
    while i < len(argv):
        a = argv[i]
        if a in ("--server", "--team", "--program", "--players", "--scenario", "--set", "--wait", "--dir"):
            value = next_value(argv, i, " (see --help)")
            if a == "--set":
                sets.append(value)
            else:
                opts[a[2:]] = value
            i += 2
            continue
        if a == "--5v5":
            five = True
        elif a == "--quiet":
            quiet = True
        elif a in ("--help", "-h"):
            sys.stdout.write(USAGE.format(prog=prog))
            return 0
        else:
            raise stray_argument(argv, i)
        i += 1

    # Everything is checked before anything is written or started.
    if not opts["server"]:
        raise Refused("--server HOST[:PORT] is required")
    host, port = parse_server(opts["server"])
    colour = opts["team"]
    if not colour:
        raise Refused("--team yellow|blue is required")
    if colour not in COLOURS:
        raise Refused(f"team '{colour}' is neither yellow nor blue")
    layout = find_layout()
    program = opts["program"]
    if program in AGENT_NAMES:
        path = os.path.join(layout.build_dir, program)
        if not os.access(path, os.X_OK):
            raise Refused(f"program {program} is not built ({path} is missing; "
                          f"build it with cmake --build {layout.build_dir})")
    elif "/" in program:
        path = os.path.abspath(program)
        if not (os.path.isfile(path) and os.access(path, os.X_OK)):
            raise Refused(f"program '{program}' is not an executable file")
    else:
        raise Refused(f"unknown program '{program}' (agent, agent-b, agent-c, statue or the path of an agent program)")
    wait = opts["wait"]
    if not (wait.isascii() and wait.isdigit()):
        raise Refused(f"--wait needs a whole number of seconds, not '{wait}'")
    if int(wait) > MAX_WAIT:
        raise Refused(f"--wait {wait} is more than {MAX_WAIT} seconds")
    template_path, speeds_path = layout.config_file("config.ini"), layout.config_file("velocidade.ini")
    version = ""
    if opts["scenario"]:
        if opts["players"]:
            raise Refused("--players and --scenario name the robots twice; give one")
        everyone, version = scenario_robots(opts["scenario"])
        robots = team_of(everyone, colour, opts["scenario"])
    else:
        players = opts["players"] or layout.config_file("players-5v5.ini" if five else "players-3v3.ini")
        if not os.access(players, os.R_OK) or os.path.isdir(players):
            raise Refused(f"cannot read players file {players}")
        robots = team_of(read_players(players), colour, players)
    if not (os.access(template_path, os.R_OK) and os.access(speeds_path, os.R_OK)):
        raise Refused(f"{template_path} or {speeds_path} is missing")
    team_sets, robot_sets = parse_sets(sets, {r.nickname for r in robots}, colour)
    template = SettingsFile.load(template_path)
    speeds = read_bytes(speeds_path)

    # A simulated server on this machine tells which robots it has.
    refused = {}
    if host in localserver.LOCAL_HOSTS:
        known = localserver.server_robots(port)
        if known is not None:
            refused = localserver.mismatches(robots, known)

    if opts["dir"]:
        directory = os.path.abspath(opts["dir"])
    try:
        if opts["dir"]:
            os.makedirs(directory, exist_ok=True)
        else:
            directory = date_folder(layout.runs, f"team-{colour}-")
    except OSError:
        raise Refused(f"cannot create {directory if opts['dir'] else layout.runs}") from None

    with Supervisor() as sup:
        team = TeamRun(sup, colour, robots, path, host, port, directory, int(wait),
                       lambda text: say(text), None if quiet else sys.stdout)
        try:
            team.write_folders(template, speeds, team_sets, robot_sets, version)
        except OSError as e:
            raise Refused(f"cannot write the robots' folders in {directory}: {e.strerror}") from None
        print(f"{prog}: {colour} team of {len(robots)} ({' '.join(r.nickname for r in robots)}) "
              f"on {host}:{port}, files in {directory}", flush=True)
        for run_ in team.runs:
            if run_.robot.nickname in refused:
                team.refuse_before_start(run_, refused[run_.robot.nickname])
                say(f"robot {run_.robot.nickname} (vt_id {run_.robot.vt_id}) is not started: "
                    f"{refused[run_.robot.nickname]}", sys.stderr)
        team.start()
        while not sup.interrupted and team.poll():
            sup.sleep(0.1)
        if sup.interrupted:
            say(f"interrupted, stopping the {colour} team", sys.stderr)
        team.stop()
        if not quiet:
            team.copy_output(final=True)

    exits = team.exits()
    for e in exits:
        print(e.line(), flush=True)
    never = [e.nickname for e in exits if e.exit == NEVER_CONNECTED]
    if never:
        say(f"never connected within {wait} s: {' '.join(never)}", sys.stderr)
    for e in exits:
        if e.exit == REFUSED and e.why.startswith("the server answered"):
            say(f"robot {e.nickname} (vt_id {e.vt_id}) was refused by the server: its vt_id, colour "
                "or nickname is not one of the server's robots (see the server's log)", sys.stderr)
    if sup.interrupted:
        return sup.exit_status()
    return 0 if all(e.ok for e in exits) else 1

"""One team's agents over a match: their folders written, each agent started,
followed, started again while the server is not up yet (or, with restarts,
after it died mid-match), and stopped. `team` runs one of these, `play` two."""
import os
import re
import signal
import time
from dataclasses import dataclass
from typing import Optional

from .exits import NEVER_CONNECTED, NOT_STARTED, REFUSED, RUNNING, AgentExit
from .props import SettingsFile, read_part, write_whole
from .robots import COLOURS
from .settings import TeamSettings, robot_files

NOT_CONNECTED_TEXT = "Could not connect to server"
REFUSED_TEXT = "Connection refused by the Soccer Server"
CONNECTED_RE = re.compile(rb"<connect>\s*true")
RESTART_DELAY = 0.5
# After a crash: 1, 2, 4 s, then every 5 s, so a crash loop does not flood the server.
BACKOFF_FIRST, BACKOFF_MAX = 1.0, 5.0
# How long a restarted agent may try to connect, at least.
RECONNECT_WAIT = 10.0
# The agent's status when it gave up connecting (its -1).
STARTUP_FAILURE = 255


def _size(path: str) -> int:
    try:
        return os.path.getsize(path)
    except OSError:
        return 0


def signal_name(sig: Optional[int]) -> Optional[str]:
    if not sig:
        return None
    try:
        return signal.Signals(sig).name
    except ValueError:
        return f"signal {sig}"


def how_it_ended(status: int, sig: Optional[int]) -> str:
    return f"killed by {signal_name(sig)}" if sig else f"exited with status {status}"


@dataclass
class Crash:
    """An agent that ended badly after it had connected."""
    vt_id: int
    colour: str
    nickname: str
    status: int
    signal: Optional[int]
    game_time: Optional[float]
    connected_s: float

    def text(self) -> str:
        when = f" at game time {self.game_time:.1f} s" if self.game_time is not None else ""
        return (f"robot {self.vt_id} {self.colour} {self.nickname} died{when}, "
                f"{self.connected_s:.1f} s after connecting: {how_it_ended(self.status, self.signal)}")

    def to_json(self) -> dict:
        return {"vt_id": self.vt_id, "colour": self.colour, "nickname": self.nickname,
                "status": self.status, "signal": signal_name(self.signal), "game_time": self.game_time,
                "connected_s": round(self.connected_s, 1)}


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
        self.deadline = 0.0      # until when a start that could not connect is tried again
        self.log_offset = 0
        self.out_offset = 0
        self.scan_offset = 0
        self.connected = False   # in this start
        self.ever_connected = False
        self.connected_at = None
        self.connected_s = 0.0
        self.starts = 0
        self.restarts = 0
        self.ends = []           # [{"status", "signal", "connected"}] per start
        self.crashes = []
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

    def watch_connect(self, now: float) -> None:
        """Notes the moment the agent's connect request is answered with true."""
        if self.connected:
            return
        data = read_part(self.out, self.scan_offset, 1 << 16)
        if CONNECTED_RE.search(data):
            self.connected = self.ever_connected = True
            self.connected_at = now
        elif len(data) > 64:
            # Keep a little, in case the answer is split over two reads.
            self.scan_offset += len(data) - 64

    def disconnect(self, at: float) -> None:
        if self.connected_at is not None:
            self.connected_s += max(0.0, at - self.connected_at)
            self.connected_at = None

    def record(self) -> dict:
        r = self.robot
        return {"vt_id": r.vt_id, "nickname": r.nickname, "starts": self.starts,
                "restarts": self.restarts, "exits": self.ends,
                "connected_s": round(self.connected_s, 1),
                "crashes": [c.to_json() for c in self.crashes], "end": self.exit().line()}


class TeamRun:
    """The agents of one team, supervised by `sup`. `say(text, err)` tells the
    user; `clock()` gives the game time when it is known; `restarts` is how
    often an agent that died after connecting is started again."""

    def __init__(self, sup, colour: str, robots: list, program: str, host: str, port: int,
                 directory: str, wait_s: float, say, echo=None, restarts: int = 0, clock=None):
        self.sup = sup
        self.colour = colour
        self.robots = robots
        self.program = program
        self.host = host
        self.port = port
        self.dir = directory
        self.wait_s = wait_s
        self.say = say
        self.echo = echo        # a Console for robots' output besides their files, or None
        self.restarts = restarts
        self.clock = clock
        self.runs = [RobotRun(r, os.path.join(directory, r.folder)) for r in robots]
        self.waiting_said = False

    def write_folders(self, template: SettingsFile, speeds: SettingsFile, settings: TeamSettings,
                      version: str = "") -> None:
        """Writes every robot's config.ini and velocidade.ini, each in one go."""
        for run in self.runs:
            r = run.robot
            os.makedirs(run.folder, exist_ok=True)
            cfg, spd = template.copy(), speeds.copy()
            for key, value in (("SERVER_IP", self.host), ("PORT_TEAM", str(self.port)),
                               ("TEAM", str(COLOURS[self.colour])), ("NICK_NAME", r.nickname),
                               ("VT_ID", str(r.vt_id)), ("RC_ID", str(r.rc_id))):
                cfg.set(key, value)
            if version:
                cfg.set("VERSION", version)
            robot_files(cfg, spd, settings.for_robot(r))
            write_whole(os.path.join(run.folder, "velocidade.ini"), spd.text())
            write_whole(os.path.join(run.folder, "config.ini"), cfg.text())

    def refuse_before_start(self, run: RobotRun, why: str) -> None:
        run.state, run.why = REFUSED, why

    def start(self) -> None:
        deadline = time.monotonic() + self.wait_s
        for run in self.runs:
            if run.state == "waiting":
                run.deadline = deadline
                self._start(run)

    def _start(self, run: RobotRun) -> None:
        for path in (run.out, run.log):
            open(path, "ab").close()
        run.log_offset, run.out_offset = _size(run.log), _size(run.out)
        run.scan_offset, run.connected = run.out_offset, False
        try:
            run.proc = self.sup.start(run.robot.folder, [self.program], run.folder, run.out, run.log,
                                      append=True)
        except OSError as e:
            run.state, run.why = NOT_STARTED, f"cannot run {self.program}: {e.strerror}"
            return
        run.starts += 1
        with open(os.path.join(run.folder, "pid"), "w") as f:
            f.write(f"{run.proc.pid}\n")
        run.state = "running"

    def poll(self) -> bool:
        """Follows the agents; True while one runs or will be started again."""
        now = time.monotonic()
        busy = False
        for run in self.runs:
            if run.state == "restart" and now >= run.restart_at:
                self._start(run)
            elif run.state == "running":
                run.watch_connect(now)
                status = run.proc.poll()
                if status is not None:
                    self._ended(run, status, now)
            busy = busy or run.state in ("running", "restart")
        if busy:
            busy = not self._match_over()
        if self.echo is not None:
            self.copy_output()
        return busy

    def _match_over(self) -> bool:
        """Every other agent ended well (it saw the match end): a crashed one
        waiting to be started again has nothing left to play."""
        waiting = [run for run in self.runs if run.state == "restart" and run.restarts]
        others = [run for run in self.runs if run not in waiting]
        if not waiting or not others or any(run.state != "done" or run.status != 0 for run in others):
            return False
        for run in waiting:
            run.state = "done"
        return True

    def _ended(self, run: RobotRun, status: int, now: float) -> None:
        run.watch_connect(now)
        this_start = now - run.connected_at if run.connected_at is not None else 0.0
        run.disconnect(now)
        run.ends.append({"status": status, "signal": signal_name(run.proc.signal), "connected": run.connected})
        run.state, run.status = "done", status
        if run.connected:
            if status != 0:
                self._crashed(run, status, now, this_start)
            return
        if status != STARTUP_FAILURE:
            return
        out = read_part(run.out, run.out_offset).decode("utf-8", "replace")
        refused = REFUSED_TEXT in out
        if refused and run.restarts and now >= run.deadline:
            run.state, run.why = REFUSED, ("the server did not take it back after its restart "
                                           "(it still holds the robot for the agent that died)")
        elif refused and not run.restarts:
            run.state, run.why = REFUSED, "the server answered its connect request with false"
        elif refused or NOT_CONNECTED_TEXT in read_part(run.log, run.log_offset).decode("utf-8", "replace"):
            # A server may hold a dead agent's robot for a while before it lets another take it.
            if now < run.deadline:
                if not self.waiting_said and not run.restarts:
                    self.waiting_said = True
                    self.say(f"waiting for the server at {self.host}:{self.port} "
                             f"({max(1, round(run.deadline - now))} s left)")
                run.state, run.restart_at = "restart", now + RESTART_DELAY
            else:
                run.state = NEVER_CONNECTED

    def _crashed(self, run: RobotRun, status: int, now: float, connected_s: float) -> None:
        r = run.robot
        game_time = self.clock() if self.clock is not None else None
        crash = Crash(r.vt_id, r.colour, r.nickname, status, run.proc.signal, game_time, connected_s)
        run.crashes.append(crash)
        if run.restarts >= self.restarts:
            self.say(crash.text(), True)
            return
        delay = min(BACKOFF_MAX, BACKOFF_FIRST * 2 ** run.restarts)
        run.restarts += 1
        run.state, run.restart_at = "restart", now + delay
        run.deadline = run.restart_at + max(self.wait_s, RECONNECT_WAIT)
        self.say(f"{crash.text()}; starting it again in {delay:g} s "
                 f"(restart {run.restarts} of {self.restarts})", True)

    def copy_output(self, final: bool = False) -> None:
        """Robots' new lines to the terminal, each marked with its nickname."""
        for run in self.runs:
            for path in (run.out, run.log):
                offset = run.echo_offsets.get(path, 0)
                data = read_part(path, offset)
                cut = len(data) if final else data.rfind(b"\n") + 1
                if cut <= 0:
                    continue
                run.echo_offsets[path] = offset + cut
                for line in data[:cut].decode("utf-8", "replace").splitlines():
                    # Retries while the server is not up are told once, not per agent.
                    if NOT_CONNECTED_TEXT not in line:
                        self.echo.write(f"[{run.robot.nickname}] {line}\n")

    def running_processes(self) -> list:
        return [run.proc for run in self.runs if run.proc is not None and run.state == "running"]

    def stop(self) -> None:
        self.sup.stop(self.running_processes())
        now = time.monotonic()
        for run in self.runs:
            if run.state == "running":
                run.disconnect(run.proc.ended_at or now)
            elif run.state == "restart":
                # Stopped while waiting to start again: it ends as it last ended.
                run.state = "done" if run.ever_connected else NEVER_CONNECTED

    def exits(self) -> list:
        return [run.exit() for run in self.runs]

    def crashes(self) -> list:
        return [c for run in self.runs for c in run.crashes]

    def failure(self):
        """Why the team could not start (every robot failed before playing), or None."""
        whys = []
        for run in self.runs:
            e = run.exit()
            if e.exit in (NEVER_CONNECTED, REFUSED, NOT_STARTED):
                whys.append(f"{run.robot.nickname} {e.exit}" + (f": {e.why}" if e.why else ""))
            elif run.state == "done" and run.status != 0 and not run.ever_connected:
                whys.append(f"{run.robot.nickname} ended with status {run.status} before connecting")
            else:
                return None
        return "; ".join(whys)

    def record(self) -> dict:
        """What team.json keeps: per robot its starts, exits, restarts and connected time."""
        return {"colour": self.colour, "server": f"{self.host}:{self.port}", "program": self.program,
                "restarts_allowed": self.restarts, "robots": [run.record() for run in self.runs]}

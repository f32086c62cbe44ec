"""How a robot's agent ended, as one line '<vt_id>-<colour>-<nickname>: WHAT'
(team's summary, play's agents-exit.txt), and the reading of such lines."""
import re
from dataclasses import dataclass
from typing import Optional, Union

RUNNING = "running"
NEVER_CONNECTED = "never connected"
REFUSED = "refused"
NOT_STARTED = "not started"

LINE_RE = re.compile(r"^(-?\d+)-(yellow|blue)-([A-Za-z0-9_.-]+): (.*)$")


@dataclass
class AgentExit:
    vt_id: int
    colour: str
    nickname: str
    # An exit status, or RUNNING (had to be stopped), NEVER_CONNECTED, REFUSED, NOT_STARTED.
    exit: Union[int, str]
    why: str = ""

    def line(self) -> str:
        name = f"{self.vt_id}-{self.colour}-{self.nickname}"
        if isinstance(self.exit, int):
            return f"{name}: exit {self.exit}"
        if self.exit == RUNNING:
            return f"{name}: still running, stopped"
        if self.why:
            return f"{name}: {self.exit} ({self.why})"
        return f"{name}: {self.exit}"

    @property
    def ok(self) -> bool:
        return self.exit == 0


def parse_exit_line(line: str) -> Optional[AgentExit]:
    """The agent exit a line tells, or None for any other line."""
    m = LINE_RE.match(line.rstrip("\r\n"))
    if not m:
        return None
    vt, colour, nick, what = int(m.group(1)), m.group(2), m.group(3), m.group(4)
    if what.startswith("exit ") and re.fullmatch(r"-?\d+", what[5:]):
        return AgentExit(vt, colour, nick, int(what[5:]))
    if what == "still running, stopped":
        return AgentExit(vt, colour, nick, RUNNING)
    for state in (NEVER_CONNECTED, REFUSED, NOT_STARTED):
        if what == state or what.startswith(state + " ("):
            why = what[len(state) + 2:-1] if what != state else ""
            return AgentExit(vt, colour, nick, state, why)
    return None


def parse_exit_lines(text: str) -> list:
    return [e for e in map(parse_exit_line, text.splitlines()) if e is not None]

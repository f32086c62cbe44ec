"""Every key of an agent's config.ini and velocidade.ini with its type and
range: the one check that every way of giving a setting goes through (play,
team, players files, settings files, the tournament's contenders, tuning).

The agent converts numbers leniently ("12x" reads as 12, "abc" ends the
process with status 255 after it has connected), so a value is checked here
against what it means, before anything is written or started."""
import difflib
import math
import re
from dataclasses import dataclass
from typing import Dict, Optional, Tuple

from .errors import Refused
from .props import read_text

CONFIG = "config.ini"
SPEEDS = "velocidade.ini"

# The wheel speed the robot's top level is quantised to; more is clamped to it.
TOP_SPEED = 130.434697458164
INT32 = 2 ** 31 - 1


@dataclass(frozen=True)
class Setting:
    name: str
    file: str                  # CONFIG or SPEEDS
    kind: str                  # integer, number, yesno, enum, address, text
    low: Optional[float]       # inclusive range where one is known
    high: Optional[float]
    choices: Tuple[str, ...] = ()
    identity: bool = False     # written by the lab from the robot's identity


# name: (file, kind, low, high, choices, identity, what it is, for messages)
_TABLE = (
    ("SERVER_IP", CONFIG, "address", None, None, (), True, "the server's host name or address"),
    ("PORT_TEAM", CONFIG, "integer", 1, 65535, (), True, "the server's UDP port"),
    ("VERSION", CONFIG, "text", None, None, (), False, "the protocol version sent when connecting"),
    ("SLEEP", CONFIG, "integer", 0, 1_000_000, (), False, "microseconds between receive attempts"),
    ("TRIES", CONFIG, "integer", 1, 1_000_000, (), False, "receive attempts before giving up"),
    ("RECEIVE_WAIT", CONFIG, "enum", None, None, ("POLL", "SLEEP"), False,
     "how a pause between receive attempts ends"),
    ("ACCEPT_ANY_SOURCE", CONFIG, "yesno", None, None, (), False,
     "whether datagrams from other hosts than SERVER_IP are taken"),
    ("TEAM", CONFIG, "integer", 1, 2, (), True, "the colour, 1 blue, 2 yellow"),
    ("VT_ID", CONFIG, "integer", -INT32, INT32, (), True, "the robot's virtual id"),
    ("RC_ID", CONFIG, "integer", -INT32, INT32, (), True, "the robot's robot-control id"),
    ("NICK_NAME", CONFIG, "text", None, None, (), True, "the robot's nickname"),
    ("LOG_ENABLED", CONFIG, "yesno", None, None, (), False, "whether the agent logs"),
    ("LOG_LEVEL", CONFIG, "enum", None, None, ("TRACE", "DEBUG", "INFO", "WARN", "ERROR"), False,
     "the lowest level logged"),
    ("POS_BASE_X", CONFIG, "number", 0, 1, (), False, "the base position, a fraction of the length"),
    ("POS_BASE_Y", CONFIG, "number", 0, 1, (), False, "the base position, a fraction of the width"),
    ("KICKABLE", CONFIG, "number", 1, 1000, (), False, "millimetres within which a kick is considered"),
    ("FATOR_ATRACAO_X", CONFIG, "number", 0, 1, (), False, "how far the position follows the ball along"),
    ("FATOR_ATRACAO_Y", CONFIG, "number", 0, 1, (), False, "how far the position follows the ball across"),
    ("X_MINIMO", CONFIG, "number", 0, 1, (), False, "the zone's near edge, a fraction of the length"),
    ("X_MAXIMO", CONFIG, "number", 0, 1, (), False, "the zone's far edge, a fraction of the length"),
    ("Y_MINIMO", CONFIG, "number", 0, 1, (), False, "the zone's one side, a fraction of the width"),
    ("Y_MAXIMO", CONFIG, "number", 0, 1, (), False, "the zone's other side, a fraction of the width"),
    ("VEL_MAX", SPEEDS, "number", 0, TOP_SPEED, (), False, "the top wheel speed"),
    ("VEL_MAX_CURVE", SPEEDS, "number", 0, TOP_SPEED, (), False, "the top wheel speed in a curve"),
    ("VEL_MAX_SPIN", SPEEDS, "number", 0, TOP_SPEED, (), False, "the top wheel speed in a spin"),
    ("ANGLE_SPIN", SPEEDS, "number", 0, math.pi, (), False, "radians off the target beyond which to spin"),
    ("BIG_ANGLE", SPEEDS, "number", 0, math.pi, (), False, "radians off the target counted as a big angle"),
    ("ANGLE_VEL_MAX", SPEEDS, "number", 0, math.pi, (), False,
     "radians off the target within which to run at top speed"),
    ("LENGTH_NEAR", SPEEDS, "number", 0, 2000, (), False, "millimetres counted as near the target"),
)

SETTINGS: Dict[str, Setting] = {
    name: Setting(name, file, kind, low, high, choices, identity)
    for name, file, kind, low, high, choices, identity, _ in _TABLE
}
MEANING: Dict[str, str] = {row[0]: row[7] for row in _TABLE}

_INTEGER = re.compile(r"[-+]?[0-9]{1,12}")
_NUMBER = re.compile(r"[-+]?([0-9]{1,12}(\.[0-9]{0,12})?|\.[0-9]{1,12})([eE][-+]?[0-9]{1,3})?")
_HOST = re.compile(r"[A-Za-z0-9]([A-Za-z0-9.-]{0,251}[A-Za-z0-9])?")
_NICK = re.compile(r"[A-Za-z0-9_.-]{1,32}")
MAX_TEXT = 200
MAX_SETTINGS_BYTES = 1 << 16


def _shown(value: str) -> str:
    """The value for a message: quoted, control characters escaped, cut short."""
    text = value if len(value) <= 40 else value[:40] + "…"
    return repr(text) if not text.isprintable() or text != text.strip() or not text else text


def _number_text(x: float) -> str:
    return str(int(x)) if float(x).is_integer() else repr(float(x))


def expected(s: Setting) -> str:
    """What a value of `s` must be, in words."""
    if s.kind in ("integer", "number"):
        noun = "a whole number" if s.kind == "integer" else "a number"
        rng = f" from {_number_text(s.low)} to {_number_text(s.high)}" if s.low is not None else ""
        return f"{noun}{rng} ({MEANING[s.name]})"
    if s.kind == "yesno":
        return f"YES or NO ({MEANING[s.name]})"
    if s.kind == "enum":
        return f"one of {', '.join(s.choices)} ({MEANING[s.name]})"
    if s.kind == "address":
        return "a host name or dotted address"
    if s.name == "NICK_NAME":
        return "1 to 32 letters, digits, '_', '.' or '-'"
    return f"text of at most {MAX_TEXT} characters without control characters ({MEANING[s.name]})"


def nearest_key(key: str) -> Optional[str]:
    """The known key a mistyped one most likely meant, or None."""
    if key.upper() in SETTINGS:
        return key.upper()
    close = difflib.get_close_matches(key.upper(), list(SETTINGS), n=1, cutoff=0.6)
    return close[0] if close else None


def _unknown(key: str, value: str, where: str) -> Refused:
    near = nearest_key(key)
    hint = f"; did you mean {near}?" if near else f" (known keys: {', '.join(SETTINGS)})"
    return Refused(f"{where} {_shown(key)}={_shown(value)}: no such key in {CONFIG} or {SPEEDS}{hint}")


def _typed(s: Setting, value: str) -> Optional[str]:
    """The value as it is to be written, or None when it does not fit."""
    v = value.strip()
    if s.kind in ("integer", "number"):
        pattern = _INTEGER if s.kind == "integer" else _NUMBER
        if not pattern.fullmatch(v):
            return None
        x = float(v)
        if math.isfinite(x) and (s.low is None or s.low <= x <= s.high):
            return v
        return None
    if s.kind in ("yesno", "enum"):
        choices = ("YES", "NO") if s.kind == "yesno" else s.choices
        # The agent compares exactly; 'yes' would silently read as NO.
        return v.upper() if v.upper() in choices else None
    if s.kind == "address":
        return v if _HOST.fullmatch(v) and len(v) <= 253 else None
    if s.name == "NICK_NAME":
        return value if _NICK.fullmatch(value) else None
    if len(value) <= MAX_TEXT and value.isprintable():
        return value
    return None


def check_setting(key: str, value: str, where: str = "setting") -> str:
    """The value of KEY as it must be written; Refused, one line naming the key,
    the value and what is expected, for an unknown key, a key the lab writes
    itself, or a value of the wrong type or out of range. `where` starts the
    message (the option or file:line the setting came from)."""
    s = SETTINGS.get(key)
    if s is None:
        raise _unknown(key, value, where)
    if s.identity:
        raise Refused(f"{where} {key}={_shown(value)}: {key} is written by the lab from the robot's "
                      "identity (players file, --server, --team), not set by hand")
    typed = _typed(s, value)
    if typed is None:
        raise Refused(f"{where} {key}={_shown(value)}: expected {expected(s)}")
    return typed


def parse_line(text: str, where: str = "setting") -> Tuple[str, str]:
    """KEY=VALUE -> (key, checked value)."""
    key, eq, value = text.partition("=")
    if not eq or not key:
        raise Refused(f"{where} '{_shown(text)}' is not KEY=VALUE")
    return key, check_setting(key, value, where)


def read_settings_file(path: str) -> Dict[str, str]:
    """A KEY=VALUE file (tuned settings, --settings FILE): '#' lines and blank
    lines skipped, every key known, given once and checked. A key may be
    NICK:KEY, a setting of the robot NICK only (GO:KICKABLE=60)."""
    text = read_text(path, MAX_SETTINGS_BYTES, "settings file")
    out: Dict[str, str] = {}
    for n, line in enumerate(text.splitlines(), 1):
        stripped = line.strip()
        if not stripped or stripped.startswith("#"):
            continue
        where = f"{path}:{n}:"
        nick, key, value = split_robot(line, where)
        name = f"{nick}:{key}" if nick else key
        if name in out:
            raise Refused(f"{where} {name} is given twice")
        out[name] = value
    return out


def split_robot(text: str, where: str) -> Tuple[str, str, str]:
    """[NICK:]KEY=VALUE -> (nickname or '', key, checked value)."""
    head, eq, rest = text.partition("=")
    nick, colon, key = head.rpartition(":")
    if colon and not _NICK.fullmatch(nick):
        raise Refused(f"{where} '{_shown(text)}': '{_shown(nick)}' is not a robot's nickname")
    if not eq or not key:
        raise Refused(f"{where} '{_shown(text)}' is not KEY=VALUE")
    return nick, key, check_setting(key, rest, where)

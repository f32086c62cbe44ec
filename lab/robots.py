"""The robots of a team: read from a players file (a real field) or derived
from the simulated server's scenario file, and the settings each robot's
config.ini gets."""
import re
from dataclasses import dataclass, field

from .errors import Refused
from .props import read_properties, read_text
from .settings_schema import check_setting

COLOURS = {"yellow": 2, "blue": 1}
NICK_RE = re.compile(r"[A-Za-z0-9_.-]+")
# As the simulated server allows.
MAX_NICKNAME = 32
ID_RE = re.compile(r"-?[0-9]{1,9}")
MAX_PLAYERS_BYTES = 1 << 20
# Written from the columns and --server; a robot's own settings may not contradict them.
IDENTITY_KEYS = ("SERVER_IP", "PORT_TEAM", "TEAM", "VT_ID", "RC_ID", "NICK_NAME")
# A goalkeeper keeps to its own goal area.
GOALKEEPER_SETTINGS = (("X_MINIMO", "0.02"), ("X_MAXIMO", "0.2"), ("Y_MINIMO", "0.25"),
                       ("Y_MAXIMO", "0.75"), ("FATOR_ATRACAO_X", "0.1"), ("FATOR_ATRACAO_Y", "0.5"))


@dataclass(frozen=True)
class Robot:
    colour: str
    nickname: str
    vt_id: int
    rc_id: int
    settings: tuple = field(default=())  # (KEY, VALUE) pairs of this robot only

    @property
    def folder(self) -> str:
        return f"{self.vt_id}-{self.colour}-{self.nickname}"


def strip_comment(line: str) -> str:
    """A '#' starts a comment at a line's start or after whitespace, so values may hold one."""
    m = re.search(r"(^|\s)#", line)
    return line if m is None else line[:m.start()]


def read_players(path: str) -> list:
    """Every robot of a players file (both colours), checked line by line."""
    text = read_text(path, MAX_PLAYERS_BYTES, "players file")
    robots, seen_vt = [], set()
    for n, line in enumerate(text.splitlines(), 1):
        words = strip_comment(line).split()
        if not words:
            continue
        where = f"{path}:{n}"
        if len(words) < 4:
            raise Refused(f"{where}: expected 'colour nickname vt_id rc_id [KEY=VALUE ...]'")
        colour, nick, vt, rc = words[:4]
        if colour not in COLOURS:
            raise Refused(f"{where}: colour '{colour}' is neither yellow nor blue")
        if not NICK_RE.fullmatch(nick):
            raise Refused(f"{where}: nickname '{nick}' may only hold letters, digits, '_', '.' and '-'")
        if len(nick) > MAX_NICKNAME:
            raise Refused(f"{where}: nickname '{nick[:40]}…' is longer than {MAX_NICKNAME} characters")
        for name, value in (("vt_id", vt), ("rc_id", rc)):
            if not ID_RE.fullmatch(value):
                raise Refused(f"{where}: {name} '{value}' is not a whole number")
        # The server tells robots apart by vt_id, whatever their colour; 01 is 1.
        if int(vt) in seen_vt:
            raise Refused(f"{where}: vt_id {int(vt)} is given twice")
        seen_vt.add(int(vt))
        robots.append(Robot(colour, nick, int(vt), int(rc), _robot_settings(words[4:], where)))
    return robots


def _robot_settings(words: list, where: str) -> tuple:
    settings, seen = [], set()
    for kv in words:
        key, eq, value = kv.partition("=")
        if not eq or not key:
            raise Refused(f"{where}: '{kv}' is not KEY=VALUE")
        if key in IDENTITY_KEYS:
            raise Refused(f"{where}: {key} comes from the columns and --server, "
                          "not from a robot's settings")
        if key in seen:
            raise Refused(f"{where}: {key} is given twice")
        seen.add(key)
        settings.append((key, check_setting(key, value, f"{where}:")))
    return tuple(settings)


def team_of(robots: list, colour: str, source: str) -> list:
    """The robots of one colour, with nicknames and rc_ids unique within it."""
    team, nicks, rcs = [], set(), set()
    for r in robots:
        if r.colour != colour:
            continue
        if r.nickname in nicks:
            raise Refused(f"{source}: nickname {r.nickname} is given twice for {colour}")
        if r.rc_id in rcs:
            raise Refused(f"{source}: rc_id {r.rc_id} is given twice for {colour}")
        nicks.add(r.nickname)
        rcs.add(r.rc_id)
        team.append(r)
    if not team:
        raise Refused(f"{source} lists no {colour} robot")
    return team


def _number(text: str, where: str) -> float:
    try:
        v = float(text)
    except ValueError:
        raise Refused(f"{where}: not a number: '{text}'") from None
    if v != v or v in (float("inf"), float("-inf")):
        raise Refused(f"{where}: not a number: '{text}'")
    return v


def parse_robot_line(vt_id: int, value: str, where: str):
    """'team nickname x y heading [dropout]' -> (colour, nickname, x, y)."""
    words = value.split()
    if len(words) < 5 or words[0] not in COLOURS or not NICK_RE.fullmatch(words[1]):
        raise Refused(f"{where}: expected 'yellow|blue nickname x y heading'")
    return words[0], words[1], _number(words[2], where), _number(words[3], where)


def scenario_robots(path: str, listed=None) -> tuple:
    """The robots of a scenario with the settings their agents need (base
    position as fractions of their own team's frame, a goalkeeper's rectangle),
    and the scenario's protocol version. `listed` gives the robots
    ('vt_id team nickname x y heading' lines) when the file names none."""
    props = read_properties(path)
    for key in ("FIELD_LENGTH", "FIELD_WIDTH"):
        if ".." in props.get(key, ""):
            # The agents' base positions are fractions of the field's size.
            raise Refused(f"{path}: {key}: the lab takes one size for every match, not a range")
    length = _number(props.get("FIELD_LENGTH", "1500"), f"{path}: FIELD_LENGTH")
    width = _number(props.get("FIELD_WIDTH", "1300"), f"{path}: FIELD_WIDTH")
    if length <= 0 or width <= 0:
        raise Refused(f"{path}: FIELD_LENGTH and FIELD_WIDTH must be positive")
    specs = []
    for key, value in props.items():
        tail = key[len("ROBOT_"):]
        # ROBOT_SIZE, ROBOT_MASS and the like are physics, not robots.
        if key.startswith("ROBOT_") and tail[:1].isdigit():
            if not tail.isdigit() or len(tail) > 7:
                raise Refused(f"{path}: {key}: the key must be ROBOT_<vt_id>")
            specs.append((int(tail),) + parse_robot_line(int(tail), value, f"{path}: {key}"))
    if not specs and listed is not None:
        for line in listed():
            words = line.split()
            if len(words) >= 5 and words[0].isdigit():
                specs.append((int(words[0]), words[1], words[2], float(words[3]), float(words[4])))
    robots = []
    for vt, colour, nick, x, y in sorted(specs):
        # The blue frame is the physical one turned by half a turn.
        sign = -1.0 if colour == "blue" else 1.0
        settings = [("POS_BASE_X", f"{(sign * x + length / 2) / length:.4f}"),
                    ("POS_BASE_Y", f"{(sign * y + width / 2) / width:.4f}")]
        if nick == "GO":
            settings = list(GOALKEEPER_SETTINGS) + settings
        robots.append(Robot(colour, nick, vt, vt, tuple(settings)))
    if not robots:
        raise Refused(f"{path} names no robot")
    return robots, props.get("PROTOCOL_VERSION", "").strip()

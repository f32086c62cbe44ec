"""The parameters of a tuning run: `--param KEY=START,MIN,MAX[,C_END[,R_END]]`,
KEY a number setting of config.ini or velocidade.ini for every robot, or
GO:KEY for the goalkeeper alone (it wins over a plain KEY, which then holds
for the field players)."""
import math
import re

from ..errors import Refused
from ..settings_schema import SETTINGS
from .spsa import Param

ROLE = "GO"
# The frameworks' usual ends: a perturbation a twentieth of the range, and this rate.
C_END_SHARE = 1 / 20
# A tuning run here is a few hundred pairs, not the frameworks' tens of thousands:
# their customary 0.002 would hardly move; 0.2 crosses a range in 200 pairs
# of a clear signal (see tests/tune).
R_END = 0.2
MAX_PARAMS = 32
PARAM_RE = re.compile(r"((?:GO:)?[A-Za-z_][A-Za-z0-9_]*)=(.*)", re.S)


def split_key(name: str) -> tuple:
    """'GO:KEY' -> ('GO', 'KEY'); 'KEY' -> ('', 'KEY')."""
    role, colon, key = name.rpartition(":")
    return (role, key) if colon else ("", name)


def setting_of(name: str):
    return SETTINGS[split_key(name)[1]]


def _number(field: str, what: str, param: str) -> float:
    try:
        value = float(field)
    except ValueError:
        value = math.nan
    if not math.isfinite(value):
        raise Refused(f"--param {param}: {what} '{field}' is not a number")
    return value


def parse_param(text: str) -> Param:
    m = PARAM_RE.fullmatch(text)
    if not m:
        raise Refused(f"--param '{text}' is not KEY=START,MIN,MAX[,C_END[,R_END]]")
    name, fields = m.group(1), m.group(2).split(",")
    role, key = split_key(name)
    s = SETTINGS.get(key)
    if s is None:
        raise Refused(f"--param {text}: unknown setting {key} (a key of config.ini or velocidade.ini)")
    if s.identity or s.kind not in ("integer", "number"):
        raise Refused(f"--param {text}: {key} is not a number setting that can be tuned")
    if not 3 <= len(fields) <= 5:
        raise Refused(f"--param {text}: needs START,MIN,MAX[,C_END[,R_END]]")
    names = ("START", "MIN", "MAX", "C_END", "R_END")
    values = [_number(t.strip(), n, text) for n, t in zip(names, fields)]
    start, low, high = values[:3]
    if low >= high:
        raise Refused(f"--param {text}: MIN {fields[1]} is not below MAX {fields[2]}")
    for what, v in (("MIN", low), ("MAX", high)):
        if s.low is not None and not s.low <= v <= s.high:
            raise Refused(f"--param {text}: {what} {v:g} is outside {key}'s range {s.low:g} to {s.high:g}")
    if not low <= start <= high:
        raise Refused(f"--param {text}: START {start:g} is outside MIN..MAX")
    c_end = values[3] if len(values) > 3 else (high - low) * C_END_SHARE
    r_end = values[4] if len(values) > 4 else R_END
    if not 0 < c_end <= high - low:
        raise Refused(f"--param {text}: C_END {c_end:g} must be above 0 and at most MAX - MIN")
    if r_end <= 0:
        raise Refused(f"--param {text}: R_END {r_end:g} must be above 0")
    return Param(f"{role}:{key}" if role else key, start, low, high, c_end, r_end)


def parse_params(specs: list) -> list:
    if not specs:
        raise Refused("give at least one --param KEY=START,MIN,MAX")
    if len(specs) > MAX_PARAMS:
        raise Refused(f"at most {MAX_PARAMS} --param")
    params, seen = [], set()
    for text in specs:
        p = parse_param(text)
        if p.name in seen:
            raise Refused(f"--param {p.name} is given twice")
        seen.add(p.name)
        params.append(p)
    return params


def value_text(p: Param, value: float) -> str:
    """A value as written into the settings: integer keys rounded."""
    if setting_of(p.name).kind == "integer":
        return str(int(round(value)))
    return f"{value:.6g}"


def settings_of(params: list, values: list) -> list:
    """[(name, text)] of values, as the match job and the settings files take them."""
    return [(p.name, value_text(p, v)) for p, v in zip(params, values)]

"""Property files as the agents and the server read them: KEY=VALUE lines,
'#' at a line's start for a comment."""
import os

from .errors import Refused

# Settings and scenario files are a few KiB; a path to a device or a huge
# file must not be read into memory.
MAX_PROPERTY_BYTES = 1 << 20


def read_bytes(path: str, limit: int = MAX_PROPERTY_BYTES, what: str = "") -> bytes:
    """A file the user named, as it is, refused beyond `limit` bytes: the lab's
    one bounded reader. `what` names the file in messages ("players file")."""
    name = f"{what} {path}" if what else path
    try:
        with open(path, "rb") as f:
            raw = f.read(limit + 1)
    except OSError as e:
        raise Refused(f"cannot read {name}: {e.strerror}") from None
    if len(raw) > limit:
        raise Refused(f"{name} is larger than {limit} bytes")
    return raw


def read_text(path: str, limit: int = MAX_PROPERTY_BYTES, what: str = "") -> str:
    """A file's text, a byte-order mark dropped."""
    return read_bytes(path, limit, what).decode("utf-8-sig", errors="replace")


def read_properties(path: str) -> dict:
    """The keys of a property file in file order; a later line wins."""
    text = read_text(path)
    props = {}
    for n, line in enumerate(text.splitlines(), 1):
        if not line or line.startswith("#"):
            continue
        key, eq, value = line.partition("=")
        if not eq or not key:
            raise Refused(f"{path}:{n}: not KEY=VALUE")
        props[key] = value
    return props


class SettingsFile:
    """A config.ini in memory: the template's lines, with keys replaced where
    they stand and new ones added at the end, written once."""

    def __init__(self, lines: list):
        self._lines = list(lines)
        self._index = {}
        for i, line in enumerate(self._lines):
            key, eq, _ = line.partition("=")
            if eq and not line.startswith("#") and key not in self._index:
                self._index[key] = i

    @classmethod
    def load(cls, path: str) -> "SettingsFile":
        return cls(read_text(path).splitlines())

    def copy(self) -> "SettingsFile":
        return SettingsFile(self._lines)

    def set(self, key: str, value: str) -> None:
        line = f"{key}={value}"
        if key in self._index:
            self._lines[self._index[key]] = line
        else:
            self._index[key] = len(self._lines)
            self._lines.append(line)

    def get(self, key: str, default: str = "") -> str:
        i = self._index.get(key)
        return default if i is None else self._lines[i].partition("=")[2]

    def keys(self):
        return self._index.keys()

    def text(self) -> str:
        return "\n".join(self._lines) + "\n"


def write_whole(path: str, text: str) -> None:
    """Writes under a temporary name and renames, so a reader never sees half a file."""
    tmp = f"{path}.tmp{os.getpid()}"
    with open(tmp, "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(tmp, path)


def read_part(path: str, offset: int = 0, limit: int = MAX_PROPERTY_BYTES) -> bytes:
    """Up to `limit` bytes of a file the lab's own programs write (a log, an
    agent's output) from `offset`; nothing when it cannot be read (yet)."""
    try:
        with open(path, "rb") as f:
            f.seek(offset)
            return f.read(limit)
    except OSError:
        return b""

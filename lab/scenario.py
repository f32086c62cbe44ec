"""A scenario file named by the user (play, tournament, tune --scenario):
checked before anything starts, by the lab (its robots) and by the server
that will play it (every key, a family's ranges and extremes), and its
camera: whether the file sets its own noise."""
import os
import subprocess

from .errors import Refused
from .props import read_properties
from .robots import scenario_robots

CAMERA_KEYS = ("NOISE_DIST", "NOISE_ANGLE")
# The server checks a family's every corner before it lists the robots (about 30 ms).
CHECK_SECONDS = 30
# The server states a refused scenario in one line that starts so.
SERVER_PREFIX = "simserver: "


def given_file(path: str, option: str = "--scenario") -> str:
    """The absolute path of a scenario file given on the command line."""
    full = os.path.abspath(path)
    if not os.path.isfile(full):
        raise Refused(f"{option} {path} is not a file")
    if not os.access(full, os.R_OK):
        raise Refused(f"{option} {path} cannot be read")
    return full


def sets_camera(path: str) -> bool:
    """True when the file gives the camera noise of its own: NOISE_DIST or
    NOISE_ANGLE set to anything but 0 (a value or a range). A file that leaves
    both out, or sets them to 0, has an exact camera."""
    props = read_properties(path)
    for key in CAMERA_KEYS:
        value = props.get(key, "0").strip()
        try:
            if float(value) == 0:
                continue
        except ValueError:
            pass
        return True
    return False


def check(path: str, simserver: str, option: str = "--scenario") -> None:
    """Refuses, in one line, a file the server would not play or the lab
    cannot field a team from. A server that cannot be run at all is left to
    the match, whose record then says so."""
    try:
        r = subprocess.run([simserver, "--scenario", path, "--list-robots"], stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, timeout=CHECK_SECONDS)
    except (OSError, subprocess.SubprocessError):
        return
    lines = [l for l in r.stderr.decode("utf-8", "replace").splitlines() if l.startswith(SERVER_PREFIX)]
    if r.returncode != 0 and lines:
        raise Refused(f"{option}: the server refuses it: {lines[-1][len(SERVER_PREFIX):]}")
    listed = r.stdout.decode("utf-8", "replace").splitlines() if r.returncode == 0 else []
    try:
        scenario_robots(path, lambda: listed)
    except Refused as e:
        raise Refused(f"{option}: {e}") from None

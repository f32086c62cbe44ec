"""Where the lab finds its programs and sample files: a checkout (programs in
build/ or SOCCER_BUILD_DIR) or an installed tree (programs in PREFIX/bin,
files in PREFIX/share/soccer)."""
import os
from dataclasses import dataclass

from .errors import Refused

AGENT_NAMES = ("agent", "agent-b", "agent-c")
PACKAGE_DIR = os.path.dirname(os.path.abspath(__file__))


@dataclass(frozen=True)
class Layout:
    root: str          # the checkout, or PREFIX/share/soccer
    checkout: bool
    build_dir: str     # agent programs and simserver
    build_dir_given: bool

    @property
    def config(self) -> str:
        return os.path.join(self.root, "config")

    def config_file(self, name: str) -> str:
        return os.path.join(self.config, name)

    @property
    def runs(self) -> str:
        # An installed lab keeps its runs where the user works.
        return os.path.join(self.root if self.checkout else os.getcwd(), "runs")


def find_layout(environ=os.environ) -> Layout:
    root = os.path.dirname(PACKAGE_DIR)
    checkout = os.path.isfile(os.path.join(root, "CMakeLists.txt"))
    given = environ.get("SOCCER_BUILD_DIR", "")
    if given:
        build = given
    elif checkout:
        build = os.path.join(root, "build")
    else:
        build = os.path.join(os.path.dirname(os.path.dirname(root)), "bin")
    return Layout(root, checkout, os.path.abspath(build), bool(given))


def agent_program(program: str, layout: Layout, option: str) -> str:
    """The path of PROGRAM: a name built in the build folder or the path of an
    executable; not yet checked to be built (play builds first)."""
    if "/" in program:
        path = os.path.abspath(program)
        if not (os.path.isfile(path) and os.access(path, os.X_OK)):
            raise Refused(f"{option} {program} is not an executable file")
        return path
    if program in AGENT_NAMES:
        return os.path.join(layout.build_dir, program)
    hint = "; one program per team" if "," in program else ""
    raise Refused(f"{option}: unknown program '{program}' ({', '.join(AGENT_NAMES)} "
                  f"or the path of an executable{hint})")


def require_built(path: str, layout: Layout) -> None:
    """Refuses a program of the build folder that is not (yet) built."""
    if not os.access(path, os.X_OK):
        raise Refused(f"program {os.path.basename(path)} is not built ({path} is missing; "
                      f"build it with cmake --build {layout.build_dir})")


def resolve_program(program: str, layout: Layout, option: str) -> str:
    """The lab's one program resolver: the path of a program that can be run."""
    path = agent_program(program, layout, option)
    require_built(path, layout)
    return path


def parse_server(text: str) -> tuple:
    """HOST[:PORT] (port 20000 when not given); a URL such as http://host:port is taken
    for its host and port."""
    import re
    if "://" in text:
        scheme, _, rest = text.partition("://")
        rest = rest.rstrip("/")
        if not (re.fullmatch(r"[A-Za-z][A-Za-z0-9+.-]*", scheme) and rest):
            raise Refused(f"malformed server address '{text}' (HOST[:PORT])")
        text = rest
    host, colon, port = text.partition(":")
    if not colon:
        port = "20000"
    if not re.fullmatch(r"[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?", host):
        raise Refused(f"malformed server address '{text}' (HOST[:PORT])")
    if not re.fullmatch(r"[0-9]{1,5}", port) or not 1 <= int(port) <= 65535:
        raise Refused(f"server port '{port}' is not a number from 1 to 65535")
    return host, int(port)

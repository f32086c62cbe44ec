"""Texts that say where things are. They are written for a checkout (build/,
config/, scripts/*.sh); an installed lab shows them with its installed
folders and commands instead, so that no message sends a user to a file the
field PC does not have."""
import re

from .layout import Layout

COMMAND_PREFIX = "soccer-"
SCRIPTS = ("play", "team", "tournament", "tune")


def _phrases(layout: Layout) -> list:
    programs = layout.build_dir
    words = [
        # Wrapped help text: a phrase may break across lines.
        (r"and skips the install-and-build step", "instead of the installed ones"),
        (r"\(built in build/\)", f"(in {programs})"),
        (r"built in the build folder", f"installed in {programs}"),
        (r"from the build folder", f"from {programs}"),
        (r"simserver of the build folder", f"{programs}/simserver"),
        (r"the build folder", programs),
    ]
    rules = [(re.compile(r"\s+".join(p.split(" "))), new) for p, new in words]
    for name in SCRIPTS:
        rules.append((re.compile(rf"(\./)?scripts/{name}\.sh\b"), COMMAND_PREFIX + name))
    rules.append((re.compile(r"(?<![\w./-])build/"), programs + "/"))
    rules.append((re.compile(r"(?<![\w./-])config/"), layout.config + "/"))
    return rules


def for_layout(text: str, layout: Layout) -> str:
    """TEXT as written for a checkout; for an installed lab, with the installed
    folders and commands in place of build/, config/ and scripts/*.sh."""
    if layout.checkout:
        return text
    for rule, new in _phrases(layout):
        text = rule.sub(lambda _m, new=new: new, text)
    return text


def install_hint(layout: Layout, profile: str, packages: list) -> str:
    """How to install PACKAGES: the checkout's bootstrap profile, or apt."""
    if layout.checkout:
        return f"./scripts/bootstrap.sh {profile} installs {'it' if len(packages) == 1 else 'them'}"
    return f"sudo apt install {' '.join(packages)}"

"""The README and docs/ against the lab: every link resolves, every option a
command is shown with exists in that command's --help, the README stays short."""
import glob
import os
import re
import subprocess
import sys

import pytest

from conftest import ROOT

COMMANDS = ("play", "team", "tournament", "tune")
# Written on the branch of the field's physics; tolerated as missing until it lands.

FENCE_RE = re.compile(r"^```[^\n]*\n(.*?)^```", re.M | re.S)
INLINE_RE = re.compile(r"`([^`\n]+)`")
COMMAND_RE = re.compile(r"(?:^|[\s(])(?:\./)?(?:scripts/)?(?:soccer-|lab )?(play|team|tournament|tune)(?:\.sh)?\s+(--\S.*)")
OPTION_RE = re.compile(r"(?<![\w-])--[a-z0-9][a-z0-9-]*")
LINK_RE = re.compile(r"\]\(([^)\s#]*)(?:#([^)\s]*))?\)")


def md_files():
    return ["README.md"] + sorted(os.path.relpath(p, ROOT) for p in glob.glob(os.path.join(ROOT, "docs", "*.md")))


def read(rel):
    with open(os.path.join(ROOT, rel), encoding="utf-8") as f:
        return f.read()


def slug(heading):
    """GitHub's anchor of a heading."""
    text = re.sub(r"[`*]", "", heading.strip().lower())
    return re.sub(r"[^\w\- ]", "", text).replace(" ", "-")


def anchors(rel):
    return {slug(h) for h in re.findall(r"^#+ (.*)$", FENCE_RE.sub("", read(rel)), re.M)}


def command_lines(text):
    """(command, rest of line) for each command shown in a code block (fenced or
    indented) or a code span."""
    blocks = [b.replace("\\\n", " ") for b in FENCE_RE.findall(text)]
    prose = FENCE_RE.sub("", text)
    indented = [line for line in prose.replace("\\\n", " ").splitlines() if line.startswith("    ")]
    pieces = [line for b in blocks for line in b.splitlines()] + indented + INLINE_RE.findall(prose)
    for piece in pieces:
        for m in COMMAND_RE.finditer(piece):
            yield m.group(1), re.split(r"\s#|\s\||;|&&", m.group(2))[0]


def help_options(command):
    out = subprocess.run([sys.executable, "-B", os.path.join(ROOT, "scripts", "lab"), command, "--help"],
                         capture_output=True, text=True, timeout=60, cwd=ROOT).stdout
    return set(OPTION_RE.findall(out))


@pytest.fixture(scope="module")
def helps():
    return {c: help_options(c) for c in COMMANDS}


def test_readme_is_at_most_300_lines():
    assert len(read("README.md").splitlines()) <= 300


def test_the_first_screen_starts_from_the_two_commands():
    first = "\n".join(read("README.md").splitlines()[:40])
    assert "./scripts/play.sh " in first and "./scripts/test.sh " in first
    for shown in ("./scripts/team.sh", "./scripts/tournament.sh --programs agent,agent:KICKABLE=120 --sprt",
                  "./scripts/tune.sh --param"):
        assert shown in first


@pytest.mark.parametrize("rel", md_files())
def test_links_resolve(rel):
    here = os.path.dirname(rel)
    bad = []
    for target, anchor in LINK_RE.findall(read(rel)):
        if target.startswith(("http:", "https:", "mailto:")):
            continue
        path = os.path.normpath(os.path.join(here, target)) if target else rel
        if not os.path.exists(os.path.join(ROOT, path)):
            bad.append(target)
            continue
        if anchor and path.endswith(".md") and anchor not in anchors(path):
            bad.append(f"{target}#{anchor}")
    assert not bad, f"{rel}: broken links {bad}"


@pytest.mark.parametrize("rel", md_files())
def test_every_option_shown_exists(rel, helps):
    unknown = {(c, o) for c, rest in command_lines(read(rel)) for o in OPTION_RE.findall(rest)
               if o not in helps[c]}
    assert not unknown, f"{rel}: options no --help lists: {sorted(unknown)}"


def test_the_checker_sees_commands_and_options():
    text = "x\n```sh\n./scripts/tune.sh --param K=1,0,2 \\\n  --jobs 2   # --not-this\n```\n`team.sh --set A=1`"
    assert sorted(command_lines(text)) == [("team", "--set A=1"), ("tune", "--param K=1,0,2    --jobs 2  ")]
    assert OPTION_RE.findall("--param K=1,0,2 --jobs=2 x--y") == ["--param", "--jobs"]

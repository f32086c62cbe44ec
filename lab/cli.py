"""What the subcommands share on their command lines: an argparse parser whose
every complaint is the lab's own one-line refusal (exit 1, nothing started),
options that may be given once unless they repeat by design, the program's
name in messages, and the run folders named by date."""
import argparse
import os
import re
import time

from .errors import Refused


def prog_name(sub: str) -> str:
    return os.environ.get("LAB_PROG", f"lab {sub}")


class HelpAsked(Exception):
    pass


def _first_time(namespace, dest: str) -> bool:
    seen = getattr(namespace, "_given", set())
    namespace._given = seen | {dest}
    return dest not in seen


class _Once(argparse.Action):
    """An option that takes one value and may be given once."""

    def __call__(self, parser, namespace, values, option_string=None):
        if not _first_time(namespace, self.dest):
            raise Refused(f"{option_string} is given twice ({option_string} {getattr(namespace, self.dest)} "
                          f"and {option_string} {values}); give it once")
        setattr(namespace, self.dest, values)


class _Flag(argparse.Action):
    """A switch, given once."""

    def __init__(self, option_strings, dest, **kwargs):
        kwargs.setdefault("default", False)
        super().__init__(option_strings, dest, nargs=0, **kwargs)

    def __call__(self, parser, namespace, values, option_string=None):
        if not _first_time(namespace, self.dest):
            raise Refused(f"{option_string} is given twice; give it once")
        setattr(namespace, self.dest, self.const if self.const is not None else True)


class _Help(argparse.Action):
    def __init__(self, option_strings, dest, **kwargs):
        super().__init__(option_strings, dest, nargs=0)

    def __call__(self, parser, namespace, values, option_string=None):
        raise HelpAsked()


class Parser(argparse.ArgumentParser):
    """argparse with the lab's messages: `value(...)` for an option given once,
    `repeated(...)` for one that repeats (--set), `flag(...)` for a switch;
    --help raises HelpAsked, and the subcommand prints its own text."""

    def __init__(self, prog: str):
        super().__init__(prog=prog, add_help=False, allow_abbrev=False)
        self.add_argument("--help", "-h", action=_Help)

    def value(self, *names, default="", dest=None):
        self.add_argument(*names, action=_Once, default=default, dest=dest)

    def repeated(self, *names, dest=None):
        self.add_argument(*names, action="append", default=[], dest=dest)

    def flag(self, *names, const=None, dest=None):
        self.add_argument(*names, action=_Flag, const=const, dest=dest)

    def error(self, message):
        m = re.match(r"argument (\S+?)(/\S+)?: expected one argument", message)
        if m:
            raise Refused(f"{m.group(1)} needs a value (see --help)")
        raise Refused(f"{message} (see --help)")

    def parse(self, argv: list) -> argparse.Namespace:
        ns, extra = self.parse_known_args(argv)
        if extra:
            # The last time the word occurs: an earlier one may be an option's value.
            raise stray_argument(argv, len(argv) - 1 - argv[::-1].index(extra[0]))
        return ns


def stray_argument(argv: list, i: int) -> Refused:
    """An unknown option, or a word that reads as a second value of the option before it."""
    word = argv[i]
    if not word.startswith("-") and i >= 2 and argv[i - 2].startswith("--"):
        return Refused(f"unexpected argument '{word}' after {argv[i - 2]} {argv[i - 1]} "
                       f"({argv[i - 2]} takes one value)")
    return Refused(f"unknown option {word} (see --help)")


def next_value(argv: list, i: int, hint: str = "") -> str:
    """The value after argv[i], for parsers written by hand."""
    if i + 1 >= len(argv):
        raise Refused(f"{argv[i]} needs a value{hint}")
    return argv[i + 1]


def date_folder(parent: str, prefix: str) -> str:
    """A new folder PARENT/PREFIX<date-time>[-N]; mkdir fails on one that exists,
    so two runs in the same second part ways."""
    os.makedirs(parent, exist_ok=True)
    stamp = time.strftime("%Y%m%d-%H%M%S")
    path, n = os.path.join(parent, prefix + stamp), 1
    while True:
        try:
            os.mkdir(path)
            return path
        except FileExistsError:
            path, n = os.path.join(parent, f"{prefix}{stamp}-{n}"), n + 1

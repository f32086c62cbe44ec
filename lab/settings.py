"""The lab's one settings parser: settings given on the command line (--set,
--yellow-set, a tournament's contenders), in players files and in settings
files, each checked by the schema, and what a robot's two files get from them."""
from dataclasses import dataclass, field
from typing import List, Tuple

from .errors import Refused
from .props import SettingsFile
from .settings_schema import CONFIG, SETTINGS, check_setting, read_settings_file, split_robot


def parse_setting(text: str, option: str, known=None) -> Tuple[str, str]:
    """KEY=VALUE -> (key, value as it is to be written). `known` is no longer
    used: every key of either file is accepted, and only those."""
    key, eq, value = text.partition("=")
    if not eq:
        raise Refused(f"{option} '{text}' has no '=' (KEY=VALUE)")
    return key, check_setting(key, value, option)


@dataclass
class TeamSettings:
    """A team's settings on top of the sample files, in the order they apply:
    a robot's own from the players file, then these team-wide ones, then these
    robot ones (NICK:KEY=VALUE), the later winning."""
    team: List[Tuple[str, str]] = field(default_factory=list)
    robots: List[Tuple[str, str, str]] = field(default_factory=list)   # (nickname, key, value)

    def add(self, nick: str, key: str, value: str) -> None:
        if nick:
            self.robots.append((nick, key, value))
        else:
            self.team.append((key, value))

    def for_robot(self, robot) -> list:
        own = [(k, v) for nick, k, v in self.robots if nick == robot.nickname]
        return list(robot.settings) + self.team + own


def _check_nick(nick: str, nicknames, colour: str, where: str) -> None:
    if nick and nick not in nicknames:
        raise Refused(f"{where} names {nick}, which is no {colour} robot")


def add_sets(settings: TeamSettings, texts: list, nicknames, colour: str, option: str) -> None:
    """--set KEY=VALUE and NICK:KEY=VALUE (NICK a robot of the team)."""
    for text in texts:
        if "=" not in text:
            raise Refused(f"{option} '{text}' has no '=' (KEY=VALUE or NICK:KEY=VALUE)")
        nick, key, value = split_robot(text, option)
        _check_nick(nick, nicknames, colour, f"{option} {text}")
        settings.add(nick, key, value)


def add_file(settings: TeamSettings, path: str, nicknames, colour: str) -> None:
    """A settings file's lines (KEY=VALUE, NICK:KEY=VALUE) as team settings."""
    for name, value in read_settings_file(path).items():
        nick, _, key = name.rpartition(":")
        _check_nick(nick, nicknames, colour, f"{path}: {name}")
        settings.add(nick, key, value)


def robot_files(config: SettingsFile, speeds: SettingsFile, pairs: list) -> None:
    """Each setting into the file it belongs to."""
    for key, value in pairs:
        (config if SETTINGS[key].file == CONFIG else speeds).set(key, value)

"""lab team: fields one team against a Soccer Server, the simulated one or a
league's real one. Writes one working folder per robot (config.ini and
velocidade.ini from the samples with the server, colour, identity and the
given settings filled in), starts one agent per robot, starts again those
that could not connect until --wait runs out and, up to --restart times,
those that died after connecting, and stops them all on INT, TERM or HUP or
when they have all ended. team.json keeps what became of each robot."""
import json
import os
import socket
import sys
from dataclasses import dataclass

from . import localserver
from .cli import HelpAsked, Parser, date_folder, prog_name
from .console import GONE_STATUS, Console
from .errors import Refused
from .exits import NEVER_CONNECTED, REFUSED
from .layout import find_layout, parse_server, resolve_program
from .props import SettingsFile, write_whole
from .robots import COLOURS, read_players, scenario_robots, team_of
from .settings import TeamSettings, add_file, add_sets
from .supervisor import Supervisor
from .teamrun import TeamRun

USAGE = """\
Usage: {prog} --server HOST[:PORT] --team yellow|blue [options]
  --server HOST[:PORT]  the Soccer Server (port 20000 when not given)
  --team yellow|blue    the colour this team plays
  --program P           agent, agent-b, agent-c (built in build/) or the path of
                        an agent program (default agent)
  --5v5                 the 5 against 5 players file instead of 3 against 3
  --players FILE        the team's robots (default config/players-3v3.ini);
                        lines: colour nickname vt_id rc_id [KEY=VALUE ...]
  --scenario FILE       the robots of a simulated server's scenario file
                        instead of a players file
  --settings FILE       settings for the team from a file of KEY=VALUE lines
                        (NICK:KEY=VALUE for one robot), such as a tuning run's
                        tuned.ini
  --set KEY=VALUE       a setting for every robot of the team (repeatable); a
                        key of config.ini or of velocidade.ini
  --set NICK:KEY=VALUE  a setting for robot NICK only (repeatable, wins over
                        the team-wide one)
  --wait SECONDS        how long robots that could not connect are started
                        again (default 30)
  --restart N           how often an agent that dies after connecting is
                        started again, after a short pause (default 3; 0: never)
  --dir DIR             the working folder (default runs/team-<colour>-<date-time>)
  --quiet               robots' output only into their folders, not the terminal
  --help                this text
Each robot runs in DIR/<vt_id>-<colour>-<nickname>/, writing agent.out and
agent.log there; DIR/team.json tells per robot its starts, exits, restarts
and connected time. Settings are checked before anything starts (see
docs/settings.md). Exit status: 0 when every agent ended with 0, 1 otherwise
(an agent that died is named, even if it was started again) or for bad input,
before anything is started; 130 when interrupted (143 on TERM, 129 on HUP or
when the terminal has gone).
Environment: SOCCER_BUILD_DIR=DIR finds agent, agent-b and agent-c in DIR.
"""

MAX_WAIT = 86400
MAX_RESTARTS = 1000
DEFAULT_RESTARTS = "3"


def build_parser(prog: str) -> Parser:
    p = Parser(prog)
    for name in ("--server", "--team", "--players", "--scenario", "--settings", "--dir"):
        p.value(name)
    p.value("--program", default="agent")
    p.value("--wait", default="30")
    p.value("--restart", default=DEFAULT_RESTARTS)
    p.repeated("--set", dest="sets")
    p.flag("--5v5", dest="five")
    p.flag("--quiet")
    return p


@dataclass
class Plan:
    """Everything checked, before anything is written or started."""
    host: str
    port: int
    colour: str
    program: str
    robots: list
    settings: TeamSettings
    template: SettingsFile
    speeds: SettingsFile
    version: str
    wait: int
    restarts: int
    quiet: bool
    dir: str
    layout: object


def main(argv: list) -> int:
    console = Console(prog_name("team"))
    try:
        plan = check(build_parser(console.prog).parse(argv))
    except HelpAsked:
        console.write(USAGE.format(prog=console.prog))
        return 0
    except Refused as e:
        console.say(str(e), err=True)
        return 1
    try:
        return field(plan, console)
    except Refused as e:
        console.say(str(e), err=True)
        return 1


def whole_number(text: str, option: str, high: int) -> int:
    if not (text.isascii() and text.isdigit()):
        raise Refused(f"{option} needs a whole number, not '{text}'")
    if int(text) > high:
        raise Refused(f"{option} {text} is more than {high}")
    return int(text)


def resolve_host(host: str, port: int) -> None:
    """A host name that does not resolve is refused now, not waited for."""
    try:
        # The agents speak IPv4 only.
        socket.getaddrinfo(host, port, socket.AF_INET, socket.SOCK_DGRAM)
    except (socket.gaierror, UnicodeError) as e:
        why = getattr(e, "strerror", None) or str(e)
        raise Refused(f"server host '{host}' does not resolve ({why})") from None


def check(ns) -> Plan:
    if not ns.server:
        raise Refused("--server HOST[:PORT] is required")
    host, port = parse_server(ns.server)
    if not ns.team:
        raise Refused("--team yellow|blue is required")
    if ns.team not in COLOURS:
        raise Refused(f"team '{ns.team}' is neither yellow nor blue")
    layout = find_layout()
    program = resolve_program(ns.program, layout, "--program")
    wait = whole_number(ns.wait, "--wait", MAX_WAIT)
    restarts = whole_number(ns.restart, "--restart", MAX_RESTARTS)
    robots, version = choose_robots(ns, layout)
    nicknames = {r.nickname for r in robots}
    settings = TeamSettings()
    if ns.settings:
        add_file(settings, ns.settings, nicknames, ns.team)
    add_sets(settings, ns.sets, nicknames, ns.team, "--set")
    template_path, speeds_path = layout.config_file("config.ini"), layout.config_file("velocidade.ini")
    if not (os.access(template_path, os.R_OK) and os.access(speeds_path, os.R_OK)):
        raise Refused("config/config.ini or config/velocidade.ini is missing")
    resolve_host(host, port)
    return Plan(host, port, ns.team, program, robots, settings, SettingsFile.load(template_path),
                SettingsFile.load(speeds_path), version, wait, restarts, ns.quiet, ns.dir, layout)


def choose_robots(ns, layout) -> tuple:
    """The team's robots from --scenario or the players file, and the protocol version."""
    if ns.scenario:
        if ns.players:
            raise Refused("--players and --scenario name the robots twice; give one")
        everyone, version = scenario_robots(ns.scenario)
        return team_of(everyone, ns.team, ns.scenario), version
    players = ns.players or layout.config_file("players-5v5.ini" if ns.five else "players-3v3.ini")
    if not os.access(players, os.R_OK) or os.path.isdir(players):
        raise Refused(f"cannot read players file {players}")
    return team_of(read_players(players), ns.team, players), ""


def make_folder(plan: Plan) -> str:
    try:
        if plan.dir:
            directory = os.path.abspath(plan.dir)
            os.makedirs(directory, exist_ok=True)
            return directory
        return date_folder(plan.layout.runs, f"team-{plan.colour}-")
    except OSError:
        raise Refused(f"cannot create {os.path.abspath(plan.dir) if plan.dir else plan.layout.runs}") from None


def field(plan: Plan, console: Console) -> int:
    """Starts the team and follows it to its end."""
    # A simulated server on this machine tells which robots it has.
    refused = {}
    if plan.host in localserver.LOCAL_HOSTS:
        known = localserver.server_robots(plan.port)
        if known is not None:
            refused = localserver.mismatches(plan.robots, known)
    directory = make_folder(plan)
    with Supervisor() as sup:
        console.on_gone = sup.hang_up
        team = TeamRun(sup, plan.colour, plan.robots, plan.program, plan.host, plan.port, directory,
                       plan.wait, lambda text, err=False: console.say(text, err),
                       None if plan.quiet else console, plan.restarts)
        try:
            team.write_folders(plan.template, plan.speeds, plan.settings, plan.version)
        except OSError as e:
            raise Refused(f"cannot write the robots' folders in {directory}: {e.strerror}") from None
        console.say(f"{plan.colour} team of {len(plan.robots)} ({' '.join(r.nickname for r in plan.robots)}) "
                    f"on {plan.host}:{plan.port}, files in {directory}")
        for run in team.runs:
            if run.robot.nickname in refused:
                team.refuse_before_start(run, refused[run.robot.nickname])
                console.say(f"robot {run.robot.nickname} (vt_id {run.robot.vt_id}) is not started: "
                            f"{refused[run.robot.nickname]}", err=True)
        follow(team, sup, console, directory)
    return report(team, plan, sup, console, directory)


def follow(team: TeamRun, sup: Supervisor, console: Console, directory: str) -> None:
    try:
        team.start()
        while not sup.interrupted and team.poll():
            sup.sleep(0.1)
    except OSError as e:
        # A full disk or a folder taken away; everything is stopped on the way out.
        console.say(f"cannot write the robots' files in {directory}: {e.strerror}", err=True)
        team.stop()
        raise Refused(f"the {team.colour} team was stopped") from None
    if sup.interrupted and not console.gone:
        console.say(f"interrupted, stopping the {team.colour} team", err=True)
    team.stop()
    if team.echo is not None:
        team.copy_output(final=True)


def report(team: TeamRun, plan: Plan, sup: Supervisor, console: Console, directory: str) -> int:
    record = team.record()
    record["interrupted"] = sup.interrupted
    try:
        write_whole(os.path.join(directory, "team.json"), json.dumps(record, indent=1) + "\n")
    except OSError as e:
        console.say(f"cannot write {os.path.join(directory, 'team.json')}: {e.strerror}", err=True)
    exits = team.exits()
    for e in exits:
        console.write(e.line() + "\n")
    never = [e.nickname for e in exits if e.exit == NEVER_CONNECTED]
    if never:
        console.say(f"never connected within {plan.wait} s: {' '.join(never)}", err=True)
    for e in exits:
        if e.exit == REFUSED and e.why.startswith("the server answered"):
            console.say(f"robot {e.nickname} (vt_id {e.vt_id}) was refused by the server: its vt_id, colour "
                        "or nickname is not one of the server's robots (see the server's log)", err=True)
        elif e.exit == REFUSED and e.why.startswith("the server did not take it back"):
            console.say(f"robot {e.nickname} (vt_id {e.vt_id}) is out: {e.why}", err=True)
    crashes = team.crashes()
    if crashes and not sup.interrupted:
        console.say(f"{len(crashes)} agent crash(es) after connecting, each named above; "
                    f"{os.path.join(directory, 'team.json')} keeps them", err=True)
    if console.gone:
        return GONE_STATUS
    if sup.interrupted:
        return sup.exit_status()
    return 0 if all(e.ok for e in exits) and not crashes else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

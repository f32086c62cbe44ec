"""lab tournament: contenders pinned at the start play seeds in colour-swapped
pairs (GNU parallel, here or over ssh); a fixed number of seeds with
Holm-corrected verdicts, or a sequential test (SPRT) that stops when it knows.
The tournament folder ends with results.csv and report.html, and the table
is printed."""
import csv
import math
import os
import re
import signal
import sys
import time
from dataclasses import dataclass
from typing import Optional

from ..errors import Refused
from ..layout import find_layout
from ..team import next_value, prog_name, stray_argument
from . import folder as tf
from .contenders import Contender, parse_programs, pin, sha256_of, verify
from .page import render
from .results import FIGURES, TEAMS, read_match
from .rounds import Rounds, have_parallel, read_hosts, unreachable
from .stats import sprt_bounds, sprt_decision
from .summary import lines, summarise

USAGE = """\
Usage: {prog} --programs A,B[,C...] [options]
  --programs LIST    the contenders, comma separated: PROGRAM[:KEY=VALUE[:KEY=VALUE...]]
                     with PROGRAM agent, agent-b, agent-c or the path of an agent
                     executable, and settings (keys of config.ini) written into
                     every robot's configuration; every pair meets
  --seeds N          each pairing plays seeds 1..N, each twice with the colours
                     swapped (default 10); with --resume, extends to N seeds
  --sprt [ELO0,ELO1] a sequential test for two contenders (default 0,50): rounds of
                     --jobs seeds until H0 (ELO0) or H1 (ELO1) is accepted
                     (alpha = beta = 0.05) or --max-seeds is reached
  --max-seeds N      most seeds of an --sprt run (default 200)
  --5v5              5 against 5 instead of 3 against 3
  --length SECONDS   play time of each match (default 60)
  --out DIR          the tournament folder (default runs/tournament-<date-time>/)
  --jobs N           matches at once (default: the number of cores)
  --hosts FILE       spread the matches over the machines of FILE (GNU parallel's
                     ssh login file: one [user@]host per line, ':' for this one);
                     each gets the pinned programs; it needs ssh, rsync, python3
  --resume DIR       finish (or, with --seeds / --max-seeds, extend) the tournament
                     in DIR with the programs pinned there
  --help             this text
Environment: SOCCER_BUILD_DIR=DIR takes the programs from DIR.
"""

MAX_LENGTH = 86400
MAX_JOBS = 256
MAX_ELO = 1000
DEFAULT_SPRT = "0,50"
# Rounds in a row that may replay faulted matches before the run gives up.
MAX_FAULT_ROUNDS = 3
HEADER = (["seed", "scenario", "yellow_program", "blue_program", "yellow_goals", "blue_goals"]
          + ["%s_%s" % (t, f) for f in FIGURES for t in TEAMS]
          + ["yellow_exit", "blue_exit", "yellow_unanswered", "blue_unanswered", "note", "folder"])


@dataclass
class Options:
    programs: str = ""
    seeds: Optional[str] = None
    sprt: Optional[str] = None
    max_seeds: Optional[str] = None
    five: bool = False
    length: Optional[str] = None
    out: str = ""
    jobs: str = ""
    hosts: str = ""
    resume: str = ""


class HelpAsked(Exception):
    pass


def parse_options(argv: list) -> Options:
    o = Options()
    i = 0
    valued = {"--programs": "programs", "--seeds": "seeds", "--max-seeds": "max_seeds", "--length": "length",
              "--out": "out", "--jobs": "jobs", "--hosts": "hosts", "--resume": "resume"}
    while i < len(argv):
        a = argv[i]
        if a in valued:
            setattr(o, valued[a], next_value(argv, i))
            i += 2
            if a == "--programs":
                # "--programs agent agent-b": the list without commas, taken as meant.
                while i < len(argv) and not argv[i].startswith("-"):
                    o.programs += "," + argv[i]
                    i += 1
            continue
        if a == "--sprt":
            if i + 1 < len(argv) and re.fullmatch(r"[-+0-9.,eE]+", argv[i + 1]):
                o.sprt = argv[i + 1]
                i += 2
            else:
                o.sprt = DEFAULT_SPRT
                i += 1
            continue
        if a == "--5v5":
            o.five = True
        elif a in ("--help", "-h"):
            raise HelpAsked()
        else:
            raise stray_argument(argv, i)
        i += 1
    return o


def whole(text: str, option: str, low: int, high: int) -> int:
    if not re.fullmatch(r"[0-9]{1,6}", text) or not low <= int(text) <= high:
        raise Refused(f"{option} needs a whole number from {low} to {high} (got '{text}')")
    return int(text)


def parse_sprt(text: str) -> list:
    parts = text.split(",")
    try:
        if len(parts) != 2:
            raise ValueError
        elo0, elo1 = float(parts[0]), float(parts[1])
    except ValueError:
        raise Refused(f"--sprt needs ELO0,ELO1, two numbers (got '{text}')") from None
    if not all(math.isfinite(e) and abs(e) <= MAX_ELO for e in (elo0, elo1)):
        raise Refused(f"--sprt needs Elo values from -{MAX_ELO} to {MAX_ELO} (got '{text}')")
    if elo0 >= elo1:
        raise Refused(f"--sprt ELO0,ELO1 needs ELO0 below ELO1 (got '{text}')")
    return [elo0, elo1]


def check_length(text: str) -> str:
    if not re.fullmatch(r"[0-9]+(\.[0-9]+)?", text) or not 0 < float(text) <= MAX_LENGTH:
        raise Refused(f"--length needs seconds greater than 0 and at most {MAX_LENGTH} (got '{text}')")
    return text


def check_hosts(path: str) -> list:
    if not path:
        return []
    logins = read_hosts(path)
    bad = unreachable(logins)
    if bad:
        raise Refused(f"--hosts: {bad[0]} cannot be reached (ssh, then python3 3.9 or later there)")
    return logins


class Run:
    """One run of the tournament in its folder, with its lock held."""

    def __init__(self, prog: str, tour: str, plan: tf.Plan, jobs: int, hosts: list):
        self.prog = prog
        self.tour = tour
        self.plan = plan
        self.rounds = Rounds(tour, plan, jobs, hosts)
        self.jobs = jobs
        self.signal = 0
        self.started = time.monotonic()
        self.done_at_start = None

    def say(self, text: str, stream=sys.stdout) -> None:
        print(f"{self.prog}: {text}", file=stream, flush=True)

    def on_signal(self, signum, _frame) -> None:
        self.signal = self.signal or signum
        self.rounds.stop()

    # -------------------------------------------------------------- reading

    def results(self, seeds) -> tuple:
        """(finished results, planned matches) of seeds 1..seeds."""
        found, planned = [], self.plan.matches(range(1, seeds + 1))
        for seed, y, b in planned:
            name = self.plan.folder(seed, y, b)
            try:
                m = read_match(os.path.join(self.tour, name), seed, y, b, name)
            except (OSError, ValueError, KeyError, TypeError, AttributeError) as e:
                print(f"{self.prog}: {name} left out: {e}", file=sys.stderr)
                m = None
            if m is not None:
                found.append(m)
        return found, planned

    def unfinished(self, seeds: int) -> list:
        results, planned = self.results(seeds)
        done = {(m.seed, m.yellow, m.blue) for m in results}
        return [(self.plan.folder(s, y, b), s, y, b) for s, y, b in planned if (s, y, b) not in done]

    def progress(self, total: int):
        if not sys.stderr.isatty():
            return None

        def show():
            n = sum(1 for name in os.listdir(self.tour)
                    if os.path.isfile(os.path.join(self.tour, name, "run.json")))
            if self.done_at_start is None:
                self.done_at_start = n
            elapsed = time.monotonic() - self.started
            rest = "?"
            if n > self.done_at_start:
                rest = "%ds" % (elapsed * max(total - n, 0) / (n - self.done_at_start))
            sys.stderr.write("\r%s: %d of %d matches done, %ds elapsed, about %s left   " % (
                self.prog, min(n, total), total, elapsed, rest))
            sys.stderr.flush()
        return show

    # -------------------------------------------------------------- playing

    def play_round(self, todo: list, total: int) -> bool:
        """False when the run must stop (signal, or a program not the pinned build)."""
        self.rounds.check_hosts(lambda text: self.say(text, sys.stderr))
        outcome = self.rounds.play(todo, self.progress(total))
        if sys.stderr.isatty():
            sys.stderr.write("\n")
        if outcome.not_pinned:
            raise Refused(outcome.not_pinned)
        return not (outcome.interrupted or self.signal)

    def fixed(self) -> None:
        seeds = self.plan.seeds
        total = len(self.plan.matches(range(1, seeds + 1)))
        todo = self.unfinished(seeds)
        self.say(f"{total - len(todo)} of {total} matches already played, {len(todo)} to play, "
                 f"{self.jobs} at once; folder {self.tour}")
        for _ in range(MAX_FAULT_ROUNDS):
            if not todo or not self.play_round(todo, total):
                return
            left = self.unfinished(seeds)
            if not left or len(left) == len(todo):
                return
            self.say(f"{len(left)} matches did not finish (a program, a host or the server failed); "
                     "playing them again", sys.stderr)
            todo = left

    def sequential(self) -> None:
        sprt = self.sprt_settings()
        stalled = 0
        self.say(f"SPRT of {self.plan.contenders[0].label} against {self.plan.contenders[1].label}: "
                 f"H0 {sprt['elo0']:+g} Elo, H1 {sprt['elo1']:+g} Elo, rounds of {self.jobs} seeds, "
                 f"at most {self.plan.seeds}; folder {self.tour}")
        while True:
            results, _ = self.results(self.plan.seeds)
            s = summarise([c.label for c in self.plan.contenders], results, 0, sprt)
            view = s.pairings[0]
            if view.trace and sprt_decision(view.llr, sprt_bounds()):
                return
            played = max([m.seed for m in results], default=0)
            seeds = min(self.plan.seeds, max(played, len(view.pairs)) + self.jobs)
            todo = self.unfinished(seeds)
            if not todo:
                return
            before = len(results)
            if not self.play_round(todo, 2 * seeds):
                return
            after = len(self.results(self.plan.seeds)[0])
            stalled = stalled + 1 if after == before else 0
            if stalled >= MAX_FAULT_ROUNDS:
                self.say("no match finished in three rounds in a row; see the matches' play.log", sys.stderr)
                return
            done = self.results(seeds)[0]
            pairs = summarise([c.label for c in self.plan.contenders], done, 0, sprt).pairings[0]
            self.say(f"{len(pairs.pairs)} complete pairs, LLR {pairs.llr:.2f}")

    def sprt_settings(self) -> Optional[dict]:
        if self.plan.sprt is None:
            return None
        return {"elo0": self.plan.sprt[0], "elo1": self.plan.sprt[1], "max_seeds": self.plan.seeds}

    # -------------------------------------------------------------- summing up

    def report(self) -> int:
        """Writes results.csv and report.html, prints the table; the number of
        planned matches not finished."""
        sprt = self.sprt_settings()
        if sprt is None:
            results, planned = self.results(self.plan.seeds)
            total = len(planned)
        else:
            results, _ = self.results(self.plan.seeds)
            last = max([m.seed for m in results], default=0)
            total = len(self.plan.matches(range(1, last + 1)))
        labels = [c.label for c in self.plan.contenders]
        s = summarise(labels, results, total, sprt)
        write_csv(self.tour, self.plan, results)
        tf_write(os.path.join(self.tour, "report.html"), render(self.plan, s))
        for line in lines(s):
            print(line)
        print("results: %s" % os.path.join(self.tour, "results.csv"))
        print("report:  %s" % os.path.join(self.tour, "report.html"))
        return total - len(results)


def tf_write(path: str, text: str) -> None:
    with open(path + ".partial", "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(path + ".partial", path)


def write_csv(tour: str, plan: tf.Plan, results: list) -> None:
    path = os.path.join(tour, "results.csv")
    with open(path + ".partial", "w", newline="", encoding="utf-8") as f:
        w = csv.DictWriter(f, fieldnames=HEADER)
        w.writeheader()
        for m in results:
            row = {"seed": m.seed, "scenario": plan.scenario, "yellow_program": plan.contenders[m.yellow].label,
                   "blue_program": plan.contenders[m.blue].label, "yellow_goals": m.goals["yellow"],
                   "blue_goals": m.goals["blue"], "yellow_exit": m.exits["yellow"], "blue_exit": m.exits["blue"],
                   "yellow_unanswered": m.unanswered["yellow"], "blue_unanswered": m.unanswered["blue"],
                   "note": m.note, "folder": m.folder}
            row.update(m.figures)
            w.writerow(row)
    os.replace(path + ".partial", path)


def new_plan(o: Options, layout, prog: str) -> tuple:
    """Checks every option of a new tournament; nothing is created yet."""
    if not o.programs:
        raise Refused("--programs needs at least two programs (see --help)")
    contenders = parse_programs(o.programs, layout)
    length = check_length(o.length if o.length is not None else "60")
    sprt = parse_sprt(o.sprt) if o.sprt is not None else None
    if sprt is not None:
        if len(contenders) != 2:
            raise Refused(f"--sprt tests two contenders, not {len(contenders)}")
        if o.seeds is not None:
            raise Refused("--sprt plays until it decides; bound it with --max-seeds, not --seeds")
        seeds = whole(o.max_seeds, "--max-seeds", 1, tf.MAX_SEEDS) if o.max_seeds is not None else 200
    else:
        if o.max_seeds is not None:
            raise Refused("--max-seeds bounds an --sprt run; a fixed run takes --seeds")
        seeds = whole(o.seeds, "--seeds", 1, tf.MAX_SEEDS) if o.seeds is not None else 10
    simserver = os.path.join(layout.build_dir, "simserver")
    if not os.access(simserver, os.X_OK):
        raise Refused(f"{simserver} is missing (build it first)")
    return contenders, simserver, length, sprt, seeds


def start(o: Options, layout, prog: str, hosts: list) -> tuple:
    contenders, simserver, length, sprt, seeds = new_plan(o, layout, prog)
    tour = tf.create(o.out, layout)
    lock = tf.Lock(tour)
    pinned = pin(tour, [simserver] + [path for _, path, _ in contenders], layout)
    server = Contender("simserver", pinned[0][0], simserver, pinned[0][1], pinned[0][2])
    members = [Contender(label, rel, path, sha, desc, settings)
               for (label, path, settings), (rel, sha, desc) in zip(contenders, pinned[1:])]
    tf.copy_kit(tour, layout)
    plan = tf.Plan(tf.new_id(), members, server, "5v5" if o.five else "3v3", length, seeds, sprt,
                   [tf.folder_name(c.label) for c in members])
    tf.write_plan(tour, plan)
    return tour, plan, lock


def resume(o: Options, prog: str) -> tuple:
    if o.programs or o.length is not None or o.five or o.out or o.sprt is not None:
        raise Refused("--resume takes the settings from the tournament folder; give only --jobs, --hosts, "
                      "--seeds or --max-seeds with it")
    tour = os.path.abspath(o.resume)
    plan = tf.read_plan(tour)
    lock = tf.Lock(tour)
    for c in [plan.simserver] + plan.contenders:
        why = verify(tour, c.program, c.sha256)
        if why:
            raise Refused(f"--resume {tour}: {c.label}: {why}")
    if plan.sprt is None:
        if o.max_seeds is not None:
            raise Refused("--max-seeds extends an --sprt run; this one plays a fixed number of seeds")
        if o.seeds is not None:
            n = whole(o.seeds, "--seeds", 1, tf.MAX_SEEDS)
            if n < plan.seeds:
                raise Refused(f"--seeds {n}: the tournament has {plan.seeds} seeds already")
            plan.seeds = n
    else:
        if o.seeds is not None:
            raise Refused("--seeds extends a fixed run; an --sprt run takes --max-seeds")
        if o.max_seeds is not None:
            n = whole(o.max_seeds, "--max-seeds", 1, tf.MAX_SEEDS)
            if n < plan.seeds:
                raise Refused(f"--max-seeds {n}: the tournament may play {plan.seeds} seeds already")
            plan.seeds = n
    tf.write_plan(tour, plan)
    return tour, plan, lock


def source_notes(plan: tf.Plan) -> list:
    """Contenders whose source was rebuilt since they were pinned (the pinned copy still plays)."""
    notes = []
    for c in plan.contenders:
        try:
            changed = sha256_of(c.source) != c.sha256
        except OSError:
            changed = True
        if changed:
            notes.append(f"{c.label}: {c.source} has changed since it was pinned; the pinned copy plays")
    return notes


def main(argv: list) -> int:
    prog = prog_name("tournament")
    lock = None
    try:
        o = parse_options(argv)
        jobs = whole(o.jobs, "--jobs", 1, MAX_JOBS) if o.jobs else (os.cpu_count() or 2)
        have_parallel()
        layout = find_layout()
        if o.resume:
            hosts = check_hosts(o.hosts)
            tour, plan, lock = resume(o, prog)
        else:
            new_plan(o, layout, prog)   # every check before the hosts are asked
            hosts = check_hosts(o.hosts)
            tour, plan, lock = start(o, layout, prog, hosts)
    except HelpAsked:
        sys.stdout.write(USAGE.format(prog=prog))
        return 0
    except Refused as e:
        print(f"{prog}: {e}", file=sys.stderr)
        return 1
    except OSError as e:
        print(f"{prog}: {e.filename or ''}: {e.strerror}", file=sys.stderr)
        return 1

    run = Run(prog, tour, plan, jobs, hosts)
    for note in source_notes(plan) if o.resume else []:
        run.say(note)
    old = {s: signal.signal(s, run.on_signal) for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)}
    stopped = ""
    try:
        if plan.sprt is None:
            run.fixed()
        else:
            run.sequential()
    except Refused as e:
        stopped = str(e)
    finally:
        for s, h in old.items():
            signal.signal(s, h)
        run.rounds.clean_hosts()
    if run.signal:
        print(file=sys.stderr)
        run.say("interrupted, stopping every match", sys.stderr)
    missing = run.report()
    lock.release()
    if stopped:
        run.say(f"stopped: {stopped}", sys.stderr)
        return 1
    if run.signal:
        run.say(f"finish it with: scripts/tournament.sh --resume {tour}", sys.stderr)
        return 128 + run.signal
    if missing and plan.sprt is None:
        run.say(f"{missing} matches did not finish (see their play.log); run again with --resume {tour}",
                sys.stderr)
        return 1
    return 0

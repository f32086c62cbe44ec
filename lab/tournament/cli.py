"""lab tournament: contenders pinned at the start play seeds in colour-swapped
pairs (GNU parallel, here or over ssh); a fixed number of seeds with
Holm-corrected verdicts, or a sequential test (SPRT) that stops when it knows.
The tournament folder ends with results.csv and report.html, and the table
is printed."""
import csv
import os
import signal
import sys
import time
from typing import Optional

from ..errors import Refused
from ..layout import find_layout
from ..cli import prog_name
from . import folder as tf
from .opening import resume, source_notes, start, new_plan
from .options import MAX_JOBS, USAGE, HelpAsked, check_hosts, parse_options, whole
from .page import render
from .results import FIGURES, TEAMS, read_match
from .rounds import Rounds, have_parallel
from .stats import sprt_bounds, sprt_decision
from .summary import lines, summarise

# Rounds in a row that may replay faulted matches before the run gives up.
MAX_FAULT_ROUNDS = 3
HEADER = (["seed", "scenario", "yellow_program", "blue_program", "yellow_goals", "blue_goals"]
          + ["%s_%s" % (t, f) for f in FIGURES for t in TEAMS]
          + ["yellow_exit", "blue_exit", "yellow_unanswered", "blue_unanswered", "note", "folder"])


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
        self.warned = set()

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
                if name not in self.warned:
                    self.warned.add(name)
                    print(f"{self.prog}: {name}: its record cannot be read ({e}); counted as not finished",
                          file=sys.stderr)
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
        if self.signal:
            return False
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
                self.say(f"no match finished in {MAX_FAULT_ROUNDS} rounds in a row; see the matches' play.log",
                         sys.stderr)
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

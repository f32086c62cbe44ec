"""lab tournament: contenders pinned at the start play seeds in colour-swapped
pairs (GNU parallel, here or over ssh): every candidate against the baseline,
a fixed number of seeds with Holm-corrected verdicts, or a sequential test
(SPRT) that stops when it knows. The tournament folder ends with results.csv
and report.html, and the table is printed.

For other commands (tuning's verification), one call runs a sequential test:

    sequential_test(baseline, candidate, scenario="3v3", seed_offset=None,
                    max_seeds=DEFAULT_MAX_SEEDS, sprt="0,50", alpha=0.05, beta=0.05,
                    jobs=None, hosts="", out=None, length="60", prog="tournament") -> Outcome

baseline and candidate are contenders as --programs takes them (PROGRAM,
PROGRAM:KEY=VALUE..., PROGRAM@FILE); scenario is "3v3", "5v5" or the path of
a scenario file (as --scenario takes it); sprt is "ELO0,ELO1" or "nelo:ELO0,ELO1".
It prints what the tournament prints and returns an Outcome: its exit status
(0 decided or ended at the cap, 1 bad input or a broken match, 128+N a
signal), the verdict (+1 H1, -1 H0, 0 none, None when no test ran), the
sentence, the LLR after each complete pair, the pairs played, the Elo
estimate and the folder. Bad input comes back as status 1 with `error` set,
nothing started."""
import csv
import os
import signal
import sys
import time
from dataclasses import dataclass, field
from typing import Optional

from ..errors import Refused
from ..layout import find_layout
from ..cli import HelpAsked, prog_name
from ..wording import for_layout
from . import folder as tf
from . import stats
from .opening import resume, source_notes, start, new_plan
from .options import (DEFAULT_MAX_SEEDS, DEFAULT_SPRT, MAX_JOBS, USAGE, Options, check_hosts, parse_options,
                      whole)
from .page import render, scenario_text
from .results import FIGURES, TEAMS, load_record, pair_fault, read_match, unfinished_reason
from .rounds import Rounds, have_parallel
from .summary import lines, summarise

# A match that fails this many times (a first try and two replays) stops the run.
MAX_TRIES = 3
HEADER = (["seed", "scenario", "yellow_program", "blue_program", "yellow_goals", "blue_goals"]
          + ["%s_%s" % (t, f) for f in FIGURES for t in TEAMS]
          + ["yellow_exit", "blue_exit", "yellow_unanswered", "blue_unanswered", "note", "folder"])


class BrokenMatch(Exception):
    """A match failed every try: the run stops without a verdict."""


@dataclass
class Outcome:
    status: int
    verdict: Optional[int] = None
    text: str = ""
    trace: list = field(default_factory=list)
    pairs: int = 0
    elo: float = float("nan")
    folder: str = ""
    error: str = ""


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
        self.tries = {}
        self.digests = {}
        self.tty = sys.stderr.isatty()
        self.expected_left = None    # matches a sequential test still expects to need
        self.llr = 0.0

    def say(self, text: str, stream=sys.stdout) -> None:
        if self.tty:
            sys.stderr.write("\r\x1b[K")
        print(f"{self.prog}: {text}", file=stream, flush=True)

    def on_signal(self, signum, _frame) -> None:
        self.signal = self.signal or signum
        self.rounds.stop()

    # -------------------------------------------------------------- reading

    def results(self, seeds: int) -> tuple:
        """(results, planned matches, faults) of the first `seeds` seeds; faults
        maps a match folder to why it is no evidence (played again)."""
        found, faults, planned = [], {}, self.plan.matches(self.plan.seed_list(seeds))
        for seed, y, b in planned:
            name = self.plan.folder(seed, y, b)
            try:
                m = read_match(os.path.join(self.tour, name), seed, y, b, name, self.digests)
            except (OSError, ValueError, KeyError, TypeError, AttributeError) as e:
                if name not in self.warned:
                    self.warned.add(name)
                    self.say(f"{name}: its record cannot be read ({e}); counted as not finished", sys.stderr)
                m = None
            if m is not None and m.fault:
                faults[name] = m.fault
            elif m is not None:
                found.append(m)
        by_match = {(m.seed, m.yellow, m.blue): m for m in found}
        for m in list(found):
            other = by_match.get((m.seed, m.blue, m.yellow))
            why = pair_fault(m, other) if other is not None else ""
            if why:
                faults[m.folder] = why
                found.remove(m)
        return found, planned, faults

    def unfinished(self, seeds: int) -> list:
        results, planned, _ = self.results(seeds)
        done = {(m.seed, m.yellow, m.blue) for m in results}
        return [(self.plan.folder(s, y, b), s, y, b) for s, y, b in planned if (s, y, b) not in done]

    def why_failed(self, name: str, faults: dict) -> str:
        if name in faults:
            return faults[name]
        try:
            reason = unfinished_reason(load_record(os.path.join(self.tour, name, "run.json")))
        except (OSError, ValueError, KeyError, TypeError, AttributeError):
            reason = ""
        return reason or "it did not finish; see its play.log"

    def check_faults(self, todo: list, seeds: int) -> None:
        """Raises BrokenMatch for a match of `todo` that has now failed MAX_TRIES times."""
        left = {t[0] for t in self.unfinished(seeds)}
        _, _, faults = self.results(seeds)
        for name, *_ in todo:
            if name in left and self.tries.get(name, 0) >= MAX_TRIES:
                raise BrokenMatch(f"match {name} failed {MAX_TRIES} times ({self.why_failed(name, faults)}); "
                                  "a broken match is no evidence, so there is no verdict")

    # -------------------------------------------------------------- progress

    def progress_line(self) -> str:
        n = sum(1 for name in os.listdir(self.tour) if os.path.isfile(os.path.join(self.tour, name, "run.json")))
        if self.done_at_start is None:
            self.done_at_start = n
        elapsed = time.monotonic() - self.started
        if self.plan.sprt is None:
            total = len(self.plan.matches(self.plan.seed_list(self.plan.seeds)))
            left = max(total - n, 0)
            head = "%d of %d matches done" % (min(n, total), total)
        else:
            left = self.expected_left
            head = "%d matches done (at most %d), LLR %.2f" % (n, 2 * self.plan.seeds, self.llr)
        rest = "?"
        if left is not None and n > self.done_at_start:
            rest = duration(elapsed * left / (n - self.done_at_start))
        return "%s: %s, %s elapsed, about %s left" % (self.prog, head, duration(elapsed), rest)

    def show_progress(self) -> None:
        # One line for the whole run, drawn over itself; lines said between rounds go above it.
        sys.stderr.write("\r\x1b[K" + self.progress_line())
        sys.stderr.flush()

    # -------------------------------------------------------------- playing

    def play_round(self, todo: list) -> bool:
        """False when the run must stop (signal, or a program not the pinned build)."""
        self.rounds.check_hosts(lambda text: self.say(text, sys.stderr))
        if self.signal:
            return False
        for name, *_ in todo:
            self.tries[name] = self.tries.get(name, 0) + 1
        outcome = self.rounds.play(todo, self.show_progress if self.tty else None)
        if outcome.not_pinned:
            raise Refused(outcome.not_pinned)
        return not (outcome.interrupted or self.signal)

    def fixed(self) -> None:
        seeds = self.plan.seeds
        total = len(self.plan.matches(self.plan.seed_list(seeds)))
        todo = self.unfinished(seeds)
        self.say(f"{total - len(todo)} of {total} matches already played, {len(todo)} to play, "
                 f"{self.jobs} at once; seeds {self.plan.seed_offset + 1} to {self.plan.seed_offset + seeds}; "
                 f"folder {self.tour}")
        while todo:
            if not self.play_round(todo):
                return
            self.check_faults(todo, seeds)
            left = self.unfinished(seeds)
            if left:
                self.say(f"{len(left)} matches did not finish or were broken (a program, a host or the server "
                         "failed); playing them again", sys.stderr)
            todo = left

    def sequential(self) -> None:
        sprt = self.plan.sprt
        labels = [c.label for c in self.plan.contenders]
        self.say(f"SPRT of {labels[1]} against {labels[0]}: H0 {fmt_elo(sprt.elo0)}, H1 {fmt_elo(sprt.elo1)} "
                 f"{sprt.unit}, \u03b1 {sprt.alpha:g}, \u03b2 {sprt.beta:g}; {expected_text(sprt)}; rounds of "
                 f"{self.jobs} seeds, at most {self.plan.seeds}, from seed {self.plan.seed_offset + 1}; "
                 f"folder {self.tour}")
        while True:
            results, _, _ = self.results(self.plan.seeds)
            view = summarise(labels, results, 0, sprt, self.plan.seeds, self.plan.gauntlet).pairings[0]
            if view.trace and stats.sprt_decision(view.llr, stats.sprt_bounds(sprt.alpha, sprt.beta)):
                return
            self.expected_left = 2 * min(self.plan.seeds - len(view.pairs), expected_more(view, sprt))
            self.llr = view.llr
            # Seeds are taken in order: a round plays the next --jobs seeds and any left unfinished.
            opened = max([m.seed - self.plan.seed_offset for m in results], default=0)
            seeds = min(self.plan.seeds, max(opened, len(view.pairs)) + self.jobs)
            todo = self.unfinished(seeds)
            if not todo:
                return
            if not self.play_round(todo):
                return
            self.check_faults(todo, seeds)
            pairs = summarise(labels, self.results(seeds)[0], 0, sprt, self.plan.seeds,
                              self.plan.gauntlet).pairings[0]
            self.say(f"{len(pairs.pairs)} complete pairs, LLR {pairs.llr:.2f}")

    # -------------------------------------------------------------- summing up

    def summary(self):
        if self.plan.sprt is None:
            results, planned, _ = self.results(self.plan.seeds)
            total = len(planned)
        else:
            results, _, _ = self.results(self.plan.seeds)
            played = len({m.seed for m in results})
            total = len(self.plan.matches(self.plan.seed_list(played)))
        return summarise([c.label for c in self.plan.contenders], results, total, self.plan.sprt,
                         self.plan.seeds, self.plan.gauntlet), results

    def report(self):
        """Writes results.csv and report.html, prints the table; the summary."""
        s, results = self.summary()
        write_csv(self.tour, self.plan, results)
        tf_write(os.path.join(self.tour, "report.html"), render(self.plan, s))
        for line in lines(s):
            print(line)
        if self.plan.scenario_file is not None:
            print("scenario: %s" % scenario_text(self.plan))
        print("results: %s" % os.path.join(self.tour, "results.csv"))
        print("report:  %s" % os.path.join(self.tour, "report.html"))
        return s


def duration(seconds: float) -> str:
    seconds = int(seconds)
    if seconds < 60:
        return "%ds" % seconds
    if seconds < 3600:
        return "%dm%02ds" % divmod(seconds, 60)
    return "%dh%02dm" % (seconds // 3600, seconds % 3600 // 60)


def fmt_elo(value: float) -> str:
    return "%+g" % value


def expected_text(sprt) -> str:
    """The test's expected length, said before it starts."""
    if sprt.normalized:
        h0, h1 = stats.expected_length(sprt.elo0, sprt.elo1, sprt.alpha, sprt.beta, True)
        return f"expected length about {h0:.0f} seeds at H0, {h1:.0f} at H1, whatever the draw rate"
    lengths = [stats.expected_length(sprt.elo0, sprt.elo1, sprt.alpha, sprt.beta, False,
                                     stats.draw_rate_variance(d)) for d in (0.6, 0.1)]
    return (f"expected length about {min(lengths[0]):.0f} to {max(lengths[1]):.0f} seeds "
            "(draw rates 60 % to 10 %, fewer when a seed decides both matches alike)")


def expected_more(view, sprt) -> int:
    """Pairs the test still expects to need, from its pairs so far."""
    if not view.pairs:
        return int(max(stats.expected_length(sprt.elo0, sprt.elo1, sprt.alpha, sprt.beta, sprt.normalized,
                                             stats.draw_rate_variance(0.3))) + 0.5)
    drift, var = stats.llr_step(view.estimate.counts, sprt.elo0, sprt.elo1, sprt.normalized)
    return int(stats.expected_steps(view.llr, stats.sprt_bounds(sprt.alpha, sprt.beta), drift, var) + 0.5)


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


def open_run(o: Options, prog: str) -> tuple:
    """Checks everything, then creates (or takes up) the tournament folder: (Run, lock)."""
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
    return Run(prog, tour, plan, jobs, hosts), lock


def play_and_report(run: Run, lock, resumed: bool) -> Outcome:
    for note in source_notes(run.plan) if resumed else []:
        run.say(note)
    old = {s: signal.signal(s, run.on_signal) for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)}
    stopped, broken = "", ""
    try:
        if run.plan.sprt is None:
            run.fixed()
        else:
            run.sequential()
    except Refused as e:
        stopped = str(e)
    except BrokenMatch as e:
        broken = str(e)
    finally:
        for s, h in old.items():
            signal.signal(s, h)
        run.rounds.clean_hosts()
    if run.tty:
        sys.stderr.write("\r\x1b[K")
    out = Outcome(1, folder=run.tour)
    if broken:
        # No table and no page: they would show verdicts on what is left.
        lock.release()
        run.say(broken, sys.stderr)
        return out
    if run.signal:
        run.say("interrupted, stopping every match", sys.stderr)
    s = run.report()
    lock.release()
    view = s.pairings[0] if s.pairings else None
    if view is not None:
        out.verdict, out.text, out.trace = view.verdict, view.text, list(view.trace)
        out.pairs, out.elo = view.estimate.pairs, view.estimate.elo
    if stopped:
        run.say(f"stopped: {stopped}", sys.stderr)
        return out
    if run.signal:
        command = for_layout("scripts/tournament.sh", find_layout())
        run.say(f"finish it with: {command} --resume {run.tour}", sys.stderr)
        out.status = 128 + run.signal
        return out
    missing = s.planned - s.finished
    if missing and run.plan.sprt is None:
        run.say(f"{missing} matches did not finish (see their play.log); run again with --resume {run.tour}",
                sys.stderr)
        return out
    out.status = 0
    return out


def run_options(o: Options, prog: str) -> Outcome:
    try:
        run, lock = open_run(o, prog)
    except Refused as e:
        print(f"{prog}: {e}", file=sys.stderr)
        return Outcome(1, error=str(e))
    except OSError as e:
        text = f"{e.filename or ''}: {e.strerror}"
        print(f"{prog}: {text}", file=sys.stderr)
        return Outcome(1, error=text)
    return play_and_report(run, lock, bool(o.resume))


def sequential_test(baseline: str, candidate: str, scenario: str = "3v3", seed_offset: Optional[int] = None,
                    max_seeds: int = DEFAULT_MAX_SEEDS, sprt: str = DEFAULT_SPRT, alpha: float = 0.05,
                    beta: float = 0.05, jobs: Optional[int] = None, hosts: str = "", out: Optional[str] = None,
                    length: str = "60", prog: str = "tournament") -> Outcome:
    """A sequential test of `candidate` against `baseline` (see the module's text)."""
    builtin = scenario in ("3v3", "5v5")
    if not builtin and not os.path.isfile(scenario):
        text = f"the tournament plays 3v3, 5v5 or a scenario file, and {scenario} is none of them"
        print(f"{prog}: {text}", file=sys.stderr)
        return Outcome(1, error=text)
    o = Options(scenario=None if builtin else scenario, programs=f"{baseline},{candidate}", baseline=baseline, sprt=sprt, alpha=repr(float(alpha)),
                beta=repr(float(beta)), max_seeds=str(max_seeds),
                seed_offset=None if seed_offset is None else str(seed_offset), five=scenario == "5v5",
                length=str(length), out=out or "", jobs="" if jobs is None else str(jobs), hosts=hosts)
    return run_options(o, prog)


def main(argv: list) -> int:
    prog = prog_name("tournament")
    try:
        o = parse_options(argv, prog)
    except HelpAsked:
        sys.stdout.write(USAGE.format(prog=prog, max_seeds=DEFAULT_MAX_SEEDS))
        return 0
    except Refused as e:
        print(f"{prog}: {e}", file=sys.stderr)
        return 1
    return run_options(o, prog).status

"""lab tune: SPSA over agent settings. Each round plays colour-swapped pairs
of θ+ against θ− (GNU parallel, here or over ssh, programs pinned at the
start), updates θ and saves the state whole, so --resume continues the same
path. At the end: tuned.ini, tune.html and a sequential test of the tuned
settings against the starting ones."""
import os
import secrets
import signal
import sys
import time

from ..cli import HelpAsked, prog_name
from ..errors import Refused
from ..layout import agent_program, find_layout
from ..play import list_robots
from ..robots import scenario_robots
from ..scenario import check as check_scenario, given_file
from ..tournament.options import check_hosts
from ..tournament.results import read_match
from ..tournament.rounds import have_parallel
from . import folder as tf
from .options import USAGE, check_common, default_scenario, parse
from .page import render
from .params import ROLE, settings_of, split_key
from .rounds import Rounds
from .spsa import Spsa
from .verify import verify, write_settings

# Rounds that may replay matches that did not finish before the run stops.
MAX_TRIES = 3
# Seeds drawn for a run start here, far from the tournament's 1, 2, 3...
SEED_BASE = 10 ** 6


def team_arg(settings: list) -> str:
    return ",".join(f"{k}={v}" for k, v in settings) or "-"


class Tuning:
    def __init__(self, prog: str, run: str, state: dict, jobs: int, hosts: list):
        self.prog = prog
        self.run = run
        self.state = state
        self.params = tf.params_of(state)
        self.spsa = Spsa(self.params, state["iterations"], state["run_seed"])
        self.rounds = Rounds(run, state["id"], jobs, hosts)
        self.signal = 0

    def say(self, text: str, stream=sys.stdout) -> None:
        print(f"{self.prog}: {text}", file=stream, flush=True)

    def on_signal(self, signum, _frame) -> None:
        self.signal = self.signal or signum
        self.rounds.stop()

    def matches(self, k: int, theta: list) -> list:
        """The pair of iteration k: (folder, seed, yellow, blue, θ+ colour)."""
        plus, minus = self.spsa.probes(theta, k)
        p, m = team_arg(settings_of(self.params, plus)), team_arg(settings_of(self.params, minus))
        seed = self.state["seed_offset"] + k
        return [(tf.match_folder(k, "yellow"), seed, p, m, "yellow"),
                (tf.match_folder(k, "blue"), seed, m, p, "blue")]

    def result(self, match: tuple):
        """θ+'s wins minus losses in a finished match; None when it did not finish."""
        name, seed, _, _, plus = match
        yellow, blue = (0, 1) if plus == "yellow" else (1, 0)
        try:
            m = read_match(os.path.join(self.run, name), seed, yellow, blue, name)
        except (OSError, ValueError, KeyError, TypeError, AttributeError):
            return None
        # A match both sides broke (as the tournament's records tell it) is no evidence.
        if m is None or getattr(m, "fault", ""):
            return None
        return 2 * m.score_of(0) - 1

    def play_round(self, ks: list, theta: list) -> bool:
        """Plays iterations ks (all probing `theta`) and applies their updates;
        False when stopped by a signal."""
        todo = [m for k in ks for m in self.matches(k, theta)]
        for _ in range(MAX_TRIES):
            left = [m for m in todo if self.result(m) is None]
            if not left:
                break
            if not self.rounds.check_hosts(lambda t: self.say(t, sys.stderr)):
                raise Refused("no host of --hosts answers")
            not_pinned = self.rounds.play([m[:4] for m in left])
            if not_pinned:
                raise Refused(not_pinned)
            if self.signal:
                return False
        else:
            left = [m for m in todo if self.result(m) is None]
            if left:
                raise Refused(f"match {left[0][0]} did not finish in {MAX_TRIES} tries "
                              f"(see {os.path.join(self.run, left[0][0], 'play.log')} and parallel.log)")
        for k in ks:
            pair = [m for m in todo if m[0].startswith(f"k{k:04d}-")]
            result = sum(self.result(m) for m in pair)
            plus, minus = self.spsa.probes(theta, k)
            theta = self.spsa.update(theta, k, result)
            self.state["history"].append({"k": k, "seed": pair[0][1], "signs": self.spsa.signs(k),
                                          "plus": plus, "minus": minus, "result": result, "theta": theta})
        self.state["theta"] = theta
        self.state["done"] = ks[-1]
        tf.write_state(self.run, self.state)
        return True

    def progress(self, started: float, done_at_start: int) -> None:
        done, total = self.state["done"], self.state["iterations"]
        values = " ".join(f"{k}={v}" for k, v in settings_of(self.params, self.state["theta"]))
        points = sum(h["result"] for h in self.state["history"])
        rest = (time.monotonic() - started) / max(done - done_at_start, 1) * (total - done)
        line = (f"{self.prog}: iteration {done} of {total}: {values}; θ+ {points:+g} over θ−; "
                f"about {fmt_time(rest)} left")
        if sys.stderr.isatty():
            sys.stderr.write("\r\033[K" + line)
            if done == total:
                sys.stderr.write("\n")
        else:
            sys.stderr.write(line + "\n")
        sys.stderr.flush()

    def tune(self) -> bool:
        """Plays the remaining iterations; False when stopped by a signal."""
        batch, total = self.state["batch"], self.state["iterations"]
        started, done_at_start = time.monotonic(), self.state["done"]
        while self.state["done"] < total:
            first = self.state["done"] + 1
            ks = list(range(first, min(first + batch, total + 1)))
            if not self.play_round(ks, list(self.state["theta"])):
                return False
            self.progress(started, done_at_start)
        return True


def fmt_time(seconds: float) -> str:
    s = int(seconds)
    return f"{s // 3600}h{s // 60 % 60:02d}m" if s >= 3600 else f"{s // 60}m{s % 60:02d}s"


def check_roles(params: list, scenario: str, simserver: str) -> None:
    """A GO: key needs a goalkeeper in both teams of the scenario."""
    if not any(split_key(p.name)[0] for p in params):
        return
    robots, _ = scenario_robots(scenario, lambda: list_robots(simserver, scenario))
    for colour in ("yellow", "blue"):
        if not any(r.colour == colour and r.nickname == ROLE for r in robots):
            raise Refused(f"--param {ROLE}:…: the {colour} team of {scenario} has no robot {ROLE}")


def new_run(o, prog: str, layout, hosts: list):
    program = agent_program(o.program, layout, "--program")
    simserver = os.path.join(layout.build_dir, "simserver")
    for path in (program, simserver):
        if not (os.path.isfile(path) and os.access(path, os.X_OK)):
            raise Refused(f"{path} is missing (build it first)")
    scenario = given_file(o.scenario) if o.scenario else default_scenario(layout.config)
    check_scenario(scenario, simserver)
    check_roles(o.params, scenario, simserver)
    run = tf.create(o.out, layout)
    lock = tf.lock(run)
    pinned = tf.make_kit(run, layout, program, simserver, scenario)
    seed_offset = o.seed_offset if o.seed_offset is not None else SEED_BASE + secrets.randbelow(10 ** 9)
    state = {"format": tf.FORMAT, "id": secrets.token_hex(6), "params": tf.params_json(o.params),
             "iterations": o.iterations, "run_seed": secrets.randbits(63), "seed_offset": seed_offset,
             "batch": max(1, o.jobs // 2), "length": o.length, "scenario": scenario,
             "program_source": program, **pinned, "theta": Spsa(o.params, o.iterations, 0).start(),
             "done": 0, "history": []}
    tf.write_state(run, state)
    return run, state, lock


def main(argv: list) -> int:
    prog = prog_name("tune")
    lock = None
    try:
        o = parse(argv, prog)
        check_common(o)
        have_parallel()
        layout = find_layout()
        hosts = check_hosts(o.hosts)
        if o.resume:
            run = os.path.abspath(o.resume)
            state = tf.read_state(run)
            why = tf.scenario_fault(run, state)
            if why:
                raise Refused(f"--resume {run}: {why}")
            lock = tf.lock(run)
        else:
            run, state, lock = new_run(o, prog, layout, hosts)
    except HelpAsked:
        sys.stdout.write(USAGE.format(prog=prog))
        return 0
    except Refused as e:
        print(f"{prog}: {e}", file=sys.stderr)
        return 1
    except OSError as e:
        print(f"{prog}: {e.filename or ''}: {e.strerror}", file=sys.stderr)
        return 1

    t = Tuning(prog, run, state, o.jobs, hosts)
    names = ", ".join(p.name for p in t.params)
    t.say(f"SPSA of {names}: {state['iterations']} iterations ({state['done']} done), "
          f"{state['batch']} pair(s) per round, seeds from {state['seed_offset'] + 1}; folder {run}")
    old = {s: signal.signal(s, t.on_signal) for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)}
    stopped = ""
    try:
        finished = t.tune()
    except Refused as e:
        stopped, finished = str(e), False
    finally:
        for s, h in old.items():
            signal.signal(s, h)
        t.rounds.clean_hosts()
    files = write_settings(run, t.params, state)
    status = 0
    if stopped or t.signal:
        if t.signal:
            print(file=sys.stderr)
        t.say(f"stopped: {stopped or 'interrupted'}; go on with: scripts/tune.sh --resume {run}", sys.stderr)
        status = 1 if stopped else 128 + t.signal
    elif finished:
        t.say(f"tuned: {' '.join(f'{k}={v}' for k, v in settings_of(t.params, state['theta']))} in "
              + ", ".join(files))
        if not o.no_verify:
            status = verify(t, o, layout, hosts)
            tf.write_state(run, state)
    write_page(run, state)
    lock.release()
    t.say(f"page: {os.path.join(run, 'tune.html')}")
    return status


def write_page(run: str, state: dict) -> None:
    from .verify import read_verification
    path = os.path.join(run, "tune.html")
    with open(path + ".partial", "w", encoding="utf-8") as f:
        f.write(render(state, read_verification(run, state)))
    os.replace(path + ".partial", path)

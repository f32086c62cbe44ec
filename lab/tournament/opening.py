"""Opening a tournament: a new one checked, its programs pinned and its plan
written; or one taken up again with --resume, its pinned programs checked."""
import os
import secrets
from dataclasses import dataclass
from typing import Optional

from ..errors import Refused
from .. import scenario as user_scenario
from . import folder as tf
from .contenders import Contender, parse_programs, pin, sha256_of, verify
from .options import (DEFAULT_MAX_SEEDS, DEFAULT_SEEDS, Options, check_length, error_rate, parse_sprt,
                      whole)
from .sprtplan import MAX_SEED_OFFSET, SprtSpec

# Random seed offsets are multiples of the most seeds a run may play, up to this many.
RANDOM_OFFSETS = 10 ** 6

@dataclass
class NewPlan:
    """A new tournament's checked options; nothing is created yet."""
    contenders: list           # (label, program path, settings), the baseline first
    simserver: str
    length: str
    sprt: Optional[SprtSpec]
    seeds: int
    seed_offset: int
    scenario: Optional[str] = None   # a --scenario file, its absolute path


def new_plan(o: Options, layout, prog: str) -> NewPlan:
    """Checks every option of a new tournament; nothing is created yet."""
    if not o.programs:
        raise Refused("--programs needs at least two programs (see --help)")
    if o.scenario is not None and o.five:
        raise Refused("--5v5 and --scenario both choose the field; give one")
    scenario = user_scenario.given_file(o.scenario) if o.scenario is not None else None
    name = os.path.basename(scenario or "")
    if not (name.isprintable() and len(name) <= 200):
        raise Refused("--scenario: the file's name must be printable and at most 200 characters")
    contenders = parse_programs(o.programs, layout)
    if o.baseline is not None:
        chosen = [c for c in contenders if c[0] == o.baseline]
        if not chosen:
            raise Refused(f"--baseline {o.baseline} is none of --programs "
                          f"({', '.join(c[0] for c in contenders)})")
        contenders = chosen + [c for c in contenders if c[0] != o.baseline]
    length = check_length(o.length if o.length is not None else "60")
    alpha, beta = error_rate(o.alpha, "--alpha"), error_rate(o.beta, "--beta")
    sprt = parse_sprt(o.sprt, alpha, beta) if o.sprt is not None else None
    if sprt is not None:
        if len(contenders) != 2:
            raise Refused(f"--sprt tests one candidate against the baseline, not {len(contenders) - 1}")
        if o.seeds is not None:
            raise Refused("--sprt plays until it decides; bound it with --max-seeds, not --seeds")
        seeds = whole(o.max_seeds, "--max-seeds", 1, tf.MAX_SEEDS) if o.max_seeds is not None else DEFAULT_MAX_SEEDS
    else:
        if o.max_seeds is not None:
            raise Refused("--max-seeds bounds an --sprt run; a fixed run takes --seeds")
        if o.alpha is not None or o.beta is not None:
            raise Refused("--alpha and --beta are the error rates of an --sprt run")
        seeds = whole(o.seeds, "--seeds", 1, tf.MAX_SEEDS) if o.seeds is not None else DEFAULT_SEEDS
    if o.seed_offset is not None:
        offset = whole(o.seed_offset, "--seed-offset", 0, MAX_SEED_OFFSET)
    else:
        # Drawn in steps of MAX_SEEDS, so two runs never share a seed by overlap.
        offset = secrets.randbelow(RANDOM_OFFSETS) * tf.MAX_SEEDS
    simserver = os.path.join(layout.build_dir, "simserver")
    if not os.access(simserver, os.X_OK):
        raise Refused(f"{simserver} is missing (build it first)")
    if scenario is not None:
        user_scenario.check(scenario, simserver)
    return NewPlan(contenders, simserver, length, sprt, seeds, offset, scenario)


def start(o: Options, layout, prog: str, hosts: list) -> tuple:
    n = new_plan(o, layout, prog)
    tour = tf.create(o.out, layout)
    lock = tf.Lock(tour)
    pinned = pin(tour, [n.simserver] + [path for _, path, _ in n.contenders], layout)
    server = Contender("simserver", pinned[0][0], n.simserver, pinned[0][1], pinned[0][2])
    members = [Contender(label, rel, path, sha, desc, settings)
               for (label, path, settings), (rel, sha, desc) in zip(n.contenders, pinned[1:])]
    tf.copy_kit(tour, layout)
    pinned_scenario = tf.pin_scenario(tour, n.scenario) if n.scenario else None
    name = os.path.basename(n.scenario) if n.scenario else ("5v5" if o.five else "3v3")
    plan = tf.Plan(tf.new_id(), members, server, name, n.length, n.seeds, n.sprt,
                   [tf.folder_name(c.label) for c in members], n.seed_offset, scenario_file=pinned_scenario)
    tf.write_plan(tour, plan)
    return tour, plan, lock


def resume(o: Options, prog: str) -> tuple:
    fixed = (o.programs, o.baseline, o.length, o.five, o.scenario, o.out, o.sprt, o.alpha, o.beta,
             o.seed_offset)
    if any(v not in (None, "", False) for v in fixed):
        raise Refused("--resume takes the settings from the tournament folder; give only --jobs, --hosts, "
                      "--seeds or --max-seeds with it")
    tour = os.path.abspath(o.resume)
    plan = tf.read_plan(tour)
    lock = tf.Lock(tour)
    for c in [plan.simserver] + plan.contenders:
        why = verify(tour, c.program, c.sha256)
        if why:
            raise Refused(f"--resume {tour}: {c.label}: {why}")
    if plan.scenario_file is not None:
        why = tf.check_scenario(tour, plan.scenario_file)
        if why:
            raise Refused(f"--resume {tour}: {why}")
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



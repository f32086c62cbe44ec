"""Opening a tournament: a new one checked, its programs pinned and its plan
written; or one taken up again with --resume, its pinned programs checked."""
import os

from ..errors import Refused
from . import folder as tf
from .contenders import Contender, parse_programs, pin, sha256_of, verify
from .options import DEFAULT_MAX_SEEDS, DEFAULT_SEEDS, Options, check_length, parse_sprt, whole

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
        seeds = whole(o.max_seeds, "--max-seeds", 1, tf.MAX_SEEDS) if o.max_seeds is not None else DEFAULT_MAX_SEEDS
    else:
        if o.max_seeds is not None:
            raise Refused("--max-seeds bounds an --sprt run; a fixed run takes --seeds")
        seeds = whole(o.seeds, "--seeds", 1, tf.MAX_SEEDS) if o.seeds is not None else DEFAULT_SEEDS
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



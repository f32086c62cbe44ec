"""The optimiser on numbers alone: against a noisy objective with a known
optimum it gets there, never leaves the ranges, and a run resumed from its
saved state walks the same path."""
import json

import pytest

from lab.tune.spsa import ALPHA, GAMMA, Param, Spsa
from synthetic import distance, run

OPTIMUM = [120.0, 90.0]
WIDTHS = [50.0, 90.0]


def params(r_end=0.1, start=(50.0, 150.0)):
    return [Param("VEL_MAX", start[0], 30, 130, 5, r_end), Param("KICKABLE", start[1], 20, 200, 9, r_end)]


@pytest.mark.parametrize("run_seed", range(5))
def test_reaches_the_optimum_from_a_poor_start(run_seed):
    spsa = Spsa(params(), 1000, run_seed)
    start = spsa.start()
    path = run(spsa, start, 1, 1000, run_seed, OPTIMUM, WIDTHS, 100)
    assert distance(start, OPTIMUM, WIDTHS) > 1.5
    assert distance(path[-1], OPTIMUM, WIDTHS) < 0.5
    # Still there at the end, not passing through.
    assert max(distance(t, OPTIMUM, WIDTHS) for t in path[-100:]) < 0.6


@pytest.mark.parametrize("optimum,r_end", [([200.0, -50.0], 0.2), (OPTIMUM, 50.0)])
def test_values_and_probes_stay_inside_their_ranges(optimum, r_end):
    # An optimum beyond the ranges, and a rate so large that every step overshoots.
    ps = params(r_end)
    spsa = Spsa(ps, 300, 7)
    seen = []
    path = run(spsa, spsa.start(), 1, 300, 7, optimum, WIDTHS, 100, seen)
    for theta in path + seen:
        assert all(p.low <= t <= p.high for p, t in zip(ps, theta))
    if r_end < 1:
        assert path[-1][0] > 125 and path[-1][1] < 30


def test_a_resumed_run_continues_the_same_path_bit_for_bit():
    whole = run(Spsa(params(), 400, 11), Spsa(params(), 400, 11).start(), 1, 400, 3, OPTIMUM, WIDTHS, 100)
    first = run(Spsa(params(), 400, 11), Spsa(params(), 400, 11).start(), 1, 150, 3, OPTIMUM, WIDTHS, 100)
    # The state as the run folder keeps it: JSON, read back into a new optimiser.
    saved = json.loads(json.dumps({"theta": first[-1], "params": [p.__dict__ for p in params()]}))
    again = Spsa([Param(**p) for p in saved["params"]], 400, 11)
    rest = run(again, saved["theta"], 151, 400, 3, OPTIMUM, WIDTHS, 100)
    assert first + rest == whole


def test_gains_follow_the_frameworks_convention():
    n = 500
    p = Param("X", 0, -10, 10, 2.0, 0.05)
    spsa = Spsa([p], n, 1)
    (c_n, r_n), = spsa.gains(n)
    assert c_n == pytest.approx(p.c_end) and r_n == pytest.approx(p.r_end)
    (c_1, r_1), = spsa.gains(1)
    assert c_1 == pytest.approx(p.c_end * n ** GAMMA)
    a_1 = r_1 * c_1 ** 2
    assert a_1 == pytest.approx(p.r_end * p.c_end ** 2 * ((0.1 * n + n) / (0.1 * n + 1)) ** ALPHA)


def test_signs_are_fresh_per_iteration_and_fixed_by_the_run_seed():
    spsa = Spsa([Param(f"P{i}", 0, -1, 1, 0.1, 0.1) for i in range(8)], 100, 42)
    signs = [spsa.signs(k) for k in range(1, 101)]
    assert signs == [Spsa(spsa.params, 100, 42).signs(k) for k in range(1, 101)]
    assert signs != [Spsa(spsa.params, 100, 43).signs(k) for k in range(1, 101)]
    flat = [s for row in signs for s in row]
    assert set(flat) == {1, -1} and 300 < flat.count(1) < 500
    assert len({tuple(s) for s in signs}) > 50


def test_update_moves_towards_the_side_that_scored():
    spsa = Spsa(params(), 100, 5)
    theta = spsa.start()
    plus, minus = spsa.probes(theta, 1)
    up = spsa.update(theta, 1, 2)
    down = spsa.update(theta, 1, -2)
    assert spsa.update(theta, 1, 0) == theta
    for t, p, m, u, d in zip(theta, plus, minus, up, down):
        assert (u - t) * (p - m) > 0 and (d - t) * (p - m) < 0


def test_no_iterations_is_refused():
    with pytest.raises(ValueError):
        Spsa(params(), 0, 1)

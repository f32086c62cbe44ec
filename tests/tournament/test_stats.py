"""The tournament's statistics against reference values worked out here by
other routes (plain Python sums, the normal likelihood written out, Zermelo's
iteration for Bradley-Terry), and the SPRT's error rates by simulation."""

import math
import statistics

import numpy as np
import pytest

from scipy.optimize import brentq

from lab.tournament import stats
from lab.tournament.options import DEFAULT_MAX_SEEDS, DEFAULT_SPRT, parse_sprt

T975_DF5 = 2.5706  # Student's t, 97.5 %, 5 degrees of freedom (tables)


@pytest.mark.parametrize("scores, counts", [
    ([], [0, 0, 0, 0, 0]),
    ([0, 0.5, 1, 1.5, 2, 2, 1], [1, 1, 2, 1, 2]),
    ([1.0] * 4, [0, 0, 4, 0, 0]),
])
def test_pentanomial_counts(scores, counts):
    assert stats.pentanomial(scores) == counts


@pytest.mark.parametrize("bad", [0.25, 2.5, -0.5, 3])
def test_pentanomial_refuses_what_no_pair_can_score(bad):
    with pytest.raises(ValueError):
        stats.pentanomial([1, bad])


def test_elo_and_interval_from_pair_scores():
    pairs = [2, 1, 1.5, 0.5, 1, 2]
    rates = [s / 2 for s in pairs]
    mean = sum(rates) / len(rates)
    half = T975_DF5 * statistics.stdev(rates) / math.sqrt(len(rates))
    e = stats.estimate(pairs)
    assert e.pairs == 6 and e.counts == (0, 1, 2, 1, 2)
    assert e.rate == pytest.approx(mean)
    assert (e.rate_low, e.rate_high) == (pytest.approx(mean - half, abs=1e-4), pytest.approx(mean + half, abs=1e-4))
    assert e.elo == pytest.approx(400 * math.log10(mean / (1 - mean)))
    assert e.elo_low == pytest.approx(400 * math.log10((mean - half) / (1 - mean + half)), abs=0.05)
    assert 0.05 < e.p_value < 0.5  # the interval holds 1/2


@pytest.mark.parametrize("rate, elo", [(0.5, 0.0), (0.75, 190.849), (0.25, -190.849), (0.0, -math.inf), (1.0, math.inf)])
def test_rate_and_elo(rate, elo):
    assert stats.rate_to_elo(rate) == pytest.approx(elo, abs=1e-3)
    if math.isfinite(elo):
        assert stats.elo_to_rate(elo) == pytest.approx(rate, abs=1e-5)


@pytest.mark.parametrize("pairs, p", [
    ([1, 1, 1, 1, 1, 1], 1.0),      # identical draws: no difference
    ([2, 2, 2, 2, 2, 2], 0.0),      # a sweep: certain
    ([2], 1.0),                     # one pair is no test
])
def test_equal_strength_p_without_spread(pairs, p):
    assert stats.estimate(pairs).p_value == p


def reference_llr(counts, elo0, elo1):
    """The log of N(mean | s1, v/N) over N(mean | s0, v/N), by plain sums."""
    values = [0, 0.25, 0.5, 0.75, 1]
    weights = [c + stats.PSEUDO_COUNT for c in counts]
    total = sum(weights)
    m = sum(w * x for w, x in zip(weights, values)) / total
    v = sum(w * (x - m) ** 2 for w, x in zip(weights, values)) / total
    s0 = 1 / (1 + 10 ** (-elo0 / 400))
    s1 = 1 / (1 + 10 ** (-elo1 / 400))
    return sum(counts) * ((m - s0) ** 2 - (m - s1) ** 2) / (2 * v)


@pytest.mark.parametrize("counts, elo0, elo1", [
    ([3, 5, 10, 6, 4], 0, 50),
    ([1, 8, 20, 12, 9], 0, 50),
    ([10, 4, 2, 0, 0], -10, 10),
    ([0, 0, 30, 0, 0], 0, 50),
])
def test_llr_against_the_normal_likelihood(counts, elo0, elo1):
    assert stats.llr_from_counts(counts, elo0, elo1) == pytest.approx(reference_llr(counts, elo0, elo1))


def test_llr_signs_and_vectorised_form():
    assert stats.llr([], 0, 50) == 0.0
    # A sweep decides within a dozen pairs, but three pairs alone never do.
    assert 0 < stats.llr([2] * 3, 0, 50) < 2.95
    assert stats.llr([2] * 12, 0, 50) > 2.95
    assert stats.llr([1] * 25, 0, 50) < -2.95    # colour-decided pairs of equals
    batch = np.array([[3, 5, 10, 6, 4], [0, 0, 30, 0, 0]])
    assert np.allclose(stats.llr_from_counts(batch, 0, 50),
                       [reference_llr(c, 0, 50) for c in batch.tolist()])
    assert stats.sprt_bounds() == pytest.approx((-2.944439, 2.944439))


@pytest.mark.parametrize("p_values, rejected", [
    ([0.01, 0.04, 0.03], [True, False, False]),
    ([0.01, 0.02, 0.03], [True, True, True]),
    ([0.04, 0.001], [True, True]),
    ([0.2], [False]),
    ([], []),
])
def test_holm(p_values, rejected):
    assert stats.holm(p_values) == rejected


def zermelo(k, pairs, rounds=20000):
    """Bradley-Terry strengths by Zermelo's iteration on match counts."""
    wins = [0.0] * k
    games = [[0.0] * k for _ in range(k)]
    for i, j, s in pairs:
        wins[i] += s
        wins[j] += 2 - s
        games[i][j] += 2
        games[j][i] += 2
    pi = [1.0] * k
    for _ in range(rounds):
        pi = [wins[i] / sum(games[i][j] / (pi[i] + pi[j]) for j in range(k) if j != i) for i in range(k)]
        pi = [p / pi[0] for p in pi]
    return [400 * math.log10(p) for p in pi]


def test_bradley_terry_on_a_constructed_round_robin():
    # A beats B, B beats C, C trails A most; each pairing over four seeds.
    pairs = ([(0, 1, s) for s in (1.5, 1, 2, 1)] + [(1, 2, s) for s in (1.5, 1.5, 1, 2)]
             + [(2, 0, s) for s in (0.5, 0, 1, 0.5)])
    got = stats.bradley_terry(3, pairs, prior_pairs=0)
    want = zermelo(3, pairs)
    for r, w in zip(got, want):
        assert r.elo == pytest.approx(w, abs=0.01)
        assert r.low <= r.elo <= r.high
    assert got[0].low == got[0].high == 0.0


def test_bradley_terry_of_two_is_the_pairing_elo_with_its_t_interval():
    pairs = [(0, 1, s) for s in (2, 1, 1.5, 0.5, 1, 2, 1.5, 1)]
    rates = [s / 2 for _, _, s in pairs]
    m = sum(rates) / len(rates)
    b = stats.bradley_terry(2, pairs, prior_pairs=0)[1]
    assert b.elo == pytest.approx(-stats.rate_to_elo(m), abs=0.01)
    # Delta method: se(Elo) = se(rate) / (p (1 - p)) in natural units; t on 7 degrees of freedom.
    se = math.sqrt(statistics.variance(rates) / len(pairs))
    half = 2.364624 * se / (m * (1 - m)) * 400 / math.log(10)
    assert (b.high - b.low) / 2 == pytest.approx(half, rel=1e-3)
    one = stats.bradley_terry(2, [(0, 1, 2)])[1]
    assert math.isfinite(one.elo) and one.low is None and one.high is None


def test_bradley_terry_intervals_cover_at_their_level_with_few_pairs():
    """A candidate 60 Elo weaker over 4 and 10 pairs, two correlated matches a pair."""
    rng = np.random.default_rng(3)
    for n in (4, 10):
        covered = 0
        runs = 400
        for _ in range(runs):
            scores = pair_scores(rng, n, stats.elo_to_rate(60.0), draw=0.3)
            r = stats.bradley_terry(2, [(0, 1, s) for s in scores], prior_pairs=0)[1]
            covered += r.low is not None and r.low <= -60.0 <= r.high
        assert 0.92 <= covered / runs <= 0.99, (n, covered / runs)


def pair_scores(rng, n, rate, draw):
    win = rate - draw / 2
    return rng.choice(3, size=(n, 2), p=[1 - win - draw, draw, win]).sum(axis=1) / 2.0


def test_bradley_terry_keeps_a_sweep_finite_and_an_unplayed_contender_unrated():
    ratings = stats.bradley_terry(3, [(0, 1, 2)] * 12)
    assert math.isfinite(ratings[1].elo) and ratings[1].elo < -300
    assert ratings[1].high < 0  # twelve lost pairs of twelve leave no doubt
    assert math.isnan(ratings[2].elo)


def match_probabilities(elo, draw, normalized):
    """(loss, draw, win) of one match with this draw rate, logistic or normalized Elo."""
    if not normalized:
        rate = stats.elo_to_rate(elo)
    else:
        # Independent matches: nElo = (rate - 1/2) / sqrt(rate (1 - rate) - draw / 4) * 800 / ln 10.
        def gap(rate):
            return (rate - 0.5) / math.sqrt(rate * (1 - rate) - draw / 4) * stats.NELO_PER_T - elo
        rate = brentq(gap, 0.5 - 0.2, 0.5 + 0.2)
    win = rate - draw / 2
    return [1 - win - draw, draw, win]


def simulate_sprt(elo, sprt, draw, runs=1000, max_pairs=DEFAULT_MAX_SEEDS, seed=7):
    """(share of runs accepting H1 by the cap, mean pairs played), each pair two independent matches."""
    rng = np.random.default_rng(seed)
    match = rng.choice(3, size=(runs, max_pairs, 2), p=match_probabilities(elo, draw, sprt.normalized))
    outcome = match.sum(axis=2)  # pair score in half points: 0..4
    counts = np.cumsum(np.eye(5, dtype=np.int32)[outcome], axis=1)
    llr = stats.llr_from_counts(counts, sprt.elo0, sprt.elo1, sprt.normalized)
    lower, upper = stats.sprt_bounds(sprt.alpha, sprt.beta)
    crossed = (llr >= upper) | (llr <= lower)
    decided = crossed.any(axis=1)
    first = np.where(decided, crossed.argmax(axis=1), max_pairs - 1)
    final = llr[np.arange(runs), first]
    return float(np.mean(decided & (final >= upper))), float(np.mean(first + 1))


LOGISTIC = parse_sprt(DEFAULT_SPRT)
NORMALIZED = parse_sprt("nelo:0,50")


@pytest.mark.parametrize("sprt", [LOGISTIC, NORMALIZED], ids=["logistic", "normalized"])
@pytest.mark.parametrize("draw", [0.1, 0.6])
def test_sprt_error_rates_by_simulation_at_the_defaults(sprt, draw):
    """At H0 it accepts H1 at most alpha of the time; at H1, within the default
    cap, at least 1 - beta less a point (the normal approximation's share)."""
    false_h1, _ = simulate_sprt(sprt.elo0, sprt, draw)
    power, pairs = simulate_sprt(sprt.elo1, sprt, draw, seed=8)
    assert false_h1 <= sprt.alpha + 0.015
    assert power >= 1 - sprt.beta - 0.015
    if sprt.normalized:
        # Normalized bounds: the length the test announces holds whatever the draw rate.
        expected = stats.expected_length(sprt.elo0, sprt.elo1, sprt.alpha, sprt.beta, True)[1]
        assert pairs == pytest.approx(expected, rel=0.2)


@pytest.mark.parametrize("start, drift, variance, steps", [
    (0.0, 0.0, 1.0, 2.944439 ** 2),              # no drift: (x - a)(b - x) / variance
    (0.0, 3.0, 1.0, 2.944439 / 3.0),             # strong drift: the distance over the drift
    (0.0, -3.0, 1.0, 2.944439 / 3.0),
    (0.0, 0.5, 1.0, 2.944439 * (1 - 2 / (1 + math.exp(2 * 2.944439 * 0.5))) / 0.5),   # both bounds in reach
    (3.0, 0.1, 1.0, 0.0),                        # decided already
])
def test_expected_steps(start, drift, variance, steps):
    got = stats.expected_steps(start, stats.sprt_bounds(), drift, variance)
    assert got == pytest.approx(steps, rel=0.03)

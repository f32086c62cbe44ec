"""A tournament summed up from its finished matches: per pairing the pairs,
their estimates and the verdict; per contender the table and the
Bradley-Terry rating; and the printed table. The page draws the same data."""
import math
from dataclasses import dataclass, field
from typing import Optional

from . import stats
from .results import POINTS, pairs_of
from .sprtplan import SprtSpec

MINUS = "\u2212"


@dataclass
class PairingView:
    a: int
    b: int
    pairs: list                 # results.Pair, seed order
    incomplete: list            # seeds with one colour only
    estimate: stats.PairingEstimate
    gd: tuple                   # goals per pair: (mean, low, high)
    identical: int = 0          # pairs whose two matches went step for step alike
    nelo: float = math.nan      # normalized Elo of a
    verdict: int = 0            # +1 a better (SPRT: H1), -1 a worse (SPRT: H0), 0 cannot tell
    text: str = ""
    llr: Optional[float] = None
    trace: list = field(default_factory=list)   # LLR after each complete pair


@dataclass
class ContenderRow:
    index: int
    label: str
    matches: int = 0
    wins: int = 0
    draws: int = 0
    losses: int = 0
    points: int = 0
    goals_for: int = 0
    goals_against: int = 0
    rating: Optional[stats.Rating] = None


@dataclass
class Summary:
    labels: list
    pairings: list
    table: list
    colour: dict
    sprt: Optional[SprtSpec]
    max_seeds: int
    finished: int
    planned: int
    flagged: int                # matches with unanswered steps


def seeds_text(n: int) -> str:
    return "%d seed%s" % (n, "" if n == 1 else "s")


def fmt(value, sign=True, digits=0) -> str:
    if value is None or (isinstance(value, float) and math.isnan(value)):
        return "n/a"
    if math.isinf(value):
        return ("+" if value > 0 else MINUS) + "inf"
    if round(value, digits) == 0:
        value = 0.0  # no "-0"
    text = ("%+.*f" if sign else "%.*f") % (digits, value)
    return text.replace("-", MINUS)


def fmt_interval(mean, low, high, digits=0) -> str:
    if low is None:
        return fmt(mean, digits=digits)
    return "%s [%s, %s]" % (fmt(mean, digits=digits), fmt(low, digits=digits), fmt(high, digits=digits))


def summarise(labels: list, results: list, planned: int, sprt: Optional[SprtSpec] = None,
              max_seeds: int = 0, gauntlet: bool = True) -> Summary:
    """Contender 0 is the baseline: every other one is a candidate played
    against it, each pairing (candidate, baseline). `sprt`: a sequential test
    of one candidate, at most `max_seeds` seeds."""
    k = len(labels)
    order = [(c, 0) for c in range(1, k)] if gauntlet else [(a, b) for a in range(k) for b in range(a + 1, k)]
    views = []
    for a, b in order:
        pairs, incomplete = pairs_of(results, a, b)
        scores = [p.score for p in pairs]
        views.append(PairingView(a, b, pairs, incomplete, stats.estimate(scores),
                                 stats.mean_interval([p.gd for p in pairs]),
                                 sum(p.identical for p in pairs), stats.normalized_elo(scores)))
    if sprt is None:
        fixed_verdicts(views, labels)
    else:
        for v in views:
            sprt_verdict(v, labels, sprt, max_seeds)
    bt_pairs = [(v.a, v.b, p.score) for v in views for p in v.pairs]
    ratings = stats.bradley_terry(k, bt_pairs)
    table = [ContenderRow(i, labels[i], rating=ratings[i]) for i in range(k)]
    colour = {"W": 0, "D": 0, "L": 0, "matches": len(results)}
    for m in results:
        colour[m.result["yellow"]] += 1
        for side, idx in (("yellow", m.yellow), ("blue", m.blue)):
            row = table[idx]
            r = m.result[side]
            row.matches += 1
            row.wins += r == "W"
            row.draws += r == "D"
            row.losses += r == "L"
            row.points += POINTS[r]
            row.goals_for += m.goals[side]
            row.goals_against += m.goals["blue" if side == "yellow" else "yellow"]
    flagged = sum(1 for m in results if any(m.unanswered.values()))
    return Summary(labels, views, table, colour, sprt, max_seeds, len(results), planned, flagged)


def fixed_verdicts(views: list, labels: list) -> None:
    """Holm's correction across pairings; no verdict below MIN_PAIRS_FOR_VERDICT pairs."""
    tested = [v for v in views if v.estimate.pairs >= stats.MIN_PAIRS_FOR_VERDICT]
    rejected = stats.holm([v.estimate.p_value for v in tested])
    for v, r in zip(tested, rejected):
        if r:
            v.verdict = 1 if v.estimate.rate > 0.5 else -1
    for v in views:
        a, b, n = labels[v.a], labels[v.b], v.estimate.pairs
        if v.verdict:
            v.text = "%s plays %s than %s (Holm-corrected 95 %% level over %d pairing%s, %s)" % (
                a, "better" if v.verdict > 0 else "worse", b, len(views), "" if len(views) == 1 else "s",
                seeds_text(n))
        elif n < stats.MIN_PAIRS_FOR_VERDICT:
            v.text = "%s against %s: cannot tell yet (%d complete pair%s; a verdict needs %d)" % (
                a, b, n, "" if n == 1 else "s", stats.MIN_PAIRS_FOR_VERDICT)
        else:
            v.text = "%s against %s: cannot tell yet (%s; more seeds may decide)" % (a, b, seeds_text(n))


def sprt_verdict(v: PairingView, labels: list, sprt: SprtSpec, max_seeds: int) -> None:
    """The sequential test's verdict, as a sentence about the candidate a."""
    lower, upper = stats.sprt_bounds(sprt.alpha, sprt.beta)
    counts = [0] * 5
    for p in v.pairs:
        counts[int(p.score * 2)] += 1
        v.trace.append(stats.llr_from_counts(counts, sprt.elo0, sprt.elo1, sprt.normalized))
    v.llr = v.trace[-1] if v.trace else 0.0
    v.verdict = stats.sprt_decision(v.llr, (lower, upper))
    a, b, n = labels[v.a], labels[v.b], len(v.pairs)
    unit = sprt.unit
    if v.verdict > 0:
        claim = ("plays better than %s" % b if sprt.elo0 >= 0 else
                 "does not play %s %s worse than %s" % (fmt(-sprt.elo0, sign=False), unit, b))
        v.text = "%s %s (SPRT H1 accepted: nearer %s than %s %s, LLR %.2f \u2265 %.2f, %s)" % (
            a, claim, fmt(sprt.elo1), fmt(sprt.elo0), unit, v.llr, upper, seeds_text(n))
    elif v.verdict < 0:
        claim = ("plays worse than %s" % b if sprt.elo1 <= 0 else
                 "does not play %s %s better than %s" % (fmt(sprt.elo1), unit, b))
        v.text = "%s %s (SPRT H0 accepted: nearer %s than %s %s, LLR %s \u2264 %s, %s)" % (
            a, claim, fmt(sprt.elo0), fmt(sprt.elo1), unit, fmt(v.llr, digits=2), fmt(lower, digits=2),
            seeds_text(n))
    elif n >= max_seeds > 0:
        drift, var = stats.llr_step(counts, sprt.elo0, sprt.elo1, sprt.normalized)
        more = stats.expected_steps(v.llr, (lower, upper), drift, var)
        v.text = ("%s against %s: no decision after %s (SPRT LLR %s between %s and %.2f); at this pace "
                  "the test would need about %d more seeds on average to decide (raise --max-seeds)") % (
            a, b, seeds_text(n), fmt(v.llr, digits=2), fmt(lower, digits=2), upper, math.ceil(more))
    else:
        v.text = "%s against %s: no decision yet, %s (SPRT LLR %s between %s and %.2f)" % (
            a, b, seeds_text(n), fmt(v.llr, digits=2), fmt(lower, digits=2), upper)


def identical_text(v: PairingView) -> str:
    return "%d of %d pair%s identical in both colours (the difference never showed)" % (
        v.identical, len(v.pairs), "" if len(v.pairs) == 1 else "s")


def percent(rate, low, high) -> str:
    if low is None:
        return "%.1f" % (100 * rate)
    return "%.1f [%.1f, %.1f]" % (100 * rate, 100 * low, 100 * high)


def lines(s: Summary) -> list:
    """The printed table: the same figures as the page."""
    width = max([len(l) for l in s.labels] + [len("contender")])
    out = ["%-*s  %7s %4s %5s %6s %6s %7s  %s" % (width, "contender", "matches", "wins", "draws", "losses",
                                                "points", "goals", "Elo, Bradley-Terry, 95 % interval")]
    for r in s.table:
        rating = "0 (baseline)" if r.index == 0 else fmt_interval(r.rating.elo, r.rating.low, r.rating.high)
        out.append("%-*s  %7d %4d %5d %6d %6d %7s  %s" % (width, r.label, r.matches, r.wins, r.draws, r.losses,
                                                        r.points, "%d:%d" % (r.goals_for, r.goals_against),
                                                        rating))
    c = s.colour
    out.append("colour: yellow won %d, drew %d, lost %d of %d matches (each pair plays both colours, "
               "so the colour cancels in the verdicts)" % (c["W"], c["D"], c["L"], c["matches"]))
    for v in s.pairings:
        e = v.estimate
        a, b = s.labels[v.a], s.labels[v.b]
        if e.pairs:
            out.append("%s %s %s: %d pair%s, pentanomial %s (pair scores 0 to 2), score %s %%, Elo %s, "
                       "goals per pair %s" % (
                           a, MINUS, b, e.pairs, "" if e.pairs == 1 else "s", " ".join(map(str, e.counts)),
                           percent(e.rate, e.rate_low, e.rate_high),
                           fmt_interval(e.elo, e.elo_low, e.elo_high), fmt_interval(*v.gd, digits=2)))
            out.append("  %s; normalized Elo %s" % (identical_text(v), fmt(v.nelo)))
        if v.incomplete:
            out.append("  seeds with one colour only, not counted: %s" % " ".join(map(str, v.incomplete)))
        out.append(v.text)
    if s.flagged:
        out.append("%d matches with unanswered steps (flagged in results.csv)" % s.flagged)
    if s.finished < s.planned:
        out.append("%d of %d matches finished" % (s.finished, s.planned))
    return out

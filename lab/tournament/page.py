"""report.html: one self-contained page (no network) with the figures of the
printed table and the counts behind every verdict."""
import html
import urllib.parse

from . import stats
from .summary import fmt, fmt_interval, identical_text, percent

W = 560
LABEL_CHAR_WIDTH = 6.5   # 11 px sans-serif, a generous average
PAD = 40
OUTCOME_COLOURS = ("#c0392b", "#e67e22", "#bdc3c7", "#7fb77e", "#2e7d45")
CSS = """
body { font: 14px sans-serif; margin: 1.5em; color: #222; }
table { border-collapse: collapse; margin: .5em 0 1em; }
td, th { border: 1px solid #ccc; padding: 3px 8px; text-align: right; }
td:first-child, th:first-child, #contenders td { text-align: left; }
.chart text { font: 11px sans-serif; fill: #444; }
.zero { stroke: #999; stroke-dasharray: 3 3; }
.bound { stroke: #c0392b; stroke-dasharray: 5 3; }
.ci { stroke: #1f5fe0; stroke-width: 3; }
.dot { fill: #1f5fe0; }
.trace { fill: none; stroke: #1f5fe0; stroke-width: 2; }
.verdict { font-weight: bold; }
.flag { color: #c0392b; }
code { font-size: 12px; }
"""


def esc(text) -> str:
    return html.escape(str(text))


def link(folder: str, text: str) -> str:
    return '<a href="%s">%s</a>' % (esc(urllib.parse.quote(folder) + "/match.html"), esc(text))


def pentanomial_bar(counts) -> str:
    total = sum(counts)
    parts = ['<svg class="chart pentanomial" width="%d" height="34" role="img">' % W]
    x = 0.0
    for k, c in enumerate(counts):
        w = (W - 2) * c / total if total else 0
        if w:
            parts.append('<rect x="%.1f" y="2" width="%.1f" height="18" fill="%s"><title>pair score %s: %d</title>'
                         '</rect>' % (x + 1, w, OUTCOME_COLOURS[k], stats.PAIR_SCORES[k], c))
            label = "%s: %d" % (("0", "\u00bd", "1", "1\u00bd", "2")[k], c)
            # Kept inside the picture: a narrow end segment's label would be cut in half.
            half = LABEL_CHAR_WIDTH * len(label) / 2
            centre = min(max(x + 1 + w / 2, half + 1), W - half - 1)
            parts.append('<text x="%.1f" y="32" text-anchor="middle">%s</text>' % (centre, label))
        x += w
    parts.append("</svg>")
    return "".join(parts)


def llr_trace(trace, bounds) -> str:
    """The LLR after each complete pair, in seed order, against its bounds."""
    h = 180
    lower, upper = bounds
    top = max([upper] + trace) * 1.1
    bottom = min([lower] + trace) * 1.1
    n = max(len(trace), 1)

    def x(i):
        return PAD + i / n * (W - 2 * PAD)

    def y(v):
        return 10 + (top - v) / (top - bottom) * (h - 40)
    pts = " ".join("%.1f,%.1f" % (x(i + 1), y(v)) for i, v in enumerate(trace))
    return "".join([
        '<svg class="chart llr" width="%d" height="%d" role="img">' % (W, h),
        '<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" class="bound"/>' % (PAD, y(upper), W - PAD, y(upper)),
        '<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" class="bound"/>' % (PAD, y(lower), W - PAD, y(lower)),
        '<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" class="zero"/>' % (PAD, y(0), W - PAD, y(0)),
        '<text x="2" y="%.1f">%.2f</text>' % (y(upper) + 4, upper),
        '<text x="2" y="%.1f">%s</text>' % (y(lower) + 4, fmt(lower, digits=2)),
        '<polyline points="%.1f,%.1f %s" class="trace"/>' % (x(0), y(0), pts),
        '<text x="%d" y="%d">complete pairs in seed order: %d; LLR %s</text>' % (
            PAD, h - 6, len(trace), fmt(trace[-1] if trace else 0.0, digits=2)),
        "</svg>"])


def rating_chart(table) -> str:
    rated = [r for r in table if r.rating is not None and r.rating.low is not None and r.rating.low == r.rating.low]
    spread = [abs(v) for r in rated for v in (r.rating.low, r.rating.high) if abs(v) != float("inf")]
    lim = max([50.0] + spread) * 1.1
    row = 26
    h = 30 + row * len(table)
    x0, x1 = 180, W - 20

    def x(v):
        return x0 + (max(-lim, min(lim, v)) + lim) / (2 * lim) * (x1 - x0)
    parts = ['<svg class="chart ratings" width="%d" height="%d" role="img">' % (W, h),
             '<line x1="%.1f" y1="4" x2="%.1f" y2="%d" class="zero"/>' % (x(0), x(0), h - 18),
             '<text x="%d" y="%d">%s</text>' % (x0, h - 4, fmt(-lim)),
             '<text x="%d" y="%d" text-anchor="end">%s</text>' % (x1, h - 4, fmt(lim))]
    for i, r in enumerate(table):
        y = 16 + i * row
        parts.append('<text x="4" y="%d">%s</text>' % (y + 4, esc(r.label[:28])))
        if r in rated:
            parts.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" class="ci"/>' % (
                x(r.rating.low), y, x(r.rating.high), y))
            parts.append('<circle cx="%.1f" cy="%d" r="5" class="dot"><title>%s</title></circle>' % (
                x(r.rating.elo), y, esc(fmt_interval(r.rating.elo, r.rating.low, r.rating.high))))
    parts.append("</svg>")
    return "".join(parts)


def seed_table(v, labels) -> str:
    a = labels[v.a]
    rows = []
    for p in v.pairs:
        rows.append("<tr><td>%d</td><td>%s</td><td>%s</td><td>%s</td><td>%s</td><td class=\"flag\">%s</td></tr>" % (
            p.seed,
            link(p.first.folder, "%d\u2013%d" % (p.first.goals["yellow"], p.first.goals["blue"])),
            link(p.second.folder, "%d\u2013%d" % (p.second.goals["yellow"], p.second.goals["blue"])),
            esc(p.score), esc(fmt(p.gd)), esc("; ".join(m.note for m in (p.first, p.second) if m.note))))
    return ('<table class="seeds"><tr><th>seed</th><th>%s yellow (score yellow\u2013blue)</th>'
            '<th>%s blue (score yellow\u2013blue)</th><th>pair score of %s</th><th>goals per pair</th>'
            '<th>note</th></tr>%s</table>' % (esc(a), esc(a), esc(a), "".join(rows)))


def scenario_text(plan) -> str:
    """The field the matches were played on; a --scenario file with its pinned copy's hash."""
    pinned = plan.scenario_file
    if pinned is None:
        return plan.scenario
    return "scenario file %s (its copy %s, SHA-256 %s, from %s)" % (plan.scenario, pinned.path, pinned.sha256,
                                                                    pinned.source)


def render(plan, s) -> str:
    labels = s.labels
    contenders = "".join(
        "<tr><td>%s</td><td><code>%s</code></td><td><code>%s</code></td><td>%s</td><td><code>%s</code></td></tr>" % (
            esc(c.label), esc(c.sha256), esc(" ".join("%s=%s" % (k, v) for k, v in c.settings)),
            esc(c.describe), esc(c.source)) for c in plan.contenders)
    contenders += "<tr><td>simserver</td><td><code>%s</code></td><td></td><td>%s</td><td><code>%s</code></td></tr>" % (
        esc(plan.simserver.sha256), esc(plan.simserver.describe), esc(plan.simserver.source))
    table = "".join(
        "<tr><td>%s</td><td>%d</td><td>%d</td><td>%d</td><td>%d</td><td>%d</td><td>%d:%d</td><td>%s</td></tr>" % (
            esc(r.label), r.matches, r.wins, r.draws, r.losses, r.points, r.goals_for, r.goals_against,
            "0 (baseline)" if r.index == 0 else esc(fmt_interval(r.rating.elo, r.rating.low, r.rating.high)))
        for r in s.table)
    sections = []
    for v in s.pairings:
        e = v.estimate
        a, b = labels[v.a], labels[v.b]
        figures = ("<p>%d complete pairs; score of %s %s %%; Elo %s; normalized Elo %s; goals per pair %s</p>"
                   '<p class="identical">%s</p>' % (
                       e.pairs, esc(a), esc(percent(e.rate, e.rate_low, e.rate_high)) if e.pairs else "n/a",
                       esc(fmt_interval(e.elo, e.elo_low, e.elo_high)), esc(fmt(v.nelo)),
                       esc(fmt_interval(*v.gd, digits=2)), esc(identical_text(v))))
        missing = ("<p>Seeds with one colour only, not counted: %s</p>" % esc(" ".join(map(str, v.incomplete)))
                   if v.incomplete else "")
        trace = ("<h4>Log-likelihood ratio after each complete pair, in seed order, against the SPRT bounds</h4>%s"
                 % llr_trace(v.trace, stats.sprt_bounds(s.sprt.alpha, s.sprt.beta)) if s.sprt is not None else "")
        sections.append(
            '<section class="pairing"><h3>%s against %s</h3><p class="verdict">%s</p>'
            "<h4>Pair scores of %s (pentanomial counts)</h4>%s%s%s%s<h4>Seeds, in seed order</h4>%s</section>" % (
                esc(a), esc(b), esc(v.text), esc(a), pentanomial_bar(e.counts), figures, missing, trace,
                seed_table(v, labels)))
    first = plan.seed_offset + 1
    if s.sprt is not None:
        kind = ("a sequential test (SPRT) of %s against %s: H0 %s against H1 %s %s, \u03b1 %g, \u03b2 %g, "
                "at most %d seeds from seed %d" % (labels[1], labels[0], fmt(s.sprt.elo0), fmt(s.sprt.elo1),
                                                  s.sprt.unit, s.sprt.alpha, s.sprt.beta, s.max_seeds, first))
    else:
        kind = "seeds %d to %d; every candidate against %s; verdicts Holm-corrected across pairings" % (
            first, plan.seed_offset + plan.seeds, labels[0])
    return """<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Tournament</title><style>{css}</style></head>
<body data-matches="{finished}" data-total="{planned}">
<h1>Tournament</h1>
<p>{labels}: {kind}; every seed played twice with the colours swapped (a pair); {scenario}, {length} s per match.
{finished} of {planned} matches finished{flagged}.</p>
<h2>Contenders</h2>
<table id="contenders"><tr><th>contender</th><th>SHA-256 of the pinned program</th><th>settings</th>
<th>git describe</th><th>source</th></tr>{contenders}</table>
<h2>Table</h2>
<table id="table"><tr><th>contender</th><th>matches</th><th>wins</th><th>draws</th><th>losses</th><th>points</th>
<th>goals</th><th>Elo, Bradley-Terry, 95 % interval</th></tr>{table}</table>
{ratings}
<p id="colour">Colour: yellow won {cw}, drew {cd}, lost {cl} of {cn} matches (each pair plays both colours).</p>
<h2>Pairings</h2>
{sections}
</body></html>
""".format(css=CSS, finished=s.finished, planned=s.planned, labels=esc(", ".join(labels)), kind=esc(kind),
           scenario=esc(scenario_text(plan)), length=esc(plan.length),
           flagged=("; %d with unanswered steps" % s.flagged) if s.flagged else "",
           contenders=contenders, table=table, ratings=rating_chart(s.table), cw=s.colour["W"],
           cd=s.colour["D"], cl=s.colour["L"], cn=s.colour["matches"], sections="".join(sections))

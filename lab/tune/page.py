"""tune.html: one self-contained page (no network) of a tuning run: each
parameter's path inside its range, θ+'s running score against θ−, and the
verification's log-likelihood ratio after each pair against its bounds."""
from ..tournament.page import CSS, esc, llr_trace
from .folder import params_of
from .params import settings_of

W = 560
H = 160
PAD = 40


def path_chart(values: list, low: float, high: float, start: float) -> str:
    """A line of `values` (θ before iteration 1, then after each) between low and high."""
    n = max(len(values) - 1, 1)

    def x(i):
        return PAD + i / n * (W - 2 * PAD)

    def y(v):
        return 10 + (high - v) / (high - low) * (H - 40)
    pts = " ".join("%.1f,%.1f" % (x(i), y(v)) for i, v in enumerate(values))
    return "".join([
        '<svg class="chart path" width="%d" height="%d" role="img">' % (W, H),
        '<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" class="bound"/>' % (PAD, y(high), W - PAD, y(high)),
        '<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" class="bound"/>' % (PAD, y(low), W - PAD, y(low)),
        '<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" class="zero"/>' % (PAD, y(start), W - PAD, y(start)),
        '<text x="2" y="%.1f">%s</text>' % (y(high) + 4, esc("%g" % high)),
        '<text x="2" y="%.1f">%s</text>' % (y(low) + 4, esc("%g" % low)),
        '<polyline points="%s" class="trace"/>' % pts,
        '<text x="%d" y="%d">iterations: %d; start %s (dashed), now %s</text>' % (
            PAD, H - 6, len(values) - 1, esc("%g" % start), esc("%.4g" % values[-1])),
        "</svg>"])


def score_chart(results: list) -> str:
    """θ+'s running wins minus losses over θ−, pair after pair."""
    running, total = [0.0], 0.0
    for r in results:
        total += r
        running.append(total)
    top, bottom = max(running + [1.0]), min(running + [-1.0])
    n = max(len(results), 1)

    def x(i):
        return PAD + i / n * (W - 2 * PAD)

    def y(v):
        return 10 + (top - v) / (top - bottom) * (H - 40)
    pts = " ".join("%.1f,%.1f" % (x(i), y(v)) for i, v in enumerate(running))
    return "".join([
        '<svg class="chart score" width="%d" height="%d" role="img">' % (W, H),
        '<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" class="zero"/>' % (PAD, y(0), W - PAD, y(0)),
        '<text x="2" y="%.1f">%+g</text>' % (y(top) + 4, top),
        '<text x="2" y="%.1f">%+g</text>' % (y(bottom) + 4, bottom),
        '<polyline points="%s" class="trace"/>' % pts,
        '<text x="%d" y="%d">pairs: %d; θ+ wins minus losses: %+g</text>' % (PAD, H - 6, len(results), total),
        "</svg>"])


def render(state: dict, verification: dict) -> str:
    params = params_of(state)
    history = state["history"]
    start = [p.start for p in params]
    rows, charts = [], []
    for i, p in enumerate(params):
        path = [min(max(start[i], p.low), p.high)] + [h["theta"][i] for h in history]
        now = settings_of([p], [path[-1]])[0][1]
        rows.append("<tr><td>%s</td><td>%g</td><td>%g</td><td>%g</td><td>%g</td><td>%g</td><td>%s</td></tr>" % (
            esc(p.name), p.start, p.low, p.high, p.c_end, p.r_end, esc(now)))
        charts.append("<h3>%s</h3>%s" % (esc(p.name), path_chart(path, p.low, p.high, p.start)))
    if verification:
        verdict = "".join('<p class="verdict">%s</p>' % esc(v) for v in verification["verdict"])
        trace = llr_trace(verification["trace"], verification["bounds"]) if verification["trace"] else ""
        verify = ("<h2>Verification</h2><p>A sequential test of the tuned settings against the starting "
                  "ones on fresh seeds (files in <code>verify/</code>).</p>%s"
                  "<h4>Log-likelihood ratio after each complete pair, in seed order, against the SPRT "
                  "bounds</h4>%s" % (verdict or "<p>No verdict.</p>", trace))
    else:
        verify = "<h2>Verification</h2><p>None was played.</p>"
    return """<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Tuning</title><style>{css}</style></head>
<body data-done="{done}" data-iterations="{iterations}">
<h1>Tuning</h1>
<p>SPSA: {done} of {iterations} iterations, each a pair of matches of θ+ against θ− with the colours
swapped, on a fresh seed (from {first}); {length} s per match; program <code>{program}</code>
(SHA-256 <code>{sha}</code>); scenario <code>{scenario}</code>{scenario_sha}.</p>
<h2>Parameters</h2>
<table id="params"><tr><th>parameter</th><th>start</th><th>min</th><th>max</th><th>c_end</th><th>r_end</th>
<th>tuned</th></tr>{rows}</table>
{charts}
<h2>Running score of θ+ against θ−</h2>
{score}
{verify}
</body></html>
""".format(css=CSS, done=state["done"], iterations=state["iterations"], first=state["seed_offset"] + 1,
           length=esc(state["length"]), program=esc(state.get("program_source", "")),
           sha=esc(state["program_sha256"]), scenario=esc(state["scenario"]),
           scenario_sha=(" (its copy <code>%s</code>, SHA-256 <code>%s</code>)" % (
               esc(state["scenario_file"]), esc(state["scenario_sha256"]))) if "scenario_file" in state else "",
           rows="".join(rows),
           charts="".join(charts), score=score_chart([h["result"] for h in history]), verify=verify)

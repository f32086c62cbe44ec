#!/usr/bin/env python3
"""Plans a tournament and sums it up.

  tournament_report.py plan DIR --seeds N --scenario 3v3|5v5 --length S -- PROGRAM...
      writes DIR/tournament.json and DIR/matches.txt (one match per line)
  tournament_report.py report DIR
      reads every finished match, writes DIR/results.csv and DIR/report.html
      and prints the table with its verdicts
"""

import argparse
import csv
import html
import json
import os
import re
import sys
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tournament_stats as stats  # noqa: E402

POINTS_WIN = 3
POINTS_DRAW = 1
TEAMS = ("yellow", "blue")
FIGURES = ("kicks", "shots", "passes", "possession")
HEADER = (["seed", "scenario", "yellow_program", "blue_program", "yellow_goals", "blue_goals"]
          + ["%s_%s" % (t, f) for f in FIGURES for t in TEAMS]
          + ["yellow_exit", "blue_exit", "note", "folder"])


# ---------------------------------------------------------------- planning

def label(program):
    """A program's short name for folder names."""
    return re.sub(r"[^A-Za-z0-9._-]", "_", os.path.basename(program)) or "program"


def plan(args):
    labels = [label(p) for p in args.programs]
    for i, name in enumerate(labels):
        if labels.count(name) > 1:
            labels[i] = "%s-%d" % (name, i + 1)
    pairings = [(a, b) for a in range(len(args.programs)) for b in range(a + 1, len(args.programs))]
    width = len(str(args.seeds))
    lines = []
    for a, b in pairings:
        for seed in range(1, args.seeds + 1):
            for y, bl in ((a, b), (b, a)):
                folder = "s%0*d-%s-vs-%s" % (width, seed, labels[y], labels[bl])
                lines.append("\t".join([str(seed), args.scenario, args.length,
                                        args.programs[y], args.programs[bl], folder]))
    settings = {"programs": args.programs, "seeds": args.seeds, "scenario": args.scenario,
                "length": args.length, "matches": len(lines)}
    with open(os.path.join(args.dir, "matches.txt"), "w") as f:
        f.write("".join(line + "\n" for line in lines))
    # Written last: --resume takes a folder with tournament.json as complete.
    path = os.path.join(args.dir, "tournament.json")
    with open(path + ".partial", "w") as f:
        json.dump(settings, f, indent=2)
        f.write("\n")
    os.replace(path + ".partial", path)


# ---------------------------------------------------------------- reading

def read_planned(out):
    matches = []
    with open(os.path.join(out, "matches.txt")) as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) != 6:
                continue
            seed, scenario, _, yellow, blue, folder = fields
            matches.append({"seed": int(seed), "scenario": scenario, "yellow": yellow,
                            "blue": blue, "folder": folder})
    return matches


def agent_exits(folder):
    """Per team, the exit text of each agent ("0", "3", "running"); {} when unknown."""
    exits = {"yellow": [], "blue": []}
    path = os.path.join(folder, "agents-exit.txt")
    if not os.path.exists(path):
        return exits
    with open(path) as f:
        for line in f:
            m = re.match(r"^\d+-(yellow|blue)-\S*: (?:exit (-?\d+)|still running.*)$", line.strip())
            if m:
                exits[m.group(1)].append(m.group(2) if m.group(2) is not None else "running")
    return exits


def faults(summary, exits, team):
    """Why a team's side broke down in a match (empty when it did not)."""
    why = []
    for robot in summary.get("robots", []):
        if robot.get("team") == team and not robot.get("admitted"):
            why.append("robot %s never connected" % robot.get("id"))
    bad = [e for e in exits[team] if e != "0"]
    if bad:
        why.append("agent exit " + " ".join(bad))
    if not exits[team]:
        why.append("no agent exit status")
    return why


def read_match(out, match):
    folder = os.path.join(out, match["folder"])
    if not os.path.exists(os.path.join(folder, "done")):
        return None
    with open(os.path.join(folder, "summary.json")) as f:
        summary = json.load(f)
    exits = agent_exits(folder)
    goals = {t: int(summary["score"][t]) for t in TEAMS}
    broken = {t: faults(summary, exits, t) for t in TEAMS}
    gd = goals["yellow"] - goals["blue"]
    notes = ["%s: %s" % (t, "; ".join(broken[t])) for t in TEAMS if broken[t]]
    if broken["yellow"] and broken["blue"]:
        result = {"yellow": "L", "blue": "L"}
        notes.append("a loss for both")
    elif broken["yellow"] or broken["blue"]:
        loser = "yellow" if broken["yellow"] else "blue"
        winner = "blue" if loser == "yellow" else "yellow"
        result = {loser: "L", winner: "W"}
        # The sound side wins by at least one goal, whatever the score.
        gd = max(gd, 1) if winner == "yellow" else min(gd, -1)
        notes.append("a loss for %s" % loser)
    else:
        result = {"yellow": "W" if gd > 0 else "D" if gd == 0 else "L"}
        result["blue"] = {"W": "L", "D": "D", "L": "W"}[result["yellow"]]
    row = {"seed": match["seed"], "scenario": match["scenario"], "yellow_program": match["yellow"],
           "blue_program": match["blue"], "yellow_goals": goals["yellow"], "blue_goals": goals["blue"],
           "yellow_exit": " ".join(exits["yellow"]), "blue_exit": " ".join(exits["blue"]),
           "note": "; ".join(notes), "folder": match["folder"]}
    for t in TEAMS:
        team = summary["teams"][t]
        for fig in FIGURES:
            value = team.get(fig, 0)
            row["%s_%s" % (t, fig)] = round(value, 3) if fig == "possession" else value
    return {"row": row, "result": result, "gd": gd, "seed": match["seed"],
            "yellow": match["yellow"], "blue": match["blue"]}


# ---------------------------------------------------------------- summing up

def side_view(m, program):
    """(result, goal difference) of `program` in match `m`."""
    if m["yellow"] == program:
        return m["result"]["yellow"], m["gd"]
    return m["result"]["blue"], -m["gd"]


def program_table(programs, played):
    rows = []
    for p in programs:
        mine = [side_view(m, p) for m in played if p in (m["yellow"], m["blue"])]
        w = sum(1 for r, _ in mine if r == "W")
        d = sum(1 for r, _ in mine if r == "D")
        l_ = sum(1 for r, _ in mine if r == "L")
        mean, low, high = stats.mean_ci([g for _, g in mine])
        rows.append({"program": p, "matches": len(mine), "wins": w, "draws": d, "losses": l_,
                     "points": POINTS_WIN * w + POINTS_DRAW * d, "gd": mean, "low": low, "high": high})
    rows.sort(key=lambda r: (-r["points"], -r["gd"]))
    return rows


def pairing_view(a, b, played):
    """Everything about a against b: per match (in seed order) and per seed."""
    mine = sorted((m for m in played if {m["yellow"], m["blue"]} == {a, b}),
                  key=lambda m: (m["seed"], m["yellow"] != a))
    per_match = [side_view(m, a) for m in mine]
    by_seed = {}
    for m, (_, g) in zip(mine, per_match):
        by_seed.setdefault(m["seed"], []).append(g)
    # Each seed's two colours averaged: the colour effect cancels out.
    units = [sum(v) / len(v) for _, v in sorted(by_seed.items())]
    mean, low, high = stats.mean_ci(units)
    return {"a": a, "b": b, "matches": mine, "per_match": per_match, "units": units,
            "mean": mean, "low": low, "high": high, "verdict": stats.verdict(units)}


def seeds_text(n):
    return "%d seed%s" % (n, "" if n == 1 else "s")


def verdict_text(p, short):
    if p["verdict"] > 0:
        return "%s plays better than %s (95 %% level, %s)" % (short(p["a"]), short(p["b"]), seeds_text(len(p["units"])))
    if p["verdict"] < 0:
        return "%s plays better than %s (95 %% level, %s)" % (short(p["b"]), short(p["a"]), seeds_text(len(p["units"])))
    return "%s against %s: cannot tell yet (%s; more seeds may decide)" % (
        short(p["a"]), short(p["b"]), seeds_text(len(p["units"])))


def colour_line(played):
    gds = [m["gd"] for m in played]
    w = sum(1 for m in played if m["result"]["yellow"] == "W")
    d = sum(1 for m in played if m["result"]["yellow"] == "D")
    l_ = sum(1 for m in played if m["result"]["yellow"] == "L")
    mean, low, high = stats.mean_ci(gds)
    v = stats.verdict(gds)
    says = ("yellow does better than blue" if v > 0 else "blue does better than yellow" if v < 0
            else "no colour effect can be told")
    return {"wins": w, "draws": d, "losses": l_, "mean": mean, "low": low, "high": high, "says": says,
            "matches": len(played)}


def fmt_ci(mean, low, high):
    if low is None:
        return "%+.2f" % mean
    return "%+.2f [%+.2f, %+.2f]" % (mean, low, high)


def print_table(table, pairings, colour, short, total, finished):
    width = max([len(short(r["program"])) for r in table] + [len("program")])
    print("%-*s  %7s %4s %5s %6s %6s  %s" % (width, "program", "matches", "wins", "draws", "losses",
                                           "points", "goal difference per match, 95 % CI"))
    for r in table:
        print("%-*s  %7d %4d %5d %6d %6d  %s" % (width, short(r["program"]), r["matches"], r["wins"],
                                               r["draws"], r["losses"], r["points"],
                                               fmt_ci(r["gd"], r["low"], r["high"])))
    print("colour: yellow won %d, drew %d, lost %d of %d matches against blue; yellow minus blue "
          "%s goals per match: %s" % (colour["wins"], colour["draws"], colour["losses"], colour["matches"],
                                      fmt_ci(colour["mean"], colour["low"], colour["high"]), colour["says"]))
    for p in pairings:
        print(verdict_text(p, short))
    if finished < total:
        print("%d of %d matches finished" % (finished, total))


def write_csv(out, played):
    path = os.path.join(out, "results.csv")
    with open(path + ".partial", "w", newline="") as f:
        w = csv.DictWriter(f, fieldnames=HEADER)
        w.writeheader()
        for m in played:
            w.writerow(m["row"])
    os.replace(path + ".partial", path)


# ---------------------------------------------------------------- the page

CHART_W = 520
CHART_H = 180
PAD = 36


def svg_mean_chart(pairings, short):
    """Each pairing's mean goal difference (per seed) with its interval."""
    row_h = 34
    height = PAD + row_h * max(1, len(pairings))
    spread = [abs(v) for p in pairings for v in (p["mean"], p["low"] or 0, p["high"] or 0)]
    lim = max([1.0] + spread) * 1.1
    x0, x1 = 200, CHART_W - 20

    def x(v):
        return x0 + (v + lim) / (2 * lim) * (x1 - x0)
    parts = ['<svg class="chart mean" width="%d" height="%d" role="img">' % (CHART_W, height),
             '<line x1="%.1f" y1="8" x2="%.1f" y2="%d" class="zero"/>' % (x(0), x(0), height - 20),
             '<text x="%.1f" y="%d" class="axis">%+.1f</text>' % (x0, height - 4, -lim),
             '<text x="%.1f" y="%d" class="axis">0</text>' % (x(0) - 3, height - 4),
             '<text x="%.1f" y="%d" class="axis" text-anchor="end">%+.1f</text>' % (x1, height - 4, lim)]
    for i, p in enumerate(pairings):
        y = 20 + i * row_h
        parts.append('<text x="4" y="%d" class="name">%s − %s</text>' % (
            y + 4, html.escape(short(p["a"])), html.escape(short(p["b"]))))
        parts.append('<text x="4" y="%d" class="axis">%s</text>' % (y + 16, fmt_ci(p["mean"], p["low"], p["high"])))
        if p["low"] is not None:
            parts.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" class="ci"/>' % (x(p["low"]), y, x(p["high"]), y))
        parts.append('<circle cx="%.1f" cy="%d" r="5" class="dot"><title>%s</title></circle>' % (
            x(p["mean"]), y, fmt_ci(p["mean"], p["low"], p["high"])))
    parts.append("</svg>")
    return "".join(parts)


def svg_histogram(p, short):
    """How often each goal difference (first program minus second) came up."""
    gds = [g for _, g in p["per_match"]]
    if not gds:
        return "<p>no match yet</p>"
    lo, hi = min(min(gds), -1), max(max(gds), 1)
    counts = {g: gds.count(g) for g in range(lo, hi + 1)}
    top = max(counts.values())
    bar_w = (CHART_W - 2 * PAD) / len(counts)
    parts = ['<svg class="chart histogram" width="%d" height="%d" role="img">' % (CHART_W, CHART_H)]
    for i, (g, c) in enumerate(sorted(counts.items())):
        h = (CHART_H - 2 * PAD) * c / top
        x = PAD + i * bar_w
        parts.append('<rect x="%.1f" y="%.1f" width="%.1f" height="%.1f" class="bar"><title>%+d: %d</title></rect>'
                     % (x + 2, CHART_H - PAD - h, bar_w - 4, h, g, c))
        parts.append('<text x="%.1f" y="%d" class="axis" text-anchor="middle">%+d</text>'
                     % (x + bar_w / 2, CHART_H - PAD + 14, g))
        if c:
            parts.append('<text x="%.1f" y="%.1f" class="axis" text-anchor="middle">%d</text>'
                         % (x + bar_w / 2, CHART_H - PAD - h - 3, c))
    parts.append('<text x="%d" y="%d" class="axis">goal difference, %s minus %s</text>'
                 % (PAD, CHART_H - 4, html.escape(short(p["a"])), html.escape(short(p["b"]))))
    parts.append("</svg>")
    return "".join(parts)


def svg_win_rate(p, short):
    """The first program's win rate and its interval as the matches came in."""
    n = len(p["per_match"])
    if n == 0:
        return "<p>no match yet</p>"
    points = []
    wins = 0
    for i, (r, _) in enumerate(p["per_match"], start=1):
        wins += r == "W"
        points.append((i,) + stats.wilson(wins, i))
    span = max(n - 1, 1)

    def x(i):
        return PAD + (i - 1) / span * (CHART_W - 2 * PAD)

    def y(v):
        return CHART_H - PAD - v * (CHART_H - 2 * PAD)
    band = ["%.1f,%.1f" % (x(i), y(h)) for i, _, _, h in points]
    band += ["%.1f,%.1f" % (x(i), y(lo)) for i, _, lo, _ in reversed(points)]
    line = " ".join("%.1f,%.1f" % (x(i), y(r)) for i, r, _, _ in points)
    last = points[-1]
    return "".join([
        '<svg class="chart winrate" width="%d" height="%d" role="img">' % (CHART_W, CHART_H),
        '<polygon points="%s" class="band"/>' % " ".join(band),
        '<polyline points="%s" class="rate"/>' % line,
        '<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" class="zero"/>' % (PAD, y(0.5), CHART_W - PAD, y(0.5)),
        '<text x="4" y="%.1f" class="axis">100 %%</text>' % (y(1) + 4),
        '<text x="4" y="%.1f" class="axis">50 %%</text>' % (y(0.5) + 4),
        '<text x="4" y="%.1f" class="axis">0 %%</text>' % (y(0) + 4),
        '<text x="%d" y="%d" class="axis">matches played: %d; %s wins %.0f %% [%.0f, %.0f]</text>' % (
            PAD, CHART_H - 6, n, html.escape(short(p["a"])), 100 * last[1], 100 * last[2], 100 * last[3]),
        "</svg>"])


def write_html(out, settings, table, pairings, colour, played, short, total):
    esc = html.escape
    rows = "".join(
        "<tr><td>%s</td><td>%d</td><td>%d</td><td>%d</td><td>%d</td><td>%d</td><td>%s</td></tr>" % (
            esc(short(r["program"])), r["matches"], r["wins"], r["draws"], r["losses"], r["points"],
            esc(fmt_ci(r["gd"], r["low"], r["high"]))) for r in table)
    sections = []
    for p in pairings:
        sections.append(
            '<section class="pairing"><h3>%s against %s</h3><p class="verdict">%s</p>'
            '<h4>Goal differences</h4>%s<h4>Win rate of %s as the matches came in, 95 %% interval</h4>%s</section>'
            % (esc(short(p["a"])), esc(short(p["b"])), esc(verdict_text(p, short)), svg_histogram(p, short),
               esc(short(p["a"])), svg_win_rate(p, short)))
    match_rows = "".join(
        '<tr><td>%d</td><td>%s</td><td>%s</td><td>%d – %d</td><td>%s</td><td><a href="%s">replay</a></td></tr>' % (
            m["seed"], esc(short(m["yellow"])), esc(short(m["blue"])), m["row"]["yellow_goals"],
            m["row"]["blue_goals"], esc(m["row"]["note"]),
            esc(urllib.parse.quote(m["row"]["folder"]) + "/match.html")) for m in played)
    page = """<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Tournament</title>
<style>
body {{ font: 14px sans-serif; margin: 1.5em; color: #222; }}
table {{ border-collapse: collapse; margin: .5em 0 1em; }}
td, th {{ border: 1px solid #ccc; padding: 3px 8px; text-align: right; }}
td:first-child, th:first-child {{ text-align: left; }}
.chart text {{ font: 11px sans-serif; fill: #444; }}
.zero {{ stroke: #999; stroke-dasharray: 3 3; }}
.ci {{ stroke: #1f5fe0; stroke-width: 3; }}
.dot {{ fill: #1f5fe0; }}
.bar {{ fill: #2e7d45; }}
.band {{ fill: #1f5fe0; opacity: .2; }}
.rate {{ fill: none; stroke: #1f5fe0; stroke-width: 2; }}
.verdict {{ font-weight: bold; }}
</style></head>
<body data-matches="{played}" data-total="{total}">
<h1>Tournament</h1>
<p>{programs}; seeds 1 to {seeds}, each played twice with the colours swapped; {scenario}, {length} s per match.
{played} of {total} matches finished.</p>
<h2>Table</h2>
<table id="table"><tr><th>program</th><th>matches</th><th>wins</th><th>draws</th><th>losses</th><th>points</th>
<th>goal difference per match, 95 % CI</th></tr>{rows}</table>
<p id="colour">Colour: yellow won {cw}, drew {cd}, lost {cl} of {cn} matches against blue; yellow minus blue
{cmean} goals per match: {csays}.</p>
<h2>Mean goal difference per pairing (each seed's two colours averaged), 95 % interval</h2>
{mean_chart}
<h2>Pairings</h2>
{sections}
<h2>Matches</h2>
<table id="matches"><tr><th>seed</th><th>yellow</th><th>blue</th><th>score</th><th>note</th><th></th></tr>
{match_rows}</table>
</body></html>
""".format(played=len(played), total=total,
           programs=esc(", ".join(short(p) for p in settings["programs"])),
           seeds=int(settings["seeds"]), scenario=esc(str(settings["scenario"])),
           length=esc(str(settings["length"])), rows=rows, cw=colour["wins"], cd=colour["draws"],
           cl=colour["losses"], cn=colour["matches"], cmean=esc(fmt_ci(colour["mean"], colour["low"], colour["high"])),
           csays=esc(colour["says"]), mean_chart=svg_mean_chart(pairings, short), sections="".join(sections),
           match_rows=match_rows)
    path = os.path.join(out, "report.html")
    with open(path + ".partial", "w") as f:
        f.write(page)
    os.replace(path + ".partial", path)


def report(args):
    out = args.dir
    with open(os.path.join(out, "tournament.json")) as f:
        settings = json.load(f)
    planned = read_planned(out)
    played = []
    for match in planned:
        try:
            m = read_match(out, match)
        except (OSError, ValueError, KeyError, TypeError) as e:
            print("tournament: %s left out: %s" % (match["folder"], e), file=sys.stderr)
            m = None
        if m is not None:
            played.append(m)
    programs = settings["programs"]
    # Paths stay whole: two builds may share a base name.
    def short(p):
        return p
    table = program_table(programs, played)
    pairings = [pairing_view(programs[i], programs[j], played)
                for i in range(len(programs)) for j in range(i + 1, len(programs))]
    colour = colour_line(played)
    write_csv(out, played)
    write_html(out, settings, table, pairings, colour, played, short, len(planned))
    print_table(table, pairings, colour, short, len(planned), len(played))
    print("results: %s" % os.path.join(out, "results.csv"))
    print("report:  %s" % os.path.join(out, "report.html"))


def main():
    parser = argparse.ArgumentParser(description="Plans a tournament and sums it up.")
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("plan")
    p.add_argument("dir")
    p.add_argument("--seeds", type=int, required=True)
    p.add_argument("--scenario", choices=["3v3", "5v5"], required=True)
    p.add_argument("--length", required=True)
    p.add_argument("programs", nargs="+")
    r = sub.add_parser("report")
    r.add_argument("dir")
    args = parser.parse_args()
    if args.command == "plan":
        plan(args)
    else:
        report(args)


if __name__ == "__main__":
    main()

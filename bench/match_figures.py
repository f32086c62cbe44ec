#!/usr/bin/env python3
"""Figures of play and soundness checks from simserver records.

Usage: bench/match_figures.py [--disc MM] RECORD.jsonl|RUN_DIR ...

One line per record: score, own goals, kicks per team, the share of kicks after
which the ball moved faster than 300 mm/s over the step, the share of those
that sent it towards the opponent's goal, free balls, the longest
play time the ball stayed inside one disc of radius MM (default 100), and
counts of steps where the ball's centre went through a robot's solid part
(more than 8 mm deep on the straight line between two steps), two robots
overlapped or a robot corner lay beyond a wall (each more than 1 mm). A
kicked ball passes its own kicker: that robot does not count while the
record names it as the kicker or the one the ball passes. A record that
does not name own goals has them guessed from the last kick before the
goal (marked with ~). Standard library only.
"""

import argparse
import json
import math
import os
import random
import sys

FAST_KICK = 300.0  # mm/s
TOLERANCE = 1.0  # mm
# Between two steps the ball's centre is known only at both ends: a ball that
# bounced off a robot's corner cuts that corner on the straight line between
# them, by a few millimetres. Only a path deeper inside counts as through.
THROUGH_DEPTH = 8.0  # mm
# The kicker mouth of the records' robots (not in the record's header).
MOUTH_DEPTH = 20.0
MOUTH_HALF_WIDTH = 36.0
PLAYING = ("play on", "warn ending")


def fail(message):
    print("match_figures: " + message, file=sys.stderr)
    sys.exit(1)


def read_record(path):
    header, steps = None, []
    with open(path, encoding="utf-8") as f:
        for number, text in enumerate(f, 1):
            try:
                line = json.loads(text)
            except ValueError:
                fail("%s:%d: not JSON" % (path, number))
            if not isinstance(line, dict):
                fail("%s:%d: not a JSON object" % (path, number))
            if line.get("type") == "header":
                header = line
            elif "step" in line:
                steps.append(line)
    if header is None or not steps:
        fail("%s: no header or no steps" % path)
    return header, steps


# --- smallest enclosing circle ---------------------------------------------

def _diameter(a, b):
    c = ((a[0] + b[0]) / 2, (a[1] + b[1]) / 2)
    return c, math.dist(a, c)


def _three(a, b, c):
    bx, by, cx, cy = b[0] - a[0], b[1] - a[1], c[0] - a[0], c[1] - a[1]
    d = 2 * (bx * cy - by * cx)
    if abs(d) < 1e-12:
        return max((_diameter(a, b), _diameter(a, c), _diameter(b, c)), key=lambda k: k[1])
    b2, c2 = bx * bx + by * by, cx * cx + cy * cy
    centre = (a[0] + (cy * b2 - by * c2) / d, a[1] + (bx * c2 - cx * b2) / d)
    return centre, math.dist(a, centre)


def within_disc(points, radius):
    """True when one disc of `radius` holds every point."""
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    if max(xs) - min(xs) > 2 * radius or max(ys) - min(ys) > 2 * radius:
        return False
    pts = list(points)
    random.Random(1).shuffle(pts)
    c, r = pts[0], 0.0
    eps = 1e-7
    for i, p in enumerate(pts):
        if math.dist(p, c) <= r + eps:
            continue
        c, r = p, 0.0
        for j in range(i):
            if math.dist(pts[j], c) <= r + eps:
                continue
            c, r = _diameter(p, pts[j])
            for k in range(j):
                if math.dist(pts[k], c) > r + eps:
                    c, r = _three(p, pts[j], pts[k])
        if r > radius + eps:
            return False
    return True


def longest_in_disc(steps, radius, dt):
    """Longest play time (s) the ball stayed within `radius` of one place."""
    best = 0
    segment = []
    for s in steps:
        # Goals and free balls move the ball without it rolling there.
        if s["mode"] not in PLAYING or "goal" in s or "freeBall" in s:
            segment = []
            continue
        segment.append((s["ball"]["x"], s["ball"]["y"]))
        while not within_disc(segment, radius):
            segment.pop(0)
        best = max(best, len(segment) - 1)
    return best * dt


# --- bodies ------------------------------------------------------------------

def robot_frame(robot, point):
    """`point` in the robot's own frame: x forward, y to its left."""
    h = math.radians(robot["heading"])
    fx, fy = math.sin(h), -math.cos(h)
    lx, ly = -fy, fx
    dx, dy = point[0] - robot["x"], point[1] - robot["y"]
    return (dx * fx + dy * fy, dx * lx + dy * ly)


def corners(robot, half):
    h = math.radians(robot["heading"])
    fx, fy = math.sin(h), -math.cos(h)
    lx, ly = -fy, fx
    return [(robot["x"] + a * fx + b * lx, robot["y"] + a * fy + b * ly)
            for a, b in ((half, half), (half, -half), (-half, -half), (-half, half))]


def robot_halves(size, ball_radius):
    """The two solid halves of a robot (its frame), each a convex polygon."""
    half = size / 2
    tip_x, tip_y = half - MOUTH_DEPTH, MOUTH_HALF_WIDTH
    angle = math.atan2(tip_y, tip_x) - math.asin(ball_radius / math.hypot(tip_x, tip_y))
    apex = half - MOUTH_HALF_WIDTH / math.tan(angle)
    left = [(-half, 0), (apex, 0), (half, MOUTH_HALF_WIDTH), (half, half), (-half, half)]
    right = [(-half, -half), (half, -half), (half, -MOUTH_HALF_WIDTH), (apex, 0), (-half, 0)]
    return left, right


def segment_hits_polygon(p, q, poly):
    """Cyrus-Beck: whether segment p-q meets the convex counter-clockwise polygon."""
    t0, t1 = 0.0, 1.0
    d = (q[0] - p[0], q[1] - p[1])
    for i, a in enumerate(poly):
        b = poly[(i + 1) % len(poly)]
        normal = (b[1] - a[1], a[0] - b[0])  # outward for counter-clockwise
        num = normal[0] * (a[0] - p[0]) + normal[1] * (a[1] - p[1])
        den = normal[0] * d[0] + normal[1] * d[1]
        if den == 0:
            if num < 0:
                return False
        elif den < 0:
            t0 = max(t0, num / den)
        else:
            t1 = min(t1, num / den)
        if t0 > t1:
            return False
    return True


def depth_inside(point, poly):
    """How far `point` lies inside the convex counter-clockwise polygon (negative: outside)."""
    depth = math.inf
    for i, a in enumerate(poly):
        b = poly[(i + 1) % len(poly)]
        ex, ey = b[0] - a[0], b[1] - a[1]
        n = math.hypot(ex, ey)
        if n == 0:
            continue
        depth = min(depth, (ex * (point[1] - a[1]) - ey * (point[0] - a[0])) / n)
    return depth


def path_through(p, q, poly):
    """Whether the straight path p-q reaches deeper than THROUGH_DEPTH into `poly`."""
    if not segment_hits_polygon(p, q, poly):
        return False
    samples = max(1, int(math.dist(p, q)))
    for k in range(samples + 1):
        t = k / samples
        point = (p[0] + (q[0] - p[0]) * t, p[1] + (q[1] - p[1]) * t)
        if depth_inside(point, poly) > THROUGH_DEPTH:
            return True
    return False


def squares_overlap(a, b, half):
    """Depth (mm) by which two robot squares overlap (separating axes)."""
    ca, cb = corners(a, half), corners(b, half)
    depth = math.inf
    for poly in (ca, cb):
        for i in range(2):
            ex, ey = poly[i + 1][0] - poly[i][0], poly[i + 1][1] - poly[i][1]
            n = math.hypot(ex, ey)
            ax, ay = -ey / n, ex / n
            pa = [x * ax + y * ay for x, y in ca]
            pb = [x * ax + y * ay for x, y in cb]
            depth = min(depth, min(max(pa), max(pb)) - max(min(pa), min(pb)))
    return max(depth, 0.0)


def inside_walls(field, point, tolerance):
    l = field["length"] / 2 + tolerance
    w = field["width"] / 2 + tolerance
    g = field["goalWidth"] / 2 + tolerance
    x, y = abs(point[0]), abs(point[1])
    if y > w or x > l + field["goalDepth"]:
        return False
    if x > l:
        return y < g
    # Not behind a corner's block (records before the blocks have none).
    block = field.get("cornerBlock", 0)
    to_walls = (field["length"] / 2 - x) + (field["width"] / 2 - y)
    return block <= 0 or to_walls >= block - tolerance * math.sqrt(2)


# --- one match -----------------------------------------------------------------

def match_figures(path, radius):
    header, steps = read_record(path)
    dt = header["timeStep"]
    field = header["field"]
    half = header["robotSize"] / 2
    teams = {r["id"]: r["team"] for r in header["robots"]}
    halves = robot_halves(header["robotSize"], header["ballRadius"])

    kicks = {"yellow": 0, "blue": 0}
    fast = forward = 0
    own_goals = 0
    guessed = False
    last_kicker = None
    free_balls = []
    through = overlap = beyond = 0
    previous = None
    for s in steps:
        for vt in s.get("kicks", []):
            kicks[teams[vt]] += 1
            last_kicker = vt
            if previous is not None:
                moved = math.dist((s["ball"]["x"], s["ball"]["y"]),
                                  (previous["ball"]["x"], previous["ball"]["y"]))
                if "goal" in s or moved / dt > FAST_KICK:
                    fast += 1
                    # Yellow attacks +x; the bearing the ball left on, or else its path over the step.
                    if "kick" in s:
                        dx = math.sin(math.radians(s["kick"]["left"]))
                    else:
                        dx = s["ball"]["x"] - previous["ball"]["x"]
                    forward += 1 if (dx > 0) == (teams[vt] == "yellow") else 0
        if "goal" in s:
            if "ownGoal" in s:
                own_goals += 1 if s["ownGoal"] else 0
            else:
                guessed = True
                # The side that conceded kicked last.
                own_goals += 1 if last_kicker is not None and teams[last_kicker] != s["goal"] else 0
        if "goal" in s or "freeBall" in s:
            last_kicker = None
        if "freeBall" in s:
            free_balls.append(s["freeBall"].get("cause", "?"))
        if s["mode"] in PLAYING:
            robots = s["robots"]
            passed = {s.get("kick", {}).get("id"), s.get("passing")}
            if previous is not None:
                passed.add(previous.get("passing"))
            for i, r in enumerate(robots):
                if any(not inside_walls(field, c, TOLERANCE) for c in corners(r, half)):
                    beyond += 1
                for o in robots[i + 1:]:
                    if squares_overlap(r, o, half) > TOLERANCE:
                        overlap += 1
                if previous is not None and previous["mode"] in PLAYING and "goal" not in s \
                        and "freeBall" not in s and r["id"] not in passed:
                    p = robot_frame(previous["robots"][i], (previous["ball"]["x"], previous["ball"]["y"]))
                    q = robot_frame(r, (s["ball"]["x"], s["ball"]["y"]))
                    if any(path_through(p, q, h) for h in halves):
                        through += 1
        previous = s
    total = kicks["yellow"] + kicks["blue"]
    return {
        "record": path,
        "score": steps[-1]["score"],
        "kicks": kicks,
        "fastShare": fast / total if total else 0.0,
        "fast": fast,
        "forward": forward,
        "ownGoals": own_goals,
        "ownGuessed": guessed,
        "freeBalls": free_balls,
        "longestInDisc": longest_in_disc(steps, radius, dt),
        "ballThroughRobot": through,
        "robotsOverlap": overlap,
        "cornerBeyondWall": beyond,
    }


def record_path(arg):
    if os.path.isdir(arg):
        arg = os.path.join(arg, "record.jsonl")
    if not os.path.isfile(arg):
        fail("%s: no such record" % arg)
    return arg


def free_ball_count(path, seen):
    """Free balls named in the record or, for servers that did not name them,
    counted in the run's summary.txt beside it; None when neither says."""
    if seen:
        return len(seen)
    with open(path, encoding="utf-8") as f:
        last = ""
        for last in f:
            pass
    try:
        balls = json.loads(last).get("freeBalls")
        if isinstance(balls, list):
            return len(balls)
    except (ValueError, AttributeError):
        pass
    summary = os.path.join(os.path.dirname(path), "summary.txt")
    if os.path.isfile(summary):
        with open(summary, encoding="utf-8") as f:
            for text in f:
                if text.startswith("free-ball restarts:"):
                    return int(text.split(":")[1])
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--disc", type=float, default=100.0, help="disc radius in mm (default 100)")
    parser.add_argument("records", nargs="+", help="record.jsonl files or run folders")
    args = parser.parse_args()
    if not (0 < args.disc < 1e6):
        fail("--disc must be a positive number of mm")
    print("%-40s %7s %4s %11s %6s %7s %9s %12s %7s %7s %7s" % (
        "record", "score", "own", "kicks y/b", "fast", "forward", "free", "disc s", "through", "overlap",
        "beyond"))
    total = {"matches": 0, "scored": 0, "goals": 0, "own": 0, "fast": 0, "forward": 0, "free": 0,
             "disc": 0.0, "unsound": 0}
    for arg in args.records:
        path = record_path(arg)
        f = match_figures(path, args.disc)
        free = free_ball_count(path, f["freeBalls"])
        goals = f["score"]["yellow"] + f["score"]["blue"]
        print("%-40s %3d-%-3d %3d%1s %5d/%-5d %5.0f%% %6.0f%% %9s %12.1f %7d %7d %7d" % (
            path[-40:], f["score"]["yellow"], f["score"]["blue"], f["ownGoals"], "~" if f["ownGuessed"] else "",
            f["kicks"]["yellow"], f["kicks"]["blue"], 100 * f["fastShare"],
            100 * f["forward"] / f["fast"] if f["fast"] else 0, "?" if free is None else free,
            f["longestInDisc"], f["ballThroughRobot"], f["robotsOverlap"], f["cornerBeyondWall"]))
        total["matches"] += 1
        total["scored"] += 1 if goals else 0
        total["goals"] += goals
        total["own"] += f["ownGoals"]
        total["fast"] += f["fast"]
        total["forward"] += f["forward"]
        total["free"] += free or 0
        total["disc"] = max(total["disc"], f["longestInDisc"])
        total["unsound"] += 1 if f["ballThroughRobot"] or f["robotsOverlap"] or f["cornerBeyondWall"] else 0
    if total["matches"] > 1:
        t = total
        print("all %d: goals in %d (%.0f%%), goals %d, own goals %d (%.0f%%), ball-moving kicks towards the "
              "opponent's goal %.0f%%, free balls %d, longest in one disc %.1f s, unsound records %d" % (
                  t["matches"], t["scored"], 100 * t["scored"] / t["matches"], t["goals"], t["own"],
                  100 * t["own"] / t["goals"] if t["goals"] else 0, 100 * t["forward"] / t["fast"] if t["fast"] else 0,
                  t["free"], t["disc"], t["unsound"]))


if __name__ == "__main__":
    main()

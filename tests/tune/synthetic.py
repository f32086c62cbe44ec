"""A noisy objective with a known optimum, played as the tuner plays: each
iteration a colour-swapped pair of θ+ against θ−, each match won, drawn or
lost with probabilities from the Elo difference of the two settings."""
import math
import random

DRAW = 0.3


def elo(theta, optimum, widths, depth):
    """0 at the optimum, -depth Elo at one width from it along any axis."""
    return -depth * sum(((t - o) / w) ** 2 for t, o, w in zip(theta, optimum, widths))


def match(rng, elo_diff):
    """+1, 0 or -1 for the first side."""
    expected = 1 / (1 + 10 ** (-elo_diff / 400))
    win = max(expected - DRAW / 2, 0.0)
    u = rng.random()
    return 1 if u < win else (0 if u < win + DRAW else -1)


def run(spsa, theta, first, last, seed, optimum, widths, depth, seen=None):
    """Iterations first..last from theta; the path of θ. Each iteration's
    matches draw from their own generator, as each pair plays its own seed."""
    path = []
    for k in range(first, last + 1):
        rng = random.Random(f"{seed}:{k}")
        plus, minus = spsa.probes(theta, k)
        if seen is not None:
            seen.extend([plus, minus])
        d = elo(plus, optimum, widths, depth) - elo(minus, optimum, widths, depth)
        result = match(rng, d) + match(rng, d)
        theta = spsa.update(theta, k, result)
        path.append(theta)
    return path


def distance(theta, optimum, widths):
    return math.sqrt(sum(((t - o) / w) ** 2 for t, o, w in zip(theta, optimum, widths)))


"""SPSA as the chess-engine testing frameworks run it, on numbers alone.

Each parameter is written `name, start, min, max, c_end, r_end`: c_end is the
perturbation and r_end the learning rate (a_end / c_end^2) at the last
iteration N. With A about a tenth of N, iteration k (1-based) uses

    c_k = c / k^0.101            c = c_end * N^0.101
    a_k = a / (A + k)^0.602      a = r_end * c_end^2 * (A + N)^0.602
    R_k = a_k / c_k^2

θ+ = θ + c_k Δ and θ− = θ − c_k Δ with a fresh random sign Δ = ±1 per
parameter; a colour-swapped pair of θ+ against θ− gives `result`, θ+'s wins
minus losses over the pair (−2..2), and θ moves by R_k c_k result Δ. Every
value stays inside its range. The signs come from the run seed and k alone,
so a resumed run walks the same path."""
import random
from dataclasses import dataclass

ALPHA = 0.602
GAMMA = 0.101
# A as a share of the iterations.
A_SHARE = 0.1


@dataclass(frozen=True)
class Param:
    name: str
    start: float
    low: float
    high: float
    c_end: float
    r_end: float


def clamp(value: float, p: Param) -> float:
    return min(max(value, p.low), p.high)


class Spsa:
    """The gains and the update of one run of `iterations` iterations."""

    def __init__(self, params: list, iterations: int, run_seed: int):
        if iterations < 1:
            raise ValueError("iterations must be at least 1")
        self.params = list(params)
        self.iterations = iterations
        self.run_seed = run_seed
        self.big_a = A_SHARE * iterations

    def gains(self, k: int) -> list:
        """(c_k, R_k) of each parameter at iteration k (1-based)."""
        n, out = self.iterations, []
        for p in self.params:
            c = p.c_end * n ** GAMMA
            a = p.r_end * p.c_end ** 2 * (self.big_a + n) ** ALPHA
            c_k = c / k ** GAMMA
            a_k = a / (self.big_a + k) ** ALPHA
            out.append((c_k, a_k / c_k ** 2))
        return out

    def signs(self, k: int) -> list:
        """Δ of iteration k: ±1 per parameter, from the run seed and k only."""
        rng = random.Random(f"spsa:{self.run_seed}:{k}")
        return [1 if rng.random() < 0.5 else -1 for _ in self.params]

    def probes(self, theta: list, k: int) -> tuple:
        """(θ+, θ−) of iteration k, each inside its range."""
        plus, minus = [], []
        for p, t, (c_k, _), d in zip(self.params, theta, self.gains(k), self.signs(k)):
            plus.append(clamp(t + c_k * d, p))
            minus.append(clamp(t - c_k * d, p))
        return plus, minus

    def update(self, theta: list, k: int, result: float) -> list:
        """θ after iteration k, whose pair gave θ+ `result` (wins minus losses)."""
        return [clamp(t + r_k * c_k * result * d, p)
                for p, t, (c_k, r_k), d in zip(self.params, theta, self.gains(k), self.signs(k))]

    def start(self) -> list:
        return [clamp(p.start, p) for p in self.params]

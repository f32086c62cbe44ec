"""What a sequential test is asked: its hypotheses and error rates, as the
plan stores them."""
import math
from dataclasses import dataclass

DEFAULT_ERROR = 0.05
MAX_SEED_OFFSET = 10 ** 12


@dataclass(frozen=True)
class SprtSpec:
    """A sequential test's hypotheses: Elo differences, logistic or normalized."""
    elo0: float
    elo1: float
    normalized: bool = False
    alpha: float = DEFAULT_ERROR
    beta: float = DEFAULT_ERROR

    @property
    def unit(self) -> str:
        return "normalized Elo" if self.normalized else "Elo"

    def to_json(self) -> dict:
        return {"elo0": self.elo0, "elo1": self.elo1, "normalized": self.normalized,
                "alpha": self.alpha, "beta": self.beta}

    @staticmethod
    def from_json(obj) -> "SprtSpec":
        # Plans of earlier versions hold [elo0, elo1], logistic, 5 % each.
        if isinstance(obj, list):
            obj = {"elo0": obj[0], "elo1": obj[1]}
        s = SprtSpec(float(obj["elo0"]), float(obj["elo1"]), bool(obj.get("normalized", False)),
                     float(obj.get("alpha", DEFAULT_ERROR)), float(obj.get("beta", DEFAULT_ERROR)))
        if not all(math.isfinite(e) for e in (s.elo0, s.elo1)) or s.elo0 >= s.elo1:
            raise ValueError("sprt needs two finite Elo values, the first below the second")
        if not (0 < s.alpha < 0.5 and 0 < s.beta < 0.5):
            raise ValueError("sprt error rates must lie between 0 and 0.5")
        return s

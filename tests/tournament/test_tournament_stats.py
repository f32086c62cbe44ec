"""The tournament's statistics: intervals and the better-or-cannot-tell rule."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import tournament_stats as stats  # noqa: E402


class Intervals(unittest.TestCase):
    def test_t_quantiles(self):
        # Reference values of Student's t, 97.5 %.
        for df, expected in [(1, 12.706), (2, 4.303), (9, 2.262), (30, 2.042), (31, 2.040),
                             (40, 2.021), (60, 2.000), (120, 1.980), (100000, 1.960)]:
            with self.subTest(df=df):
                self.assertAlmostEqual(stats.t975(df), expected, delta=0.002)
        with self.assertRaises(ValueError):
            stats.t975(0)

    def test_mean_interval(self):
        cases = [
            ([], (0.0, None, None)),
            ([2], (2.0, None, None)),
            ([1, 1, 1], (1.0, 1.0, 1.0)),
            # mean 2, sd 1, n 3: half width 4.303 / sqrt(3) = 2.484
            ([1, 2, 3], (2.0, 2.0 - 2.4843, 2.0 + 2.4843)),
            ([-1, 1], (0.0, -12.706, 12.706)),
        ]
        for values, (mean, low, high) in cases:
            with self.subTest(values=values):
                m, lo, hi = stats.mean_ci(values)
                self.assertAlmostEqual(m, mean)
                if low is None:
                    self.assertIsNone(lo)
                    self.assertIsNone(hi)
                else:
                    self.assertAlmostEqual(lo, low, places=3)
                    self.assertAlmostEqual(hi, high, places=3)

    def test_wilson_interval(self):
        cases = [
            (0, 0, (0.0, 0.0, 1.0)),
            (5, 10, (0.5, 0.2366, 0.7634)),
            (0, 10, (0.0, 0.0, 0.2775)),
            (10, 10, (1.0, 0.7225, 1.0)),
        ]
        for k, n, (rate, low, high) in cases:
            with self.subTest(k=k, n=n):
                r, lo, hi = stats.wilson(k, n)
                self.assertAlmostEqual(r, rate)
                self.assertAlmostEqual(lo, low, places=3)
                self.assertAlmostEqual(hi, high, places=3)
        with self.assertRaises(ValueError):
            stats.wilson(3, 2)


class Verdict(unittest.TestCase):
    def test_better_or_cannot_tell(self):
        cases = [
            ("clearly better", [1, 2, 1, 2, 1.5], 1),
            ("clearly worse", [-1, -2, -1, -2], -1),
            ("noise around zero", [1, -1, 2, -2, 0.5], 0),
            ("too few seeds to tell, however clear", [3, 3], 0),
            ("no matches", [], 0),
            ("all equal at zero", [0, 0, 0, 0], 0),
            ("better on the edge: interval touches zero", [0, 1, 2], 0),
        ]
        for what, units, expected in cases:
            with self.subTest(what):
                self.assertEqual(stats.verdict(units), expected)


if __name__ == "__main__":
    unittest.main()

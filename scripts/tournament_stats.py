"""The statistics of a tournament: intervals of a mean and of a rate, and the
rule that says whether one program plays better than another."""

import math

# Two-sided 95 % quantiles of Student's t for 1..30 degrees of freedom.
_T975 = [12.706, 4.303, 3.182, 2.776, 2.571, 2.447, 2.365, 2.306, 2.262, 2.228,
         2.201, 2.179, 2.160, 2.145, 2.131, 2.120, 2.110, 2.101, 2.093, 2.086,
         2.080, 2.074, 2.069, 2.064, 2.060, 2.056, 2.052, 2.048, 2.045, 2.042]
_Z975 = 1.959964

# Fewer independent units than this never give a verdict: with two seeds a
# zero spread would pass for certainty.
MIN_UNITS_FOR_VERDICT = 3


def t975(df):
    """The 97.5 % quantile of Student's t with `df` degrees of freedom."""
    if df < 1:
        raise ValueError("t quantile needs at least one degree of freedom")
    if df <= len(_T975):
        return _T975[df - 1]
    # Cornish-Fisher expansion around the normal quantile; good to 1e-4 past 30.
    z = _Z975
    return (z + (z ** 3 + z) / (4 * df) + (5 * z ** 5 + 16 * z ** 3 + 3 * z) / (96 * df ** 2)
            + (3 * z ** 7 + 19 * z ** 5 + 17 * z ** 3 - 15 * z) / (384 * df ** 3))


def mean_ci(values):
    """(mean, low, high): the mean with its 95 % t interval; None bounds below two values."""
    n = len(values)
    if n == 0:
        return (0.0, None, None)
    mean = sum(values) / n
    if n < 2:
        return (mean, None, None)
    var = sum((v - mean) ** 2 for v in values) / (n - 1)
    half = t975(n - 1) * math.sqrt(var / n)
    return (mean, mean - half, mean + half)


def wilson(successes, n):
    """(rate, low, high): a success rate with its 95 % Wilson score interval."""
    if n == 0:
        return (0.0, 0.0, 1.0)
    if successes < 0 or successes > n:
        raise ValueError("successes must lie between 0 and n")
    p = successes / n
    z2 = _Z975 ** 2
    centre = (p + z2 / (2 * n)) / (1 + z2 / n)
    half = _Z975 * math.sqrt(p * (1 - p) / n + z2 / (4 * n * n)) / (1 + z2 / n)
    return (p, max(0.0, centre - half), min(1.0, centre + half))


def verdict(unit_differences):
    """+1 when the first side is better at the 95 % level, -1 when the second is,
    0 when the differences (one per independent unit) cannot tell yet."""
    if len(unit_differences) < MIN_UNITS_FOR_VERDICT:
        return 0
    _, low, high = mean_ci(unit_differences)
    if low > 0:
        return 1
    if high < 0:
        return -1
    return 0

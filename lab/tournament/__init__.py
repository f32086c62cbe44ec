"""The tournament: pinned contenders played in colour-swapped pairs, judged on pair scores."""

"""Texts written for a checkout, shown by an installed lab."""
import pytest

from lab.layout import Layout
from lab.wording import for_layout, install_hint

INSTALLED = Layout("/usr/share/soccer-lab", False, "/usr/lib/soccer-lab", False)
CHECKOUT = Layout("/src/soccer", True, "/src/soccer/build", False)


@pytest.mark.parametrize("text, installed", [
    ("agent, agent-b, agent-c (built in build/) or a path",
     "agent, agent-b, agent-c (in /usr/lib/soccer-lab) or a path"),
    ("default config/players-3v3.ini", "default /usr/share/soccer-lab/config/players-3v3.ini"),
    ("(default simserver of the build\n   folder)", "(default /usr/lib/soccer-lab/simserver)"),
    ("finish it with: scripts/tournament.sh --resume x", "finish it with: soccer-tournament --resume x"),
    ("run ./scripts/tune.sh", "run soccer-tune"),
    ("uses the programs in DIR and\nskips the install-and-build step.",
     "uses the programs in DIR instead of the installed ones."),
    # A path that merely ends in such a folder is the user's own: kept.
    ("runs/x/build/ and my-config/ and a.config/", "runs/x/build/ and my-config/ and a.config/"),
])
def test_installed_wording(text, installed):
    assert for_layout(text, INSTALLED) == installed
    assert for_layout(text, CHECKOUT) == text


def test_install_hint():
    assert install_hint(CHECKOUT, "tournament", ["parallel"]) == "./scripts/bootstrap.sh tournament installs it"
    assert install_hint(INSTALLED, "tournament", ["parallel"]) == "sudo apt install parallel"

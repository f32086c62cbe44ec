"""Plays a round of tuning matches through GNU parallel, here or on the hosts
of an ssh login file, with the tournament's host handling: remote hosts get
the run's kit as parallel's base files in a work folder of their home, and
each match folder comes back with --return."""
import os
import subprocess

from ..tournament.contenders import PINNED_DIR
from ..tournament.folder import KIT, SCENARIO_COPY
from ..tournament.match import NOT_PINNED
from ..tournament.rounds import ROUND_LOG, ParallelRounds
from .folder import STATE


class Rounds(ParallelRounds):
    """Rounds in run folder `run`."""

    def __init__(self, run: str, run_id: str, jobs: int, hosts: list):
        super().__init__(run, f".soccer-tune-{run_id}", jobs, hosts)

    def check_hosts(self, say) -> bool:
        """Drops hosts that stopped answering; False when none is left."""
        return self.drop_unreachable(say)

    def play(self, matches: list) -> str:
        """Plays `matches`, each (folder, seed, yellow settings, blue settings);
        '' or the line of a host whose program was not the pinned build."""
        if self.stopping:
            return ""
        pinned = (SCENARIO_COPY,) if os.path.exists(os.path.join(self.folder, SCENARIO_COPY)) else ()
        argv = self.parallel_argv(matches, (STATE, PINNED_DIR) + KIT + pinned, "lab.tune.match")
        with open(os.path.join(self.folder, "parallel.log"), "ab") as log:
            self.proc = subprocess.Popen(argv, cwd=self.folder, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                         start_new_session=True)
            self.proc.wait()
            self.proc = None
        return self._not_pinned()

    def _not_pinned(self) -> str:
        path = os.path.join(self.folder, ROUND_LOG)
        try:
            with open(path) as f:
                text = f.read()
            os.remove(path)
        except OSError:
            return ""
        for line in text.splitlines()[1:]:
            fields = line.split("\t")
            if len(fields) >= 9 and fields[6] == str(NOT_PINNED):
                return f"a program or the scenario on {fields[1] or 'this machine'} is not the pinned copy"
        return ""

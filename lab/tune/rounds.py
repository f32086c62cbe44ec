"""Plays a round of tuning matches through GNU parallel, here or on the hosts
of an ssh login file, with the tournament's host handling: remote hosts get
the run's kit as parallel's base files in a work folder of their home, and
each match folder comes back with --return."""
import os
import signal
import subprocess

from ..tournament.contenders import PINNED_DIR
from ..tournament.folder import KIT, SCENARIO_COPY
from ..tournament.match import NOT_PINNED
from ..tournament.rounds import is_local, unreachable
from .folder import STATE

TODO = ".todo"
ROUND_LOG = ".round-joblog"
HOSTS = ".hosts"


class Rounds:
    """Rounds in run folder `run`; `stop()` (from a signal handler) interrupts one."""

    def __init__(self, run: str, run_id: str, jobs: int, hosts: list):
        self.run = run
        self.jobs = jobs
        self.hosts = list(hosts)
        self.proc = None
        self.stopping = False
        self.workdir = f".soccer-tune-{run_id}"
        if self.hosts:
            link = os.path.join(run, self.workdir)
            if not os.path.islink(link):
                os.symlink(".", link)

    def check_hosts(self, say) -> bool:
        """Drops hosts that stopped answering; False when none is left."""
        if self.hosts:
            bad = unreachable(self.hosts)
            for login in bad:
                say(f"host {login} does not answer; its matches go to the other hosts")
            self.hosts = [h for h in self.hosts if h not in bad]
            return bool(self.hosts)
        return True

    def play(self, matches: list) -> str:
        """Plays `matches`, each (folder, seed, yellow settings, blue settings);
        '' or the line of a host whose program was not the pinned build."""
        if self.stopping:
            return ""
        with open(os.path.join(self.run, TODO), "w") as f:
            f.write("".join("\t".join(map(str, m)) + "\n" for m in matches))
        argv = ["parallel", "--colsep", "\t", "--jobs", str(self.jobs), "--joblog", ROUND_LOG, "-a", TODO]
        if self.hosts:
            with open(os.path.join(self.run, HOSTS), "w") as f:
                f.write("".join(h + "\n" for h in self.hosts))
            argv += ["--sshloginfile", HOSTS, "--workdir", self.workdir, "--return", "{1}"]
            pinned = (SCENARIO_COPY,) if os.path.exists(os.path.join(self.run, SCENARIO_COPY)) else ()
            for name in (STATE, PINNED_DIR) + KIT + pinned:
                argv += ["--basefile", name]
        argv += ["python3", "-B", "-m", "lab.tune.match", "{1}", "{2}", "{3}", "{4}"]
        with open(os.path.join(self.run, "parallel.log"), "ab") as log:
            self.proc = subprocess.Popen(argv, cwd=self.run, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                         start_new_session=True)
            self.proc.wait()
            self.proc = None
        return self._not_pinned()

    def _not_pinned(self) -> str:
        path = os.path.join(self.run, ROUND_LOG)
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

    def stop(self) -> None:
        self.stopping = True
        proc = self.proc
        if proc is not None and proc.poll() is None:
            try:
                os.kill(proc.pid, signal.SIGINT)
            except ProcessLookupError:
                pass

    def clean_hosts(self) -> None:
        remote = [h for h in self.hosts if not is_local(h)]
        if remote:
            argv = ["parallel", "--nonall", "rm", "-rf", self.workdir]
            for h in remote:
                argv[1:1] = ["--sshlogin", h]
            subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        link = os.path.join(self.run, self.workdir)
        if os.path.islink(link):
            os.remove(link)

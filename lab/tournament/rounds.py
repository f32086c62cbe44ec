"""Plays a round of matches through GNU parallel, on this machine or on the
hosts of an ssh login file. Remote hosts receive the tournament's kit (plan,
pinned programs, lab, config) through parallel's own file transfer into a
work folder of their home, and each match folder comes back with --return."""
import os
import shutil
import signal
import subprocess
import threading
import time
from dataclasses import dataclass

from ..errors import Refused
from ..layout import find_layout
from ..wording import install_hint
from .folder import KIT, PLAN, SCENARIO_COPY
from .match import NOT_PINNED
from .contenders import PINNED_DIR

HOST_CHECK_SECONDS = 30
# What a host needs besides ssh: a Python the lab can run on, and rsync for the transfers.
HOST_CHECK = "python3 -c 'import sys; sys.exit(sys.version_info < (3, 9))' && command -v rsync >/dev/null"
TODO = ".todo"
ROUND_LOG = ".round-joblog"
HOSTS = ".hosts"


def read_hosts(path: str) -> list:
    """The ssh logins of a hosts file (GNU parallel's format), comments left out."""
    try:
        with open(path, encoding="utf-8-sig") as f:
            text = f.read(1 << 20)
    except OSError as e:
        raise Refused(f"--hosts {path} is missing or unreadable ({e.strerror})") from None
    logins = [l.strip() for l in text.splitlines() if l.strip() and not l.strip().startswith("#")]
    if not logins:
        raise Refused(f"--hosts {path} names no host")
    return logins


def is_local(login: str) -> bool:
    return login.split("/", 1)[-1].strip() == ":"


def unreachable(logins: list) -> list:
    """The logins that cannot run a command (ssh failed, or no Python 3.9+ there)."""
    bad = []
    for login in logins:
        if is_local(login):
            continue
        try:
            r = subprocess.run(["parallel", "--sshlogin", login, "--nonall", HOST_CHECK],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=HOST_CHECK_SECONDS)
            ok = r.returncode == 0
        except subprocess.TimeoutExpired:
            ok = False
        if not ok:
            bad.append(login)
    return bad


def workdir_name(plan_id: str) -> str:
    return f".soccer-tournament-{plan_id}"


@dataclass
class RoundOutcome:
    failed_jobs: int = 0
    not_pinned: str = ""        # the line a host gave when a program was not the pinned build
    interrupted: bool = False


class ParallelRounds:
    """Rounds of matches parallel plays from `folder`, here or on `hosts`;
    `stop()` (from a signal handler) interrupts the current one."""

    def __init__(self, folder: str, workdir: str, jobs: int, hosts: list):
        self.folder = folder
        self.jobs = jobs
        self.hosts = list(hosts)
        self.proc = None
        self.stopping = False
        self.workdir = workdir
        if self.hosts:
            # Jobs parallel runs on this machine (':') land in the work folder
            # too; here it is the folder itself.
            link = os.path.join(folder, self.workdir)
            if not os.path.islink(link):
                os.symlink(".", link)

    def drop_unreachable(self, say) -> bool:
        """Drops hosts that stopped answering; False when none is left."""
        if not self.hosts:
            return True
        bad = unreachable(self.hosts)
        for login in bad:
            say(f"host {login} does not answer; its matches go to the other hosts")
        self.hosts = [h for h in self.hosts if h not in bad]
        return bool(self.hosts)

    def parallel_argv(self, matches: list, basefiles: tuple, module: str) -> list:
        """The parallel command that plays `matches` (rows of FOLDER SEED YELLOW BLUE)
        with `python3 -m module`; remote hosts are sent `basefiles` and return FOLDER."""
        with open(os.path.join(self.folder, TODO), "w") as f:
            f.write("".join("\t".join(map(str, m[:4])) + "\n" for m in matches))
        argv = ["parallel", "--colsep", "\t", "--jobs", str(self.jobs), "--joblog", ROUND_LOG, "-a", TODO]
        if self.hosts:
            with open(os.path.join(self.folder, HOSTS), "w") as f:
                f.write("".join(h + "\n" for h in self.hosts))
            argv += ["--sshloginfile", HOSTS, "--workdir", self.workdir, "--return", "{1}"]
            for name in basefiles:
                argv += ["--basefile", name]
        return argv + ["python3", "-B", "-m", module, "{1}", "{2}", "{3}", "{4}"]

    def stop(self) -> None:
        """Interrupts the round: parallel passes the signal on to its jobs (over ssh too)."""
        self.stopping = True
        proc = self.proc
        if proc is not None and proc.poll() is None:
            try:
                os.kill(proc.pid, signal.SIGINT)
            except ProcessLookupError:
                pass

    def clean_hosts(self) -> None:
        """Removes the work folders the remote hosts were given."""
        remote = [h for h in self.hosts if not is_local(h)]
        if remote:
            argv = ["parallel", "--nonall", "rm", "-rf", self.workdir]
            for h in remote:
                argv[1:1] = ["--sshlogin", h]
            subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        link = os.path.join(self.folder, self.workdir)
        if os.path.islink(link):
            os.remove(link)


class Rounds(ParallelRounds):
    """Runs rounds in tournament folder `tour`."""

    def __init__(self, tour: str, plan, jobs: int, hosts: list):
        super().__init__(tour, workdir_name(plan.id), jobs, hosts)
        self.plan = plan

    def check_hosts(self, say) -> None:
        """Drops hosts that stopped answering; their matches go to the others."""
        if not self.drop_unreachable(say):
            raise Refused("no host of --hosts answers")

    def play(self, matches: list, progress=None) -> RoundOutcome:
        """Plays `matches`, each (folder, seed, yellow, blue)."""
        out = RoundOutcome(interrupted=self.stopping)
        if self.stopping:
            return out
        scenario = (SCENARIO_COPY,) if self.plan.scenario_file is not None else ()
        argv = self.parallel_argv(matches, (PLAN, PINNED_DIR) + KIT + scenario, "lab.tournament.match")
        with open(os.path.join(self.folder, "parallel.log"), "ab") as log:
            self.proc = subprocess.Popen(argv, cwd=self.folder, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                         start_new_session=True)
            ticker = None
            if progress is not None:
                ticker = threading.Thread(target=self._tick, args=(progress,), daemon=True)
                ticker.start()
            while self.proc.poll() is None:
                try:
                    self.proc.wait(timeout=0.5)
                except subprocess.TimeoutExpired:
                    pass
            self.proc = None
        out.interrupted = self.stopping
        self._collect_joblog(out)
        return out

    def _tick(self, progress) -> None:
        while self.proc is not None:
            progress()
            time.sleep(1)

    def _collect_joblog(self, out: RoundOutcome) -> None:
        path = os.path.join(self.folder, ROUND_LOG)
        try:
            with open(path) as f:
                text = f.read()
        except OSError:
            return
        with open(os.path.join(self.folder, "joblog.txt"), "a") as f:
            f.write(text)
        for line in text.splitlines()[1:]:
            fields = line.split("\t")
            if len(fields) < 9 or not fields[6].lstrip("-").isdigit():
                continue
            status = int(fields[6])
            out.failed_jobs += status != 0
            if status == NOT_PINNED and not out.not_pinned:
                out.not_pinned = self._match_line() or f"a program on {fields[1]} is not the pinned build"
        os.remove(path)

    def _match_line(self) -> str:
        try:
            with open(os.path.join(self.folder, "parallel.log"), errors="replace") as f:
                found = [l.strip() for l in f if "is not the pinned" in l]
        except OSError:
            return ""
        return found[-1] if found else ""


def have_parallel() -> None:
    if shutil.which("parallel") is None:
        raise Refused(f"GNU parallel is missing ({install_hint(find_layout(), 'tournament', ['parallel'])})")

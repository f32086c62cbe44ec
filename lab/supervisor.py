"""Every process a subcommand starts, each in a process group of its own, and
the one place that stops them: on INT, TERM and HUP, on an error, at the end.
A process is signalled only while it still runs, first TERM, then KILL after
a bounded grace period, so nothing outlives the launcher (see keeper for a
launcher killed outright and for programs started through wrappers)."""
import os
import signal
import subprocess
import time

from . import keeper

GRACE_SECONDS = 2.0
POLL_SECONDS = 0.02


class Process:
    """One started program; `status` is None while it runs, then its exit
    status (128 + signal number when a signal ended it)."""

    def __init__(self, name: str, popen: subprocess.Popen, on_end=None):
        self.name = name
        self.popen = popen
        self.pid = popen.pid
        self.status = None
        self.signal = None       # the signal that ended it, if one did
        self.ended_at = None
        self._on_end = on_end

    def poll(self):
        if self.status is None:
            code = self.popen.poll()
            if code is not None:
                self.status = code if code >= 0 else 128 - code
                self.signal = -code if code < 0 else None
                self.ended_at = time.monotonic()
                if self._on_end is not None:
                    self._on_end(self)
        return self.status

    def running(self) -> bool:
        return self.poll() is None

    def signal_group(self, sig) -> None:
        # Only a process not yet reaped: its id, and its group's, cannot be reused.
        if self.running():
            try:
                os.killpg(self.pid, sig)
            except ProcessLookupError:
                pass


class Supervisor:
    """Starts processes and stops them all. Use as a context manager: signals
    are caught on entry; on exit whatever still runs is stopped."""

    def __init__(self, grace: float = GRACE_SECONDS):
        self.grace = grace
        self.processes = []
        self.signal_number = None
        self._old = {}
        self._keeper = keeper.Keeper()

    def __enter__(self):
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            self._old[sig] = signal.signal(sig, self._on_signal)
        keeper.become_subreaper()
        self._keeper.start()
        return self

    def __exit__(self, *exc):
        self.stop_all()
        self._keeper.close()
        for sig, old in self._old.items():
            signal.signal(sig, old)
        return False

    def _on_signal(self, signum, _frame):
        if self.signal_number is None:
            self.signal_number = signum

    def hang_up(self) -> None:
        """The terminal has gone: the run ends as on SIGHUP."""
        self._on_signal(signal.SIGHUP, None)

    def _ended(self, proc: Process) -> None:
        # A wrapper's programs that outlive it are this launcher's now: they end with it.
        keeper.reap_adopted(self._own_pids(), group=proc.pid)
        self._keeper.release(proc.pid)

    def _own_pids(self) -> set:
        own = {p.pid for p in self.processes if p.status is None}
        if self._keeper.pid is not None:
            own.add(self._keeper.pid)
        return own

    @property
    def interrupted(self) -> bool:
        return self.signal_number is not None

    def exit_status(self) -> int:
        """128 + the signal that interrupted the run (130 for INT, 143 for TERM)."""
        return 128 + int(self.signal_number)

    def start(self, name: str, argv: list, cwd: str, stdout: str, stderr: str,
              append: bool = False) -> Process:
        """Starts argv in its own session with its output into files.
        Raises OSError when the program cannot be run."""
        mode = "ab" if append else "wb"
        with open(stdout, mode) as out, open(stderr, mode) as err:
            popen = subprocess.Popen(argv, cwd=cwd, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                     start_new_session=True,
                                     preexec_fn=keeper.die_with_parent if keeper.PRCTL is not None else None)
        self._keeper.track(popen.pid)
        proc = Process(name, popen, self._ended)
        self.processes.append(proc)
        return proc

    def sleep(self, seconds: float) -> None:
        """Sleeps, waking early for a signal."""
        end = time.monotonic() + seconds
        while not self.interrupted:
            left = end - time.monotonic()
            if left <= 0:
                return
            time.sleep(min(left, POLL_SECONDS))

    def stop(self, processes: list, grace: float = None) -> None:
        """TERM to each still running, KILL to those left after the grace period."""
        grace = self.grace if grace is None else grace
        for p in processes:
            p.signal_group(signal.SIGTERM)
        end = time.monotonic() + grace
        while any(p.running() for p in processes) and time.monotonic() < end:
            time.sleep(POLL_SECONDS)
        for p in processes:
            p.signal_group(signal.SIGKILL)
        for p in processes:
            if p.status is None:
                p.popen.wait()
                p.poll()

    def stop_all(self) -> None:
        self.stop(self.processes)
        keeper.reap_adopted(self._own_pids(), grace=min(self.grace, 0.5))


def run_in_foreground(argv: list, cwd: str, grace: float = GRACE_SECONDS):
    """Runs argv in the launcher's own process group (a build that may ask for a
    password at the terminal) until it ends or INT, TERM or HUP arrives; then
    every process below the launcher is stopped, a build's compilers too.
    Returns (exit status, the signal that stopped it or None)."""
    caught = []
    old = {sig: signal.signal(sig, lambda n, _f: caught.append(n))
           for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)}
    try:
        keeper.become_subreaper()
        proc = subprocess.Popen(argv, cwd=cwd)
        while proc.poll() is None and not caught:
            time.sleep(POLL_SECONDS)
        if caught:
            _stop_descendants(grace)
        proc.wait()
        keeper.reap_adopted({proc.pid})
    finally:
        for sig, handler in old.items():
            signal.signal(sig, handler)
    return proc.returncode, (caught[0] if caught else None)


def _stop_descendants(grace: float) -> None:
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for pid in keeper.descendants():
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        end = time.monotonic() + grace
        while sig == signal.SIGTERM and keeper.descendants() and time.monotonic() < end:
            time.sleep(POLL_SECONDS)

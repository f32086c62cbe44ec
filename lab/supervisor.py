"""Every process a subcommand starts, each in a process group of its own, and
the one place that stops them: on INT, TERM and HUP, on an error, at the end.
A process is signalled only while it still runs, first TERM, then KILL after
a bounded grace period, so nothing outlives the launcher."""
import os
import signal
import subprocess
import time

GRACE_SECONDS = 2.0
POLL_SECONDS = 0.02


def _find_prctl():
    try:
        import ctypes
        return ctypes.CDLL(None).prctl
    except (ImportError, OSError, AttributeError):
        return None


# Looked up once: in the child, between fork and exec, there is no time to load libraries.
_PRCTL = _find_prctl()
_PR_SET_PDEATHSIG = 1


def _die_with_parent():
    # A launcher killed outright (SIGKILL) takes its children with it.
    if _PRCTL is not None:
        _PRCTL(_PR_SET_PDEATHSIG, int(signal.SIGKILL))


class Process:
    """One started program; `status` is None while it runs, then its exit
    status (128 + signal number when a signal ended it)."""

    def __init__(self, name: str, popen: subprocess.Popen):
        self.name = name
        self.popen = popen
        self.pid = popen.pid
        self.status = None
        self.ended_at = None

    def poll(self):
        if self.status is None:
            code = self.popen.poll()
            if code is not None:
                self.status = code if code >= 0 else 128 - code
                self.ended_at = time.monotonic()
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

    def __enter__(self):
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            self._old[sig] = signal.signal(sig, self._on_signal)
        return self

    def __exit__(self, *exc):
        self.stop_all()
        for sig, old in self._old.items():
            signal.signal(sig, old)
        return False

    def _on_signal(self, signum, _frame):
        if self.signal_number is None:
            self.signal_number = signum

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
                                     preexec_fn=_die_with_parent if _PRCTL is not None else None)
        proc = Process(name, popen)
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

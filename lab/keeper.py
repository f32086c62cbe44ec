"""What makes sure nothing the launcher started outlives it, even a program
started through a wrapper script and even when the launcher is killed outright.

- The launcher is its descendants' subreaper: a process whose parent ends
  (an agent under a wrapper that died) becomes the launcher's child, so it can
  be found, stopped and reaped without ever signalling a reused process id.
- A keeper, forked at the start, holds the reading end of a pipe and learns
  every process group the launcher starts. The kernel closes the writing end
  when the launcher dies in any way; the keeper then stops those groups.
  PR_SET_PDEATHSIG alone reaches only the launcher's direct children."""
import os
import signal
import time

_PR_SET_PDEATHSIG = 1
_PR_SET_CHILD_SUBREAPER = 36
KEEPER_GRACE = 2.0


def _find_prctl():
    try:
        import ctypes
        return ctypes.CDLL(None, use_errno=True).prctl
    except (ImportError, OSError, AttributeError):
        return None


# Looked up once: in a child between fork and exec there is no time to load libraries.
PRCTL = _find_prctl()


def die_with_parent() -> None:
    """In a child before exec: SIGKILL when the launcher ends."""
    if PRCTL is not None:
        PRCTL(_PR_SET_PDEATHSIG, int(signal.SIGKILL))


def become_subreaper() -> bool:
    return PRCTL is not None and PRCTL(_PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) == 0


def children() -> set:
    """The process ids whose parent is this process."""
    me = os.getpid()
    found = set()
    try:
        for tid in os.listdir(f"/proc/{me}/task"):
            with open(f"/proc/{me}/task/{tid}/children") as f:
                found.update(int(p) for p in f.read().split())
        return found
    except (OSError, ValueError):
        pass
    for pid in filter(str.isdigit, os.listdir("/proc")):
        stat = _stat(int(pid))
        if stat is not None and stat[1] == me:
            found.add(int(pid))
    return found


def _stat(pid: int):
    """(state, parent, process group) of a process, or None."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return fields[0], int(fields[1]), int(fields[2])
    except (OSError, ValueError, IndexError):
        return None


def process_group(pid: int):
    stat = _stat(pid)
    return None if stat is None else stat[2]


def reap_adopted(exclude: set, group=None, grace: float = 0.0) -> None:
    """Stops and reaps the children this process did not start itself (or, with
    `group`, only those of that process group): orphans it adopted as subreaper.
    Their own children come to it in turn, so it goes on until none is left."""
    deadline = time.monotonic() + 5.0 + grace
    sig = signal.SIGTERM if grace > 0 else signal.SIGKILL
    term_end = time.monotonic() + grace
    while time.monotonic() < deadline:
        adopted = [p for p in children() - exclude if group is None or process_group(p) == group]
        if not adopted:
            return
        if time.monotonic() >= term_end:
            sig = signal.SIGKILL
        for pid in adopted:
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        time.sleep(0.02)
        for pid in adopted:
            try:
                os.waitpid(pid, os.WNOHANG)
            except ChildProcessError:
                pass


class Keeper:
    """The forked watchdog; `track` and `release` tell it the process groups."""

    def __init__(self):
        self.pid = None
        self._w = None

    def start(self) -> None:
        r, w = os.pipe()
        pid = os.fork()
        if pid == 0:
            _keep(r, w)
        os.close(r)
        self.pid, self._w = pid, w

    def _send(self, text: str) -> None:
        if self._w is None:
            return
        try:
            os.write(self._w, text.encode())
        except OSError:
            self._w = None

    def track(self, group: int) -> None:
        self._send(f"+{group}\n")

    def release(self, group: int) -> None:
        self._send(f"-{group}\n")

    def close(self) -> None:
        """A clean end: the keeper leaves without stopping anything."""
        if self._w is None:
            return
        self._send("bye\n")
        os.close(self._w)
        self._w = None
        try:
            os.waitpid(self.pid, 0)
        except ChildProcessError:
            pass


def _keep(r: int, w: int) -> None:
    """The keeper's life: read until the launcher goes, then stop what it left."""
    try:
        os.close(w)
        os.setsid()
        # Only the pipe: a copy of the launcher's output pipe would keep its reader waiting.
        for name in os.listdir("/proc/self/fd"):
            if name.isdigit() and int(name) > 2 and int(name) != r:
                try:
                    os.close(int(name))
                except OSError:
                    pass
        devnull = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(devnull, fd)
        for sig in (signal.SIGINT, signal.SIGHUP, signal.SIGTERM, signal.SIGPIPE):
            signal.signal(sig, signal.SIG_IGN)
        groups, clean, buf = set(), False, b""
        while True:
            data = os.read(r, 4096)
            if not data:
                break
            buf += data
            *lines, buf = buf.split(b"\n")
            for line in lines:
                if line == b"bye":
                    clean = True
                elif line[:1] == b"+":
                    groups.add(int(line[1:]))
                elif line[:1] == b"-":
                    groups.discard(int(line[1:]))
        if not clean:
            _stop_groups(groups)
    finally:
        os._exit(0)


def _stop_groups(groups: set) -> None:
    # The launcher has just died: these groups still hold its programs.
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for g in groups:
            try:
                os.killpg(g, sig)
            except (ProcessLookupError, PermissionError):
                pass
        end = time.monotonic() + KEEPER_GRACE
        while sig == signal.SIGTERM and time.monotonic() < end and any(_alive(g) for g in groups):
            time.sleep(0.05)


def _alive(group: int) -> bool:
    try:
        os.killpg(group, 0)
        return True
    except (ProcessLookupError, PermissionError):
        return False


def descendants() -> list:
    """Every live process below this one (children first), read from /proc."""
    parent_of = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        stat = _stat(int(pid))
        if stat is not None and stat[0] != "Z":
            parent_of[int(pid)] = stat[1]
    found, frontier = [], [os.getpid()]
    while frontier:
        below = [p for p, parent in parent_of.items() if parent in frontier]
        found += below
        frontier = below
    return found

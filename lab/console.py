"""The user's terminal (or pipe): lines the lab prints. A terminal that has
gone (EIO after a hang-up, EPIPE when `| head` has stopped reading) is not a
fault of the run: the run ends as a hang-up would, and nothing more is
written there, not even Python's complaint at exit."""
import os
import signal
import sys


class Console:
    """Writes to standard output and standard error; `on_gone` is called once
    when either can no longer be written."""

    def __init__(self, prog: str):
        self.prog = prog
        self.lost = set()      # 1, 2: the descriptors that can no longer be written
        self.on_gone = None

    @property
    def gone(self) -> bool:
        return bool(self.lost)

    def write(self, text: str, err: bool = False) -> None:
        """Text as it is (robots' output, summaries)."""
        fd = 2 if err else 1
        if fd in self.lost:
            return
        stream = sys.stderr if err else sys.stdout
        try:
            stream.write(text)
            stream.flush()
        except OSError:
            self._lost(fd)

    def say(self, text: str, err: bool = False) -> None:
        """One line of the lab's own, marked with the program's name."""
        self.write(f"{self.prog}: {text}\n", err)

    def flush(self) -> None:
        self.write("")

    def _lost(self, fd: int) -> None:
        first = not self.lost
        self.lost.add(fd)
        # Whatever is still buffered goes nowhere, so that the interpreter's
        # own flush at exit finds nothing to fail on.
        devnull = os.open(os.devnull, os.O_WRONLY)
        try:
            os.dup2(devnull, fd)
        except OSError:
            pass
        os.close(devnull)
        if first and self.on_gone is not None:
            self.on_gone()


# The status of a run whose terminal went away, as for SIGHUP.
GONE_STATUS = 128 + int(signal.SIGHUP)

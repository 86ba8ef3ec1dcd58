"""Processes a test or tool starts, ended again on the way out whatever happened."""

import os
import signal
import subprocess
import sys
import tempfile
import time

# Sanitized builds start, draw and stop several times more slowly: waits scale with this
# factor, which ctest sets from the build's flags.
SLOW = float(os.environ.get("ROSES_TEST_SLOWNESS", "1"))

_started = []


def wait_until(predicate, timeout, step=0.1):
    """Polls predicate until it returns something true or timeout seconds pass; returns its
    last result."""
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result or time.monotonic() >= deadline:
            return result
        time.sleep(step)


def stop(process, grace=2.0):
    """Ends a process politely, then for certain; the whole process group when it leads one
    (started with start_new_session), so that its children go with it."""
    for number in (signal.SIGTERM, signal.SIGKILL):
        if process.poll() is not None:
            return
        try:
            if os.getpgid(process.pid) == process.pid:
                os.killpg(process.pid, number)
            else:
                process.send_signal(number)
        except ProcessLookupError:
            pass
        try:
            process.wait(grace)
            return
        except subprocess.TimeoutExpired:
            pass
    process.wait()


def spawn(args, **kwargs):
    """Starts a process that stop_everything ends."""
    process = subprocess.Popen(args, **kwargs)
    _started.append(process)
    return process


def stop_everything():
    """Ends every process spawned so far, the latest first."""
    while _started:
        stop(_started.pop())


def wait_exit(process, timeout):
    """The exit code, or None if the process still runs after timeout seconds."""
    try:
        return process.wait(timeout)
    except subprocess.TimeoutExpired:
        return None


class Program:
    """A program under test, its standard output and error kept in a file for the failure
    report."""

    def __init__(self, binary, *args, env=None, **kwargs):
        self.log = tempfile.TemporaryFile()
        self.started = time.monotonic()
        self.process = spawn([binary, *args], stdout=self.log, stderr=subprocess.STDOUT,
                             env=env, **kwargs)

    def running(self):
        return self.process.poll() is None

    def wait(self, timeout):
        """The exit code, or None if it is still running after timeout seconds."""
        return wait_exit(self.process, timeout)

    def signal(self, number):
        self.process.send_signal(number)

    def stop(self):
        stop(self.process)

    def output(self):
        self.log.seek(0)
        return self.log.read().decode(errors="replace")


def binary_from_arguments():
    if len(sys.argv) < 2 or not os.access(sys.argv[1], os.X_OK):
        sys.exit("usage: test.py <path to roses>")
    return os.path.abspath(sys.argv[1])


def parents():
    """Every living process's parent and state, by process id."""
    found = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as stat:
                    fields = stat.read().rsplit(")", 1)[1].split()
                found[int(entry)] = (int(fields[1]), fields[0])
            except (OSError, IndexError, ValueError):
                pass
    return found


def descendants(root):
    """The living processes below root, nearest first."""
    table = parents()
    found, frontier = [], [root]
    while frontier:
        parent = frontier.pop(0)
        for pid, (ppid, state) in table.items():
            if ppid == parent and state != "Z":
                found.append(pid)
                frontier.append(pid)
    return found


def memory_kib(pid):
    """The memory figures of /proc/PID/status (VmRSS, VmHWM, ...) in KiB, or None once the
    process is gone (a process that has ended but not been waited for has none)."""
    try:
        with open(f"/proc/{pid}/status") as status:
            lines = status.read().splitlines()
    except OSError:
        return None
    figures = {name: int(value.split()[0]) for name, _, value in
               (line.partition(":") for line in lines) if value.strip().endswith(" kB")}
    return figures if "VmRSS" in figures else None


def cpu_seconds(pid):
    """The processor time the process has used, all its threads together (utime + stime of
    /proc/PID/stat), in seconds; None once it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    except (OSError, IndexError, ValueError):
        return None


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def unwind_on_sigterm():
    """Makes SIGTERM end this script as an exception would, so that its finally blocks and
    stop_everything still run and no server or program it started outlives it. kill,
    timeout(1) and whoever ends a whole job's process group send SIGTERM; ctest ends a test
    that overruns its time with SIGKILL, which no handler sees. A script that starts
    processes calls this first: importing the harness leaves signal handling alone."""
    signal.signal(signal.SIGTERM, _raise_system_exit)


def _raise_system_exit(number, frame):
    raise SystemExit(f"stopped by signal {number}")

"""The figures that the measuring tools report: percentiles of samples, and the share of one
processor core that processes take over a while."""

import time

from roses_testing.processes import cpu_seconds


def percentile(values, fraction):
    """The sample at that fraction of the sorted values (0.5 the median, 1 the largest),
    nearest rank; None for no values."""
    if not values:
        return None
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, max(0, round(fraction * (len(ordered) - 1))))]


class ProcessorShare:
    """The share of one core that some processes take from its start until each reading: their
    utime + stime, all threads together, over the wall time passed. A process that has ended
    counts for what it had used when it was last read."""

    def __init__(self, *pids):
        self.pids = [pid for pid in pids if pid]
        self.began = time.monotonic()
        self.used = [cpu_seconds(pid) or 0.0 for pid in self.pids]
        self.last = list(self.used)

    def read(self):
        """The shares, in the order of the pids given."""
        elapsed = max(time.monotonic() - self.began, 1e-9)
        shares = []
        for i, pid in enumerate(self.pids):
            now = cpu_seconds(pid)
            if now is not None:
                self.last[i] = now
            shares.append((self.last[i] - self.used[i]) / elapsed)
        return shares

    def total(self):
        """The share of all of them together."""
        return sum(self.read())

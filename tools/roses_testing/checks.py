"""Failures collected over a whole run, and the exit code that ctest counts as skipped."""

import subprocess
import sys

from roses_testing.processes import stop_everything

SKIPPED = 77


def release_offers(package):
    """Whether this machine's Debian release has the package, installed or not: a program
    that tools/setup would have installed is then missing for a fault, not by design."""
    return bool(subprocess.run(["apt-cache", "madison", package], capture_output=True,
                               text=True).stdout.strip())


def skip(reason):
    print(f"SKIP: {reason}")
    sys.exit(SKIPPED)


class Checks:
    """Collects failures so that one run reports every broken case, then exits non-zero."""

    def __init__(self):
        self.failures = []

    def expect(self, condition, message, program=None):
        if not condition:
            if program is not None:
                message += "\n--- program output ---\n" + program.output()[-1500:]
            self.failures.append(message)
            print("FAIL: " + message, file=sys.stderr)
        return condition

    def finish(self):
        stop_everything()
        if self.failures:
            print(f"{len(self.failures)} check(s) failed", file=sys.stderr)
            sys.exit(1)
        print("all checks passed")

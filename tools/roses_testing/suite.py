"""What tools/test reports of each phase, read from the JUnit file that ctest writes: the
count of tests, the slowest of them, and every test that did not run to a verdict. A test that
was skipped, or skipped some of its cases, counts against the phase: everything a test needs,
tools/setup installs, so a skip in tools/test is a set-up that is broken, not a case that does
not apply.
"""
import sys
import xml.etree.ElementTree as ElementTree

SLOWEST = 10
# What GoogleTest prints for a case that called GTEST_SKIP, inside a test that passes.
_CASE_SKIPPED = "[  SKIPPED ]"


def cases(junit):
    """(name, seconds, verdict) of each test in a ctest JUnit file: verdict is "passed",
    "failed" or "skipped" (ctest also counts a test that could not start as skipped)."""
    found = []
    for case in ElementTree.parse(junit).getroot().iter("testcase"):
        status = case.get("status", "run")
        output = "".join(case.find("system-out").itertext()) \
            if case.find("system-out") is not None else ""
        if case.find("failure") is not None or status == "fail":
            verdict = "failed"
        elif case.find("skipped") is not None or status in ("notrun", "disabled") \
                or _CASE_SKIPPED in output:
            verdict = "skipped"
        else:
            verdict = "passed"
        found.append((case.get("name"), float(case.get("time", "0")), verdict))
    return found


def report(phase, found):
    """Prints the slowest tests of a phase, and every skipped one; whether none was skipped."""
    print(f"test: {phase}: the {min(SLOWEST, len(found))} slowest of {len(found)} tests")
    for name, seconds, verdict in sorted(found, key=lambda case: -case[1])[:SLOWEST]:
        print(f"  {seconds:7.1f} s  {name}{'' if verdict == 'passed' else ' (' + verdict + ')'}")
    skipped = [name for name, _, verdict in found if verdict == "skipped"]
    if skipped:
        print(f"test: {phase}: skipped, which tools/test counts as failed: " + ", ".join(skipped),
              file=sys.stderr)
    sys.stdout.flush()
    return not skipped


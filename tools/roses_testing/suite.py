"""What tools/test reports of each phase, read from the JUnit file that ctest writes: the
count of tests, the slowest of them, and every test that did not run to a verdict.

  python3 -m roses_testing.suite PHASE JUNIT_FILE [--slowest N]

Exits 1 when a test was skipped or not run: everything a test needs, tools/setup installs,
so a skip in tools/test is a setup that is broken, not a case that does not apply.
"""
import argparse
import sys
import xml.etree.ElementTree as ElementTree


def cases(junit):
    """(name, seconds, verdict) of each test in a ctest JUnit file: verdict is "passed",
    "failed" or "skipped" (ctest also counts a test that could not start as skipped)."""
    found = []
    for case in ElementTree.parse(junit).getroot().iter("testcase"):
        verdict = case.get("status", "run")
        if case.find("failure") is not None or verdict == "fail":
            verdict = "failed"
        elif case.find("skipped") is not None or verdict in ("notrun", "disabled"):
            verdict = "skipped"
        else:
            verdict = "passed"
        found.append((case.get("name"), float(case.get("time", "0")), verdict))
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("phase")
    parser.add_argument("junit")
    parser.add_argument("--slowest", type=int, default=10)
    options = parser.parse_args()
    found = cases(options.junit)
    print(f"test: {options.phase}: the {min(options.slowest, len(found))} slowest of "
          f"{len(found)} tests")
    for name, seconds, verdict in sorted(found, key=lambda case: -case[1])[:options.slowest]:
        print(f"  {seconds:7.1f} s  {name}{'' if verdict == 'passed' else ' (' + verdict + ')'}")
    skipped = [name for name, _, verdict in found if verdict == "skipped"]
    if skipped:
        print(f"test: {options.phase}: skipped, which tools/test counts as failed: "
              + ", ".join(skipped), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""The entry point of the Python suites of the real programs: one unittest
case per process, as ctest runs them (each in private namespaces, through
tests/tools/in_netns); `--list` names the cases for CMake."""
import os
import sys
import time
import unittest

# Under emulation (a cross build run by qemu) every program is several times slower.
SCALE = 5 if os.environ.get("VANT_TEST_EMULATED") else 1


def wait_for(predicate, timeout=10, step=0.05):
    """Whether predicate() became true within timeout seconds (scaled)."""
    deadline = time.monotonic() + timeout * SCALE
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


def case_names(classes):
    loader = unittest.TestLoader()
    for cls in classes:
        for name in loader.getTestCaseNames(cls):
            yield "%s.%s" % (cls.__name__, name)


def main(classes):
    if sys.argv[1:] == ["--list"]:
        print("\n".join(case_names(classes)))
        sys.exit(0)
    result = unittest.main(argv=[sys.argv[0], "-v", *sys.argv[1:]], exit=False).result
    # A case that lacks what it needs skips itself; ctest shows it skipped.
    if result.testsRun and result.testsRun == len(result.skipped) and result.wasSuccessful():
        sys.exit(77)
    sys.exit(0 if result.wasSuccessful() else 1)

"""The entry point of the Python suites of the real programs: one unittest
case per process, as ctest runs them (each in private namespaces, through
tests/tools/in_netns); `--list` names the cases for CMake."""
import sys
import unittest


def case_names(classes):
    loader = unittest.TestLoader()
    for cls in classes:
        for name in loader.getTestCaseNames(cls):
            yield "%s.%s" % (cls.__name__, name)


def main(classes):
    if sys.argv[1:] == ["--list"]:
        print("\n".join(case_names(classes)))
        sys.exit(0)
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[1:]])

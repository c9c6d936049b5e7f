"""Prints the closing line of a test run from ctest's JUnit files: 'BUILD: N passed, N failed, N skipped'.
   junit-summary.py BUILD RESULTS.xml...
"""
import sys
import xml.etree.ElementTree as ElementTree

build, paths = sys.argv[1], sys.argv[2:]
counts = {"passed": 0, "failed": 0, "skipped": 0}
for path in paths:
    try:
        cases = list(ElementTree.parse(path).getroot().iter("testcase"))
    except (OSError, ElementTree.ParseError) as problem:
        print(f"no test results in {path}: {problem}", file=sys.stderr)
        counts["failed"] += 1
        continue
    for case in cases:
        status = case.get("status", "")
        if status == "run" and case.find("failure") is None:
            counts["passed"] += 1
        elif status in ("disabled", "notrun", "skipped") or case.find("skipped") is not None:
            counts["skipped"] += 1
        else:
            counts["failed"] += 1
print(f"{build}: {counts['passed']} passed, {counts['failed']} failed, {counts['skipped']} skipped")
sys.exit(1 if counts["failed"] or counts["passed"] == 0 else 0)

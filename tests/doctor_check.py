#!/usr/bin/env python3
"""`zarvoctl doctor` names the right finding for each kind of line.

Usage: doctor_check.py ZARVOCTL

One row per line: virtual controllers at another speed, with stray bytes,
with an echoing adapter (when the tool has --sim-echo), a line where nothing
answers, a missing device and a device another program holds. Each row checks the exit status and the
finding codes of the JSON report.
"""

import fcntl
import json
import os
import subprocess
import sys
import tempfile
import unittest

ZARVOCTL = None


def doctor(*options):
    run = subprocess.run([ZARVOCTL, "--json", *options, "doctor", "--last", "3"],
                         capture_output=True, text=True, timeout=120, check=False)
    report = json.loads(run.stdout)
    return run.returncode, report


def codes(report, level=None):
    return {f["code"] for f in report["findings"] if level is None or f["level"] == level}


def has_option(option):
    run = subprocess.run([ZARVOCTL, "--help"], capture_output=True, text=True, check=False)
    return option in run.stdout


class Doctor(unittest.TestCase):
    def test_controllers_at_19200(self):
        status, report = doctor("--sim", "--sim-baud", "19200")
        self.assertEqual(status, 0, report)
        self.assertEqual(report["speed"], 19200)
        self.assertIn("speed", codes(report, "ok"))
        self.assertEqual([c["address"] for c in report["controllers"]], [1, 2])
        self.assertTrue(all(c["version"] for c in report["controllers"]))
        self.assertEqual(codes(report, "problem"), set())

    def test_stray_bytes_ahead_of_replies(self):
        status, report = doctor("--sim", "--sim-noise")
        self.assertEqual(status, 1, report)
        self.assertEqual(codes(report, "problem"), {"noise"})
        self.assertGreater(report["stats"]["noise_bytes"], 0)

    def test_echoing_adapter(self):
        if not has_option("--sim-echo"):
            self.skipTest("this zarvoctl has no --sim-echo")
        status, report = doctor("--sim", "--sim-echo")
        self.assertEqual(status, 0, report)
        self.assertIn("echo", codes(report, "note"))

    def test_nothing_answers(self):
        master, slave = os.openpty()
        try:
            status, report = doctor("--port", os.ttyname(slave))
        finally:
            os.close(master)
            os.close(slave)
        self.assertEqual(status, 1, report)
        self.assertEqual(codes(report, "problem"), {"no-answer"})
        self.assertEqual(report["speed"], 0)

    def test_missing_device(self):
        status, report = doctor("--port", "/dev/zarvo-no-such-device")
        self.assertEqual(status, 2, report)
        self.assertEqual(codes(report), {"open-missing"})

    def test_device_held_by_another_program(self):
        with tempfile.NamedTemporaryFile() as device:
            fcntl.flock(device.fileno(), fcntl.LOCK_EX)
            status, report = doctor("--port", device.name)
        self.assertEqual(status, 2, report)
        self.assertEqual(codes(report), {"open-busy"})


def main():
    global ZARVOCTL
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    ZARVOCTL = sys.argv[1]
    result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())

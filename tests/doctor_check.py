#!/usr/bin/env python3
"""`zarvoctl doctor` names the right finding for each kind of line.

Usage: doctor_check.py ZARVOCTL ZARVO_SIM

One row per line: virtual controllers at another speed, with stray bytes,
with an echoing adapter, several answering address 0 at once, a lost reply,
a line where nothing answers, a device that is not a serial port, a missing
device and a device another program holds; then zarvo-sim behind echo=off
and behind a device server. Each row checks the exit status and the finding
codes of the JSON report.
"""

import fcntl
import json
import os
import subprocess
import sys
import tempfile
import unittest

ZARVOCTL = ZARVO_SIM = None


def doctor(*options):
    run = subprocess.run([ZARVOCTL, "--json", *options, "doctor", "--last", "3"],
                         capture_output=True, text=True, timeout=120, check=False)
    report = json.loads(run.stdout)
    return run.returncode, report


def codes(report, level=None):
    return {f["code"] for f in report["findings"] if level is None or f["level"] == level}


class Doctor(unittest.TestCase):
    # (options, exit status, speed found, problem codes, other codes that must be there)
    ROWS = [
        (["--sim", "--sim-baud", "19200"], 1, 19200, {"wrong-speed"}, {"opens"}),
        (["--sim", "--sim-baud", "19200", "--baud", "19200"], 0, 19200, set(), {"speed"}),
        (["--sim", "--sim-noise"], 1, 9600, {"noise"}, {"speed"}),
        (["--sim", "--sim-echo"], 0, 9600, set(), {"echo"}),
        (["--sim", "--sim-collide", "--sim-address", "1,2,3"], 0, 9600, set(), {"collisions"}),
        (["--sim", "--sim-fault", "silence"], 1, 9600, {"answers-sometimes"}, {"speed"}),
    ]

    def test_lines(self):
        for options, status, speed, problems, others in self.ROWS:
            with self.subTest(options=options):
                code, report = doctor(*options)
                self.assertEqual(code, status, report)
                self.assertEqual(report["speed"], speed)
                self.assertEqual(codes(report, "problem"), problems)
                self.assertLessEqual(others, codes(report))
                self.assertEqual([c["address"] for c in report["controllers"]],
                                 [1, 2, 3] if "collisions" in others else [1, 2])
                self.assertTrue(all(c["version"] for c in report["controllers"]))

    def test_not_a_serial_port(self):
        status, report = doctor("--port", "/dev/null")
        self.assertEqual(status, 2, report)
        self.assertEqual(codes(report), {"open-not-serial"})
        self.assertIn("not a serial device", report["findings"][0]["text"])

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

    def test_devices_that_do_not_open_get_a_fix(self):
        for port, code in [("/dev/zarvo-no-such-device", "open-missing"),
                           ("tcp://127.0.0.1:1", "open-refused")]:
            with self.subTest(port=port):
                status, report = doctor("--port", port)
                self.assertEqual(status, 2, report)
                self.assertEqual(codes(report), {code})
                self.assertIn("Fix:", report["findings"][0]["text"])

    def test_device_held_by_another_program(self):
        with tempfile.NamedTemporaryFile() as device:
            fcntl.flock(device.fileno(), fcntl.LOCK_EX)
            status, report = doctor("--port", device.name)
        self.assertEqual(status, 2, report)
        self.assertEqual(codes(report), {"open-busy"})


class DoctorOnZarvoSim(unittest.TestCase):
    def serve(self, *options):
        sim = subprocess.Popen([ZARVO_SIM, "--address", "1", *options], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
        self.addCleanup(lambda: (sim.terminate(), sim.communicate()))
        return sim.stdout.readline().strip()

    def test_echo_off_on_an_echoing_adapter(self):
        device = self.serve("--echo")
        status, report = doctor("--port", device + "?echo=off")
        self.assertEqual(status, 1, report)
        self.assertEqual(codes(report, "problem"), {"echo-off"})
        self.assertEqual([c["address"] for c in report["controllers"]], [1])

    def test_device_server_decides_the_speed(self):
        url = self.serve("--tcp", "127.0.0.1:0")
        # The raw server answers no Telnet negotiation: COM-port control refused.
        for port, note in [(url, "server-speed"),
                           (url.replace("tcp://", "rfc2217://"), "com-port-refused")]:
            with self.subTest(port=port):
                status, report = doctor("--port", port, "--baud", "19200")
                self.assertEqual(status, 0, report)
                self.assertIn(note, codes(report, "note"))
                self.assertEqual(report["speed_decided_by"], "device server")
                self.assertNotIn("19200", json.dumps(report["findings"]))


def main():
    global ZARVOCTL, ZARVO_SIM
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    ZARVOCTL, ZARVO_SIM = sys.argv[1], sys.argv[2]
    result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())

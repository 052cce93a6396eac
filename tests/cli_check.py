#!/usr/bin/env python3
"""zarvoctl and zarvo-sim refuse what they cannot do rightly, and say why.

Usage: cli_check.py ZARVOCTL ZARVO_SIM
"""

import json
import os
import pty
import subprocess
import sys
import tempfile
import unittest

ZARVOCTL = ZARVO_SIM = None


def run(*args, env=None):
    done = subprocess.run([ZARVOCTL, *args], capture_output=True, text=True, timeout=60,
                          check=False, env=env)
    return done.returncode, done.stdout + done.stderr


class Zarvoctl(unittest.TestCase):
    # (arguments, exit status, text the output must hold)
    ROWS = [
        (["door", "open", "1", "0"], 1, "no line given"),
        (["--sim", "--port", "/dev/null", "probe", "1"], 2, "exclude each other"),
        (["--sim-echo", "probe", "1"], 2, "--sim-echo sets up the built-in virtual controller"),
        (["--port", "/dev/null", "--sim-baud", "9600", "probe", "1"], 2, "needs --sim"),
        (["card"], 2, "card del ADDRESS NUMBER"),
        (["help", "card"], 0, "card get ADDRESS NUMBER"),
        (["card", "--help"], 0, "card add ADDRESS NUMBER"),
        (["--sim", "card", "add", "1"], 2, "missing NUMBER"),
        (["--sim", "door", "open", "x", "0"], 2, "bad ADDRESS 'x'"),
        (["--sim", "chain", "set", "1", "0", "1", "2", "3"], 2, "missing E3"),
        (["--sim", "version", "1", "2"], 2, "unexpected argument '2'"),
        (["--sim", "--baud", "09600x", "probe", "1"], 2, "bad value '09600x' for --baud"),
        (["--sim", "info", "1", "--jsn"], 2, "unknown option '--jsn' (did you mean '--json'?)"),
        (["--jsn", "--sim", "info", "1"], 2, "unknown option '--jsn' (did you mean '--json'?)"),
        (["--prot", "/dev/null", "probe", "1"], 2, "(did you mean '--port'?)"),
        (["--sim", "card", "add", "1", "5", "--pn", "3"], 2, "(did you mean '--pin'?)"),
        (["--sim", "probe", "1", "--baud"], 2, "option '--baud' needs a value"),
        (["--sim", "events", "1", "--on"], 2, "(did you mean '--one'?)"),
    ]

    def test_refusals_and_help(self):
        for args, status, text in self.ROWS:
            with self.subTest(args=args):
                env = {k: v for k, v in os.environ.items() if k != "ZARVO_PORT"}
                code, output = run(*args, env=env)
                self.assertEqual(code, status, output)
                self.assertIn(text, output)
                self.assertNotIn("opened", output)

    def test_options_after_the_command(self):
        before = run("--sim", "--json", "info", "1")
        self.assertEqual(before[0], 0, before[1])
        self.assertEqual(run("info", "1", "--sim", "--json"), before)
        self.assertEqual(run("info", "--json", "1", "--sim"), before)

    def test_cannot_open_names_the_device_once(self):
        code, output = run("--port", "/dev/zarvo-no-such-device", "probe", "1")
        self.assertEqual(code, 1)
        self.assertIn("cannot open /dev/zarvo-no-such-device: no such device", output)
        self.assertEqual(output.count("/dev/zarvo-no-such-device"), 1, output)

    def test_zarvo_port_names_the_line(self):
        env = dict(os.environ, ZARVO_PORT="/dev/zarvo-no-such-device")
        code, output = run("probe", "1", env=env)
        self.assertEqual(code, 1)
        self.assertIn("/dev/zarvo-no-such-device", output)

    def test_leading_zero_is_decimal(self):
        for typed, address in [("010", 10), ("0x10", 16), ("8", 8)]:
            code, output = run("--sim", "--json", "probe", typed)
            self.assertEqual(json.loads(output.splitlines()[0])["address"], address, typed)

    def test_version_names_tool_and_library(self):
        code, output = run("--version")
        self.assertEqual(code, 0)
        self.assertRegex(output, r"zarvoctl \d+\.\d+\.\d+\nlibzarvoac \d+\.\d+\.\d+")

    def test_trace_and_progress_bar_keep_apart_on_a_terminal(self):
        pid, fd = pty.fork()
        if pid == 0:
            os.execv(ZARVOCTL, [ZARVOCTL, "--sim", "--trace", "scan", "1", "6"])
        output = b""
        while True:
            try:
                chunk = os.read(fd, 4096)
            except OSError:
                break
            if not chunk:
                break
            output += chunk
        os.waitpid(pid, 0)
        shown = [line.rstrip(b"\r").split(b"\r")[-1] for line in output.split(b"\n")]
        self.assertTrue(any(b">>" in line for line in shown), output)
        self.assertFalse([line for line in shown if b"scanning [" in line and b">>" in line])


class ZarvoSim(unittest.TestCase):
    # (arguments, exit status, text the output must hold); none of them serves.
    ROWS = [
        (["--adress", "1"], 2, "unknown option '--adress' (did you mean '--address'?)"),
        (["--events", "2x"], 2, "bad value '2x' for --events"),
        (["--address", "256"], 2, "bad value '256' for --address"),
        (["--fault", "nonsense"], 2, "bad value 'nonsense' for --fault"),
        (["--baud"], 2, "option '--baud' needs a value"),
        (["--echo", "extra"], 2, "unexpected argument 'extra'"),
        (["--version"], 0, "libzarvoac "),
        (["--help"], 0, "--collide"),
    ]

    def test_refusals_and_help(self):
        for args, status, text in self.ROWS:
            with self.subTest(args=args):
                done = subprocess.run([ZARVO_SIM, *args], capture_output=True, text=True,
                                      timeout=30, check=False)
                self.assertEqual(done.returncode, status, done.stderr)
                self.assertIn(text, done.stdout + done.stderr)

    def start(self, *args):
        sim = subprocess.Popen([ZARVO_SIM, *args], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
        self.addCleanup(lambda: (sim.poll() is None and sim.terminate(), sim.communicate()))
        return sim

    def test_link_held_by_another_is_refused_and_kept(self):
        with tempfile.TemporaryDirectory() as scratch:
            link = os.path.join(scratch, "ttyZARVO")
            first = self.start("--link", link, "--baud", "19200", "--echo")
            first.stdout.readline()
            startup = first.stderr.readline()
            for setting in ("19200 bit/s", "echo on", "noise off", "fault none"):
                self.assertIn(setting, startup)
            second = self.start("--link", link)
            self.assertEqual(second.wait(timeout=10), 1)
            self.assertIn("in use", second.stderr.read())
            self.assertTrue(os.path.exists(link), "the refused one removed the link")
            first.terminate()
            first.wait(timeout=10)
            self.assertFalse(os.path.lexists(link))

    def test_numbers_are_decimal_or_hex(self):
        for typed, ok in [("010", True), ("0x0A", True), ("1o", False), ("0", False)]:
            sim = self.start("--address", typed)
            if ok:
                self.assertTrue(sim.stdout.readline().strip())
                self.assertIn(" 10 ", sim.stderr.readline())
            else:
                self.assertEqual(sim.wait(timeout=10), 2)


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

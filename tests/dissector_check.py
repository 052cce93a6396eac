#!/usr/bin/env python3
"""The Wireshark dissector decodes real captures and flags malformed frames.

Usage: dissector_check.py ZARVOCTL DISSECTOR.lua

Captures a `zarvoctl --sim --pcap FILE demo` run (its first reply carrying
line noise) and a file of hand-made malformed frames, decodes both with
tshark and checks the decoded fields. Exits 77 (skipped) without tshark.
"""

import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

ZARVOCTL = DISSECTOR = None


def tshark(capture, *args):
    """tshark's output for `capture` with the dissector loaded; fails on a Lua error."""
    run = subprocess.run(
        ["tshark", "-n", "-r", capture, "-X", f"lua_script:{DISSECTOR}", *args],
        capture_output=True, text=True, timeout=120, check=False)
    if run.returncode != 0 or "Lua" in run.stderr:
        raise AssertionError(f"tshark failed ({run.returncode}): {run.stderr}")
    return run.stdout


def fields(capture, *names):
    """One dict per frame: field name -> list of its values in the frame."""
    args = ["-T", "fields", "-E", "occurrence=a", "-E", "aggregator=|"]
    for name in names:
        args += ["-e", name]
    rows = []
    for line in tshark(capture, *args).splitlines():
        cells = line.split("\t")
        rows.append({n: (c.split("|") if c else []) for n, c in zip(names, cells)})
    return rows


def nibbles(frame):
    """Line-encodes a frame: marks as they are, inner bytes as two nibbles."""
    inner = b"".join(bytes([b >> 4, b & 0x0F]) for b in frame[1:-1])
    return frame[:1] + inner + frame[-1:]


def crc16(data):
    crc = 0
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021 if crc & 0x8000 else crc << 1) & 0xFFFF
    return crc


def request(body, crc=None):
    crc = crc16(body) if crc is None else crc
    return nibbles(bytes([0xE1]) + body + struct.pack(">H", crc) + bytes([0x1E]))


def reply(address, command, payload=b""):
    frame = bytes([0xD2, 0x01, address, command, 0x00]) + payload + b"\x12\x34\x2D"
    return nibbles(frame)


def write_capture(path, frames):
    """A pcap file of (direction, wire bytes) records, as the library writes them."""
    with open(path, "wb") as out:
        out.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 147))
        for i, (direction, wire) in enumerate(frames):
            data = bytes([direction, 4]) + b"test" + wire
            out.write(struct.pack("<IIII", 1700000000 + i, 0, len(data), len(data)) + data)


class DemoCapture(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp()
        cls.capture = os.path.join(cls.dir, "demo.pcap")
        run = subprocess.run([ZARVOCTL, "--sim", "--sim-fault", "noise", "--json", "--pcap",
                              cls.capture, "demo"], capture_output=True, text=True, timeout=120,
                             check=True)
        cls.outputs = [json.loads(line) for line in run.stdout.splitlines() if line.startswith("{")]
        cls.rows = fields(cls.capture, "zarvoac.direction", "zarvoac.address", "zarvoac.command",
                          "zarvoac.card_number", "zarvoac.event.date", "zarvoac.crc_ok",
                          "_ws.expert.message", "zarvoac.noise")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def test_every_frame_decodes_its_address_and_command(self):
        self.assertGreater(len(self.rows), 30)
        for number, row in enumerate(self.rows, 1):
            self.assertEqual(len(row["zarvoac.address"]), 1, f"frame {number}: {row}")
            self.assertEqual(len(row["zarvoac.command"]), 1, f"frame {number}: {row}")

    def test_probe_request_and_its_noisy_reply(self):
        probe, answer = self.rows[0], self.rows[1]
        self.assertEqual((probe["zarvoac.direction"], probe["zarvoac.address"],
                          probe["zarvoac.command"]), (["0"], ["1"], ["1"]))
        self.assertEqual(answer["zarvoac.direction"], ["1"])
        self.assertEqual(answer["zarvoac.noise"], ["550aff13"])
        self.assertIn("Noise before the start mark: 4 bytes", answer["_ws.expert.message"])

    def test_requests_carry_good_checksums(self):
        requests = [r for r in self.rows if r["zarvoac.direction"] == ["0"]]
        self.assertTrue(all(r["zarvoac.crc_ok"] == ["1"] for r in requests),
                        [r["zarvoac.crc_ok"] for r in requests])

    def test_registered_card_number_in_the_write_and_the_read_back(self):
        card_frames = [r for r in self.rows if r["zarvoac.card_number"] == ["12345678"]]
        commands = {(r["zarvoac.direction"][0], r["zarvoac.command"][0]) for r in card_frames}
        self.assertLessEqual({("0", "18"), ("0", "22"), ("1", "22")}, commands)

    def test_event_record_date_matches_what_the_tool_read(self):
        read_one = next(o for o in self.outputs if "number1" in o and "events" not in o)
        dates = [r["zarvoac.event.date"] for r in self.rows
                 if r["zarvoac.command"] == ["11"] and r["zarvoac.direction"] == ["1"]]
        self.assertEqual(dates, [[read_one["date"]]])


class MalformedFrames(unittest.TestCase):
    """Each hand-made frame gets the expert finding that names its fault."""

    ROWS = [
        ("bad request checksum", 0, request(b"\x80\x01\x01", crc=0x1234),
         "Request checksum wrong"),
        ("byte outside 0x00-0x0F", 1, reply(1, 1).replace(b"\x00\x01\x00\x01", b"\x00\x01\x3F\x01", 1),
         "Byte outside 0x00-0x0F inside a frame"),
        ("missing end mark", 1, reply(1, 3, b"ZAC")[:-1], "Frame without its end mark"),
        ("no start mark", 1, bytes([0x85, 0xF3, 0x9A]), "No start mark"),
        ("good request", 0, request(b"\x80\x01\x01"), None),
    ]

    def test_each_fault_is_flagged(self):
        with tempfile.TemporaryDirectory() as directory:
            capture = os.path.join(directory, "malformed.pcap")
            write_capture(capture, [(d, wire) for _, d, wire, _ in self.ROWS])
            rows = fields(capture, "_ws.expert.message", "zarvoac.line")
        self.assertEqual(len(rows), len(self.ROWS))
        for (name, _, _, expected), row in zip(self.ROWS, rows):
            with self.subTest(name):
                self.assertEqual(row["zarvoac.line"], ["test"])
                messages = " / ".join(row["_ws.expert.message"])
                if expected is None:
                    self.assertEqual(messages, "")
                else:
                    self.assertIn(expected, messages)


def main():
    global ZARVOCTL, DISSECTOR
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    if shutil.which("tshark") is None:
        print("tshark not installed: skipped")
        return 77
    ZARVOCTL, DISSECTOR = sys.argv[1], sys.argv[2]
    result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())

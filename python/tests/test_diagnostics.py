"""Capture files and health counters of a Port's line."""

import os
import struct
import tempfile
import unittest

import zarvoac

from .sim_support import VirtualLine, needs_sim

needs_line_handle = unittest.skipUnless(
    hasattr(zarvoac.Port, "capture"), "this Port has no line handle with diagnostics yet")


@needs_sim
@needs_line_handle
class DiagnosticsTest(unittest.TestCase):
    def setUp(self):
        self.line = VirtualLine("--noise")
        self.addCleanup(self.line.stop)
        self.port = zarvoac.Port(self.line.device)
        self.addCleanup(self.port.close)
        self.directory = tempfile.TemporaryDirectory()
        self.addCleanup(self.directory.cleanup)

    def test_counters_see_the_stray_bytes_and_reset(self):
        self.port.stats(reset=True)
        self.assertTrue(self.port.probe(1))
        self.assertFalse(self.port.probe(7))
        stats = self.port.stats(reset=True)
        self.assertEqual((stats["exchanges"], stats["successes"], stats["no_reply"]), (2, 1, 1))
        self.assertEqual(stats["noise_bytes"], 3)
        self.assertEqual(self.port.stats()["exchanges"], 0)

    def test_capture_holds_one_record_per_frame_with_the_port_name(self):
        path = os.path.join(self.directory.name, "line.pcap")
        self.port.capture(path)
        self.assertTrue(self.port.probe(1))
        self.port.stop_capture()
        with open(path, "rb") as capture:
            data = capture.read()
        self.assertEqual(struct.unpack_from("<IHHiIII", data), (0xA1B2C3D4, 2, 4, 0, 0, 65535, 147))
        records, at = [], 24
        while at < len(data):
            length = struct.unpack_from("<I", data, at + 8)[0]
            records.append(data[at + 16 : at + 16 + length])
            at += 16 + length
        self.assertEqual([r[0] for r in records], [0, 1])
        name = self.line.device.encode()
        self.assertTrue(all(r[1] == len(name) and r[2 : 2 + len(name)] == name for r in records))

    def test_capture_to_an_uncreatable_file_raises(self):
        with self.assertRaises(zarvoac.CannotOpen):
            self.port.capture(os.path.join(self.directory.name, "missing", "line.pcap"))

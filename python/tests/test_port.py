"""Opening and closing the one port of the process."""

import datetime
import gc
import unittest

import zarvoac

from .sim_support import VirtualLine, needs_sim


@needs_sim
class PortLifecycleTest(unittest.TestCase):
    def setUp(self):
        self.line = VirtualLine()
        self.addCleanup(self.line.stop)

    def test_with_block_closes_the_port(self):
        with zarvoac.Port(self.line.device) as port:
            self.assertTrue(port.is_open)
            self.assertTrue(port.probe(1))
        self.assertFalse(port.is_open)
        with self.assertRaises(zarvoac.NotOpen) as caught:
            port.version(1)
        self.assertEqual((caught.exception.code, caught.exception.name), (-16, "NOT_OPEN"))
        # The library's port is closed too, not only this object.
        self.assertEqual(zarvoac.load_library().Zarvo_SearchAR(1), -16)

    def test_second_port_is_refused_while_the_first_is_open(self):
        with zarvoac.Port(self.line.device) as first:
            with self.assertRaises(zarvoac.PortInUse) as caught:
                zarvoac.Port(self.line.device)
            self.assertIn("one serial port per process", str(caught.exception))
            self.assertTrue(first.probe(1), "the refused Port must not close the first")
        with zarvoac.Port(self.line.device) as second:
            self.assertTrue(second.probe(1))

    def test_closed_port_does_not_reach_the_next_ports_line(self):
        first = zarvoac.Port(self.line.device)
        first.close()
        first.close()  # harmless
        with zarvoac.Port(self.line.device):
            with self.assertRaises(zarvoac.NotOpen):
                first.open_door(1, 0)

    def test_forgotten_port_is_closed_when_collected(self):
        zarvoac.Port(self.line.device)
        gc.collect()
        with zarvoac.Port(self.line.device) as port:
            self.assertTrue(port.probe(1))

    def test_failed_open_raises_and_leaves_no_port_open(self):
        for device, error_class, code in [
            ("/dev/no-such-zarvo-line", zarvoac.CannotOpen, -1),
            ("/dev/null", zarvoac.PortSetupError, -4),  # opens, but is no terminal
        ]:
            with self.subTest(device=device):
                with self.assertRaises(error_class) as caught:
                    zarvoac.Port(device)
                self.assertEqual(caught.exception.code, code)
                self.assertIn(device, str(caught.exception))
                self.assertEqual(zarvoac.load_library().Zarvo_SearchAR(1), -16)
        with zarvoac.Port(self.line.device) as port:
            self.assertTrue(port.probe(1))

    def test_new_port_does_not_answer_from_tables_read_through_the_last(self):
        evening = [((18, 0), (22, 0))]
        with zarvoac.Port(self.line.device) as port:
            port.set_time_table(1, 5, 0, evening)
            port.set_holiday(1, 100, (7, 14))
        other = VirtualLine()  # a fresh controller at the same address
        self.addCleanup(other.stop)
        with zarvoac.Port(other.device) as port:
            self.assertEqual(port.get_time_table(1, 5, 0).periods, [])
            self.assertEqual(port.get_holiday(1, 100), zarvoac.Holiday(1, 1))


@needs_sim
class FaultyLineTest(unittest.TestCase):
    def test_reply_for_another_command_raises_bad_reply(self):
        line = VirtualLine("--fault", "other-command")
        self.addCleanup(line.stop)
        with zarvoac.Port(line.device) as port:
            with self.assertRaises(zarvoac.BadReply) as caught:
                port.version(1)
            self.assertEqual((caught.exception.code, caught.exception.name), (-12, "MISMATCH"))
            self.assertTrue(port.version(1).startswith("ZAC"), "only the first reply is faulty")

    def test_silent_controller_raises_no_reply_for_a_card(self):
        line = VirtualLine("--fault", "silence")
        self.addCleanup(line.stop)
        with zarvoac.Port(line.device) as port:
            with self.assertRaises(zarvoac.NoReply):
                port.version(1)
            card = zarvoac.Card(42, datetime.date(2030, 1, 1))
            port.put_card(1, card)
            self.assertEqual(port.get_card(1, 42), card)


if __name__ == "__main__":
    unittest.main()

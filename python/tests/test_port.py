"""Opening, closing and configuring Ports, one or several at a time."""

import datetime
import gc
import unittest

import zarvoac

from .sim_support import VirtualLine, needs_sim


class PortNameTest(unittest.TestCase):
    def test_port_name_with_a_nul_inside_is_refused(self):
        for name in ["/dev/null\0/dev/ttyUSB0", b"tcp://127.0.0.1:1\0", "\0"]:
            with self.subTest(name=name), self.assertRaises(ValueError):
                zarvoac.Port(name)


@needs_sim
class PortLifecycleTest(unittest.TestCase):
    def setUp(self):
        self.line = VirtualLine()
        self.addCleanup(self.line.stop)

    def test_with_block_closes_the_port_and_frees_the_device(self):
        with zarvoac.Port(self.line.device) as port:
            self.assertTrue(port.is_open)
            self.assertTrue(port.probe(1))
            # The device stays locked to its open Port, here or in any program.
            with self.assertRaises(zarvoac.CannotOpen) as caught:
                zarvoac.Port(self.line.device)
            self.assertIn("in use", str(caught.exception))
            self.assertTrue(port.probe(1), "the refused Port must not close the first")
        self.assertFalse(port.is_open)
        with self.assertRaises(zarvoac.NotOpen) as caught:
            port.version(1)
        self.assertEqual((caught.exception.code, caught.exception.name), (-16, "NOT_OPEN"))
        port.close()  # harmless
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

    def test_failed_open_raises_with_the_reason(self):
        for name, error_class, code, reason in [
            ("/dev/no-such-zarvo-line", zarvoac.CannotOpen, -1, "no such device"),
            ("/dev/null", zarvoac.PortSetupError, -4, "not a serial device"),
            ("/dev/null?echo=maybe", zarvoac.CannotOpen, -1, "echo=maybe"),
            ("serial://somewhere", zarvoac.CannotOpen, -1, "unknown kind of port"),
        ]:
            with self.subTest(name=name):
                with self.assertRaises(error_class) as caught:
                    zarvoac.Port(name)
                self.assertEqual(caught.exception.code, code)
                self.assertIn(name, str(caught.exception))
                self.assertIn(reason, str(caught.exception))
        with zarvoac.Port(self.line.device) as port:
            self.assertTrue(port.probe(1))

    def test_line_options_reach_the_line(self):
        # The virtual controller sends no echo: a line told to expect one
        # takes the reply for a garbled echo.
        with zarvoac.Port(self.line.device + "?echo=on") as port:
            self.assertRaises(zarvoac.BadReply, port.version, 1)
            port.set_option("echo", "auto")
            self.assertTrue(port.version(1).startswith("ZAC"))
            port.set_option("echo", True)
            self.assertRaises(zarvoac.BadReply, port.version, 1)
            for key, value in [("echo", "maybe"), ("no-such-option", 1), ("wait", -5)]:
                with self.subTest(key=key, value=value):
                    self.assertRaises(zarvoac.InvalidArgument, port.set_option, key, value)
        with zarvoac.Port(self.line.device, options={"echo": False, "wait": 50}) as port:
            self.assertTrue(port.probe(1))
        with self.assertRaises(zarvoac.InvalidArgument):
            zarvoac.Port(self.line.device, options={"echo": "maybe"})
        with zarvoac.Port(self.line.device) as port:  # the refused Port let go of the device
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
class TwoPortsTest(unittest.TestCase):
    """Two Ports open at once, each on its own virtual line with controllers 1 and 2."""

    def setUp(self):
        self.ports = []
        for _ in range(2):
            line = VirtualLine()
            self.addCleanup(line.stop)
            port = zarvoac.Port(line.device)
            self.addCleanup(port.close)
            self.ports.append(port)

    def test_each_port_reaches_its_own_controllers(self):
        first, second = self.ports
        first.change_address(2, 9)
        self.assertEqual(first.find_controllers([1, 2, 9]), [1, 9])
        self.assertEqual(second.find_controllers([1, 2, 9]), [1, 2])
        card = zarvoac.Card(4711, datetime.date(2031, 5, 6))
        second.put_card(1, card)
        self.assertEqual(second.get_card(1, 4711), card)
        self.assertRaises(zarvoac.Refused, first.get_card, 1, 4711)

    def test_table_copies_are_kept_per_port(self):
        first, second = self.ports
        evening = [((18, 0), (22, 0))]
        first.set_time_table(1, 5, 0, evening)
        first.set_holiday(1, 100, (7, 14))
        # Both read the same table and list: each answers from its own line.
        self.assertEqual(second.get_time_table(1, 5, 0).periods, [])
        self.assertEqual(second.get_holiday(1, 100), zarvoac.Holiday(1, 1))
        self.assertEqual(len(first.get_time_table(1, 5, 0).periods), 1)
        self.assertEqual(first.get_holiday(1, 100), zarvoac.Holiday(7, 14))


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
            with self.assertRaises(zarvoac.NoReply) as caught:
                port.version(1)
            self.assertIn("no byte within 500 ms", str(caught.exception))
            card = zarvoac.Card(42, datetime.date(2030, 1, 1))
            port.put_card(1, card)
            self.assertEqual(port.get_card(1, 42), card)


if __name__ == "__main__":
    unittest.main()

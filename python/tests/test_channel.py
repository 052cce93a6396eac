"""Ports over a link the test carries itself: a relay to the virtual line's pseudo-terminal."""

import datetime
import os
import select
import termios
import tty
import unittest

import zarvoac

from .sim_support import VirtualLine, needs_sim


class PtyLink:
    """A channel object that relays bytes to a pseudo-terminal."""

    def __init__(self, device):
        self.fd = os.open(device, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(self.fd)
        self.closed = 0

    def write(self, data):
        return os.write(self.fd, data)

    def read(self, max_bytes, timeout_s):
        ready, _, _ = select.select([self.fd], [], [], timeout_s)
        return os.read(self.fd, max_bytes) if ready else b""

    def discard_input(self):
        termios.tcflush(self.fd, termios.TCIFLUSH)

    def close(self):
        self.closed += 1
        os.close(self.fd)


class FaultyLink(PtyLink):
    """A relay whose `method` misbehaves once, as `fault` says, then works again."""

    def __init__(self, device, method, fault):
        super().__init__(device)
        self.faults = {method: fault}

    def _misbehave(self, method, *args):
        fault = self.faults.pop(method, None)
        if fault is None:
            return getattr(super(), method)(*args)
        if isinstance(fault, BaseException):
            raise fault
        return fault(*args)

    def write(self, data):
        return self._misbehave("write", data)

    def read(self, max_bytes, timeout_s):
        return self._misbehave("read", max_bytes, timeout_s)

    def discard_input(self):
        return self._misbehave("discard_input")

    def wait_for_reply(self):
        """Takes in the reply to a request whose read failed, so it cannot meet the next one."""
        if not PtyLink.read(self, 4096, 5.0):
            raise AssertionError("the controller did not reply")


@needs_sim
class ChannelTest(unittest.TestCase):
    def setUp(self):
        self.line = VirtualLine()
        self.addCleanup(self.line.stop)

    def test_commands_run_over_the_channel_and_close_it_once(self):
        link = PtyLink(self.line.device)
        card = zarvoac.Card(90210, datetime.date(2032, 2, 29))
        with zarvoac.Port(channel=link) as port:
            self.assertTrue(port.probe(1))
            self.assertFalse(port.probe(3))
            port.put_card(1, card)
        self.assertEqual(link.closed, 1)
        port.close()
        self.assertEqual(link.closed, 1)
        with zarvoac.Port(self.line.device) as direct:
            self.assertEqual(direct.get_card(1, 90210), card)

    def test_failing_channel_fails_the_command_and_recovers(self):
        for method, fault, code in [
            ("read", RuntimeError("link dropped"), -10),
            ("read", lambda max_bytes, timeout_s: None, -10),
            ("read", lambda max_bytes, timeout_s: b"\0" * (max_bytes + 1), -10),
            ("write", OSError("cable pulled"), -16),
            ("write", lambda data: "many", -16),
            ("discard_input", ValueError("flush failed"), -16),
        ]:
            with self.subTest(method=method, fault=fault):
                link = FaultyLink(self.line.device, method, fault)
                with zarvoac.Port(channel=link) as port:
                    with self.assertRaises(zarvoac.ZarvoError) as caught:
                        port.version(1)
                    self.assertEqual(caught.exception.code, code)
                    if isinstance(fault, Exception):
                        self.assertIs(caught.exception.__cause__, fault)
                    if method == "read":
                        link.wait_for_reply()
                    self.assertTrue(port.probe(1), "the next command runs as usual")

    def test_channel_calling_back_into_its_port_is_refused(self):
        link = FaultyLink(self.line.device, "read", lambda *args: port.close())
        with zarvoac.Port(channel=link) as port:
            with self.assertRaises(zarvoac.NoReply) as caught:
                port.version(1)
            self.assertEqual(caught.exception.__cause__.name, "IN_CALLBACK")
            link.wait_for_reply()
            self.assertTrue(port.probe(1))

    def test_interrupt_inside_the_channel_reaches_the_caller(self):
        link = FaultyLink(self.line.device, "read", KeyboardInterrupt())
        with zarvoac.Port(channel=link) as port:
            self.assertRaises(KeyboardInterrupt, port.version, 1)
            link.wait_for_reply()
            self.assertTrue(port.probe(1))

    def test_object_without_read_or_write_is_refused(self):
        read_only = type("ReadOnly", (), {"read": lambda self, max_bytes, timeout_s: b""})
        for link in [object(), read_only()]:
            with self.subTest(link=link):
                self.assertRaises(TypeError, zarvoac.Port, channel=link)


if __name__ == "__main__":
    unittest.main()

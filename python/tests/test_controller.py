"""Controller management and the event log, end to end against the virtual controller."""

import datetime
import unittest

import zarvoac

from .sim_support import LineTestCase

# Event kinds the virtual controller logs for its own activity.
CLOCK_SET, DOOR_OPENED, CARD_PRESENTED = 3, 4, 8


class ManagementTest(LineTestCase):
    def test_probe_tells_present_from_absent_controllers(self):
        self.assertEqual(self.port.find_controllers(range(1, 4)), [1, 2])
        self.assertTrue(self.port.probe(0), "address 0: whichever controller answers")

    def test_version_and_device_values(self):
        self.assertTrue(self.port.version(1).startswith("ZAC-4"))
        self.assertEqual(self.port.version(1, raw=True), self.port.version(1).encode())
        info = self.port.device_info(2)
        self.assertEqual(len(info), 6)
        self.assertTrue(all(0 <= v <= 0xFFFF for v in info))

    def test_change_address_moves_the_controller(self):
        self.port.change_address(2, 9)
        self.addCleanup(self.port.change_address, 9, 2)
        self.assertTrue(self.port.probe(9))
        self.assertFalse(self.port.probe(2))

    def test_address_beyond_a_byte_is_refused_not_taken_as_another(self):
        # 257 would reach controller 1; 256 would be the broadcast address.
        for address in (256, 257, -1):
            with self.subTest(address=address):
                self.assertFails(zarvoac.InvalidArgument, -18, "INVALID_ARG",
                                 self.port.version, address)
        self.assertFails(zarvoac.InvalidArgument, -18, "INVALID_ARG",
                         self.port.change_address, 1, 0)

    def test_change_baud_accepts_only_the_controllers_speeds(self):
        self.port.change_baud(1, 9600)
        self.assertFails(zarvoac.InvalidArgument, -18, "INVALID_ARG",
                         self.port.change_baud, 1, 9601)

    def test_set_time_is_logged_by_the_controller(self):
        self.port.set_time(1)
        self.assertEqual(list(self.port.events(1))[-1].value1, CLOCK_SET)


class InitialiseTest(LineTestCase):
    def test_initialise_clears_the_card_list(self):
        card = zarvoac.Card(77, datetime.date(2030, 1, 1))
        self.port.put_card(1, card)
        self.port.initialise(1)
        self.assertFails(zarvoac.Refused, -1, "REFUSED", self.port.get_card, 1, 77)


class EventLogTest(LineTestCase):
    def test_log_reads_the_same_by_block_and_by_record(self):
        events = list(self.port.events(1))
        self.assertGreaterEqual(len(events), 6)
        self.assertEqual(events, self.port.read_event_block(1, 0))
        self.assertEqual(self.port.read_event(1), events[0])
        self.assertEqual(self.port.next_event(1), events[1])
        self.assertEqual(self.port.read_event(1), events[1])
        self.assertTrue(all(e.when is not None for e in events))
        self.assertIn(CARD_PRESENTED, {e.value1 for e in events})

    def test_clear_and_restore(self):
        before = list(self.port.events(2))
        self.port.clear_events(2)
        self.assertEqual(list(self.port.events(2)), [])
        self.assertIsNone(self.port.read_event(2).when, "an empty log reads as an empty record")
        self.port.restore_events(2)
        self.assertEqual(list(self.port.events(2)), before)

    def test_block_number_beyond_a_byte_is_refused(self):
        self.assertFails(zarvoac.InvalidArgument, -18, "INVALID_ARG",
                         self.port.read_event_block, 1, 256)

    def test_events_follow_across_blocks(self):
        # 200 door openings push the log past the first block of 192.
        for _ in range(100):
            self.port.open_door(2, 3)
            self.port.close_door(2, 3)
        events = list(self.port.events(2))
        self.assertGreater(len(events), 192)
        self.assertEqual(events[192:], self.port.read_event_block(2, 1))
        self.assertEqual(sum(e.value1 == DOOR_OPENED and e.value2 == 3 for e in events), 100)


if __name__ == "__main__":
    unittest.main()

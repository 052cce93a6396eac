"""Door settings, remote control and table links, end to end against the virtual controller."""

import unittest

import zarvoac

from .sim_support import LineTestCase

DOOR_OPENED, DOOR_CLOSED, ALARM_CLEARED = 4, 5, 6


class DoorSettingsTest(LineTestCase):
    def test_access_and_alarm_modes_round_trip(self):
        access = zarvoac.AccessMode(first_bit0=True, first_bit7=True, second_bit7=True)
        alarm = zarvoac.AlarmMode(first_bit1=True, first_bit6=True, second_bits0to1=2,
                                  second_bits2to3=3, second_bit4=True)
        self.port.set_access_mode(1, 3, access)
        self.port.set_alarm_mode(1, 3, alarm)
        self.assertEqual(self.port.get_access_mode(1, 3), access)
        self.assertEqual(self.port.get_alarm_mode(1, 3), alarm)
        self.assertNotEqual(self.port.get_access_mode(1, 2), access, "other doors keep theirs")

    def test_codes_timings_interlocks_and_links_are_accepted(self):
        self.port.set_door_password(1, 0, "1234abcd")
        self.port.set_duress_code(1, "00001234")
        self.port.set_door_delays(1, [1, 5, 255, 0])
        self.port.set_interlock(1, 2, 0b1000)
        self.port.link_time_table(1, 0, 15, 3)
        self.port.link_holiday_time_table(1, 1, 0, 7)
        self.port.link_always_open(1, 2, 7)

    def test_bad_values_are_refused_with_invalid_argument(self):
        for call, args in [
            (self.port.set_door_password, (1, 0, "1234abc")),
            (self.port.set_door_password, (1, 0, "1234abcg")),
            (self.port.set_door_password, (1, 4, "12345678")),  # checked by the library
            (self.port.set_duress_code, (1, 1234)),
            (self.port.set_door_delays, (1, [1, 2, 3])),
            (self.port.set_door_delays, (1, [1, 2, 3, 256])),
            (self.port.set_interlock, (1, 0, 2**32)),
            (self.port.set_access_mode, (1, 0, zarvoac.AlarmMode())),
            (self.port.get_alarm_mode, (1, -1)),
            (self.port.link_time_table, (1, 0, 16, 0)),
            (self.port.link_holiday_time_table, (1, 0, 0, 16)),
            (self.port.link_always_open, (1, 0, -1)),
        ]:
            with self.subTest(call=call.__name__, args=args):
                self.assertFails(zarvoac.InvalidArgument, -18, "INVALID_ARG", call, *args)


class RemoteControlTest(LineTestCase):
    def last_event(self):
        return list(self.port.events(2))[-1]

    def test_open_close_and_clear_alarm_reach_the_door(self):
        for action, args, kind in [
            (self.port.open_door, (2, 1, 5), DOOR_OPENED),
            (self.port.close_door, (2, 1), DOOR_CLOSED),
            (self.port.clear_alarm, (2, 0), ALARM_CLEARED),
        ]:
            with self.subTest(action=action.__name__):
                action(*args)
                event = self.last_event()
                self.assertEqual((event.value1, event.value2), (kind, args[1]))

    def test_interlocked_door_stays_shut_while_the_other_is_open(self):
        self.port.set_interlock(2, 3, 1 << 2)  # door 3 waits for door 2
        self.port.open_door(2, 2)
        self.assertFails(zarvoac.Refused, -1, "REFUSED", self.port.open_door, 2, 3)
        self.port.close_door(2, 2)
        self.port.open_door(2, 3)

    def test_door_numbers_ctypes_would_cut_are_refused(self):
        before = self.last_event()
        # Cut to 32 bits, these would open door 1.
        for door in (2**32 + 1, -(2**32) + 1):
            with self.subTest(door=door):
                self.assertFails(zarvoac.InvalidArgument, -18, "INVALID_ARG",
                                 self.port.open_door, 2, door)
        self.assertFails(zarvoac.InvalidArgument, -18, "INVALID_ARG",
                         self.port.open_door, 2, 1, 256)
        self.assertEqual(self.last_event(), before, "nothing reached the controller")


if __name__ == "__main__":
    unittest.main()

"""Conversions between the typed records and the library's C records (no library needed)."""

import datetime
import unittest

import zarvoac
from zarvoac import _native
from zarvoac.errors import error_for
from zarvoac.records import DayTable, day_record, flags_mask, flags_text


def event_record(date, time, number1=b"00000000"):
    record = _native.EventRecord()
    record.number1, record.number2 = number1, b"00000000"
    record.date, record.time = date, time
    record.value1, record.value2 = 8, 255
    return record


class FlagsTest(unittest.TestCase):
    def test_character_i_stands_for_bit_i(self):
        for mask, text in [
            (0, "0" * 32),
            (1, "1" + "0" * 31),
            (0x80000000, "0" * 31 + "1"),
            (0b101, "101" + "0" * 29),
        ]:
            with self.subTest(mask=hex(mask)):
                self.assertEqual(flags_text(mask), text.encode())
                self.assertEqual(flags_mask(text.encode()), mask)

    def test_mask_beyond_32_bits_is_refused(self):
        for mask in (-1, 2**32):
            with self.subTest(mask=mask), self.assertRaises(zarvoac.InvalidArgument):
                flags_text(mask)


class EventTest(unittest.TestCase):
    def test_event_of_a_real_date_has_its_datetime(self):
        event = zarvoac.Event.from_record(event_record(b"2007-03-05", b"14:07:09", b"00123456"))
        self.assertEqual(event.when, datetime.datetime(2007, 3, 5, 14, 7, 9))
        self.assertEqual((event.number1, event.number1_text), (123456, "00123456"))
        self.assertEqual((event.value1, event.value2), (8, 255))

    def test_event_of_an_impossible_date_keeps_only_its_texts(self):
        for date, time in [(b"2000-00-00", b"00:00:00"), (b"2007-1A-05", b"14:07:09"),
                           (b"2007-02-30", b"10:00:00"), (b"2007-03-05", b"24:00:00")]:
            with self.subTest(date=date, time=time):
                event = zarvoac.Event.from_record(event_record(date, time))
                self.assertIsNone(event.when)
                self.assertEqual((event.date_text, event.time_text), (date.decode(), time.decode()))


class CardTest(unittest.TestCase):
    CARD = zarvoac.Card(4000000000, datetime.date(2007, 12, 31), "12ab56", 0b101, 1, 255)

    def test_card_record_carries_every_field(self):
        record = self.CARD.to_record()
        self.assertEqual(record.cardNumber, b"4000000000")
        self.assertEqual(record.pin, b"12ab56")
        self.assertEqual(bytes(record.flags), b"101" + b"0" * 29)
        self.assertEqual((record.year, record.month, record.day), (2007, 12, 31))
        self.assertEqual((record.value1, record.value2), (1, 255))

    def test_values_the_library_would_cut_or_wrap_are_refused(self):
        # Each of these would reach the controller as another value.
        for change in [{"number": 2**32}, {"number": -1}, {"date": datetime.date(1999, 1, 1)},
                       {"date": None}, {"pin": "12G456"}, {"pin": "12345"}, {"pin": "0x1234"},
                       {"value1": 256}, {"value2": -1}, {"flags": 2**32}]:
            card = zarvoac.Card(**{**self.CARD.__dict__, **change})
            with self.subTest(change=change), self.assertRaises(zarvoac.InvalidArgument) as e:
                card.to_record()
            self.assertEqual(e.exception.code, -18)

    def test_card_read_with_an_impossible_date_has_no_date(self):
        record = self.CARD.to_record()
        record.month = 0
        self.assertIsNone(zarvoac.Card.from_record(record).date)


class DayTableTest(unittest.TestCase):
    def test_periods_are_accepted_as_times_or_hour_minute_pairs(self):
        record = day_record(3, [((8, 0), (12, 30)),
                                (datetime.time(13, 15), datetime.time(23, 59))])
        self.assertEqual(list(record[:9]), [3, 8, 0, 12, 30, 13, 15, 23, 59])
        self.assertEqual(list(record[9:]), [0] * 24)

    def test_day_read_back_leaves_out_unused_slots(self):
        record = day_record(2, [((8, 0), (9, 0))])
        record[25:29] = [17, 0, 18, 0]  # period 6 in use, 1 to 5 unused
        day = DayTable.from_record(record)
        self.assertEqual(day.day, 2)
        self.assertEqual([tuple(p) for p in day.periods],
                         [(datetime.time(8), datetime.time(9)),
                          (datetime.time(17), datetime.time(18))])

    def test_bad_periods_are_refused(self):
        for periods in [[((24, 0), (1, 0))], [((8, 60), (9, 0))], [(datetime.time(8, 0, 30),
                        datetime.time(9))], [((8, 0),)], ["08:00-09:00"],
                        [((8, 0), (9, 0))] * 9]:
            with self.subTest(periods=periods), self.assertRaises(zarvoac.InvalidArgument):
                day_record(0, periods)


class SettingsRecordTest(unittest.TestCase):
    def test_alarm_mode_fields_land_in_their_c_fields(self):
        mode = zarvoac.AlarmMode(first_bit6=True, second_bits0to1=2, second_bits2to3=3,
                                 second_bit5=True)
        record = mode.to_record()
        self.assertEqual((record.firstBit6, record.secondBits0to1, record.secondBits2to3,
                          record.secondBit4, record.secondBit5), (1, 2, 3, 0, 1))
        self.assertEqual(zarvoac.AlarmMode.from_record(record), mode)

    def test_access_mode_seventh_field_is_bit_7(self):
        record = zarvoac.AccessMode(first_bit7=True).to_record()
        self.assertEqual((record.firstBit5, record.firstBit7), (0, 1))

    def test_two_bit_field_out_of_range_is_refused(self):
        with self.assertRaises(zarvoac.InvalidArgument):
            zarvoac.AlarmMode(second_bits2to3=4).to_record()

    def test_chain_group_out_of_range_is_refused(self):
        for group in [((32, 0, 0, 0), 0), ((1, 2, 3), 0), ((1, 2, 3, 4), 0x10000)]:
            with self.subTest(group=group), self.assertRaises(zarvoac.InvalidArgument):
                zarvoac.ChainGroup.of(group).to_record()


class ErrorTest(unittest.TestCase):
    def test_each_code_gives_its_class_and_name(self):
        for code, error_class, name in [
            (-1, zarvoac.Refused, "REFUSED"),
            (-3, zarvoac.PortSetupError, "LINE_DEFINITION"),
            (-10, zarvoac.NoReply, "NO_REPLY"),
            (-12, zarvoac.BadReply, "MISMATCH"),
            (-13, zarvoac.BadReply, "SHORT_REPLY"),
            (-16, zarvoac.NotOpen, "NOT_OPEN"),
            (-18, zarvoac.InvalidArgument, "INVALID_ARG"),
            (-99, zarvoac.ZarvoError, "UNKNOWN"),
        ]:
            with self.subTest(code=code):
                error = error_for(code, "version at address 1")
                self.assertIs(type(error), error_class)
                self.assertEqual((error.code, error.name), (code, name))
                self.assertIn(f"({name}, {code})", str(error))
                self.assertTrue(str(error).startswith("version at address 1: "))

    def test_errors_are_also_the_matching_builtin_exceptions(self):
        self.assertIsInstance(error_for(-10), TimeoutError)
        self.assertIsInstance(error_for(-18), ValueError)


if __name__ == "__main__":
    unittest.main()

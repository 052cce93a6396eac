"""Day tables, the holiday list and the chain table, end to end against the virtual controller."""

import datetime
import unittest

import zarvoac

from .sim_support import LineTestCase

T = datetime.time
MORNING = [zarvoac.Period(T(8, 0), T(12, 0))]
SPLIT_DAY = [zarvoac.Period(T(7, 30), T(11, 45)), zarvoac.Period(T(13, 0), T(23, 59))]


class DayTableTest(LineTestCase):
    def test_writing_a_day_keeps_the_other_days(self):
        week_before = self.port.get_time_table_week(1, 0)
        self.port.set_time_table(1, 0, 2, SPLIT_DAY)
        week_after = self.port.get_time_table_week(1, 0)
        self.assertEqual(week_after[2], zarvoac.DayTable(2, SPLIT_DAY))
        self.assertEqual(week_after[:2] + week_after[3:], week_before[:2] + week_before[3:])

    def test_week_round_trip_for_both_weekly_kinds(self):
        week = [MORNING, [], SPLIT_DAY, [((0, 0), (23, 59))] * 8, [], MORNING, []]
        for setter, getter, table in [
            (self.port.set_time_table_week, self.port.get_time_table_week, 15),
            (self.port.set_always_open_week, self.port.get_always_open_week, 7),
        ]:
            with self.subTest(getter=getter.__name__):
                setter(2, table, week)
                read = getter(2, table)
                self.assertEqual([d.day for d in read], list(range(7)))
                self.assertEqual([d.periods for d in read],
                                 [[zarvoac.Period.of(p) for p in day] for day in week])

    def test_kinds_share_numbers_but_not_contents(self):
        self.port.set_time_table(1, 4, 0, MORNING)
        self.port.set_always_open(1, 4, 0, SPLIT_DAY)
        self.port.set_holiday_time_table(1, 4, [((9, 0), (10, 0))])
        self.assertEqual(self.port.get_time_table(1, 4, 0).periods, MORNING)
        self.assertEqual(self.port.get_always_open(1, 4, 0).periods, SPLIT_DAY)
        self.assertEqual(self.port.get_holiday_time_table(1, 4),
                         zarvoac.DayTable(0, [zarvoac.Period(T(9), T(10))]))

    def test_out_of_range_numbers_are_refused_not_taken_as_table_0(self):
        table_0 = self.port.get_time_table_week(1, 0)
        for call, args in [
            (self.port.set_time_table, (1, 16, 0, MORNING)),
            (self.port.set_holiday_time_table, (1, 8, MORNING)),
            (self.port.set_always_open, (1, -1, 0, MORNING)),
            (self.port.set_time_table, (1, 0, 7, MORNING)),
            (self.port.get_time_table, (1, 0, -1)),
        ]:
            with self.subTest(call=call.__name__, args=args):
                self.assertFails(zarvoac.InvalidArgument, -18, "INVALID_ARG", call, *args)
        self.assertEqual(self.port.get_time_table_week(1, 0), table_0)

    def test_bad_week_writes_no_day(self):
        before = self.port.get_time_table_week(1, 1)
        week = [MORNING] * 6 + [[((25, 0), (26, 0))]]
        self.assertFails(zarvoac.InvalidArgument, -18, "INVALID_ARG",
                         self.port.set_time_table_week, 1, 1, week)
        self.assertEqual(self.port.get_time_table_week(1, 1), before)


class HolidayAndChainTest(LineTestCase):
    def test_holiday_round_trip_and_clear(self):
        self.port.set_holiday(1, 127, (2, 29))
        self.port.set_holiday(1, 0, zarvoac.Holiday(12, 31))
        self.assertEqual(self.port.get_holiday(1, 127), zarvoac.Holiday(2, 29))
        self.assertEqual(tuple(self.port.get_holiday(1, 0)), (12, 31))
        self.port.clear_holiday(1, 127)
        self.assertEqual(self.port.get_holiday(1, 127), zarvoac.Holiday(1, 1))

    def test_holiday_list_is_per_controller(self):
        self.port.set_holiday(2, 40, (6, 15))
        self.assertNotEqual(self.port.get_holiday(1, 40), zarvoac.Holiday(6, 15))
        holidays = self.port.holidays(2)
        self.assertEqual(len(holidays), 128)
        self.assertEqual(holidays[40], zarvoac.Holiday(6, 15))

    def test_bad_holidays_are_refused(self):
        for index, date in [(128, (1, 1)), (-1, (1, 1)), (0, (13, 1)), (0, (1, 32)), (0, (0, 0)),
                            (0, (4, 31)), (0, (2, 30))]:
            with self.subTest(index=index, date=date):
                self.assertFails(zarvoac.InvalidArgument, -18, "INVALID_ARG",
                                 self.port.set_holiday, 1, index, date)

    def test_chain_groups_round_trip_separately(self):
        self.port.set_chain_group(1, 0, zarvoac.ChainGroup((1, 2, 3, 31), 0x1234))
        self.port.set_chain_group(1, 1, ((4, 5, 6, 7), 300))
        self.assertEqual(self.port.get_chain_group(1, 0), zarvoac.ChainGroup((1, 2, 3, 31), 0x1234))
        self.assertEqual(self.port.get_chain_group(1, 1), zarvoac.ChainGroup((4, 5, 6, 7), 300))

    def test_chain_group_number_is_checked_by_the_library(self):
        self.assertFails(zarvoac.InvalidArgument, -18, "INVALID_ARG",
                         self.port.get_chain_group, 1, 2)


if __name__ == "__main__":
    unittest.main()

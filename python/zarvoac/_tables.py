"""Day tables: weekly time tables, holiday time tables and always-open tables.

All three kinds share one format: seven days of up to eight periods. The
line reads a table whole before it reads or writes one of its days, and
answers reads of the table it read last from its own copy, so reading the
seven days of one table costs one exchange. That copy is not refreshed when
the controller's tables change by other means (a reset, another host) until
another table is read or a new Port is opened.
"""

from collections import namedtuple

from . import _checks
from ._base import CommandBase
from .errors import invalid
from .records import DayTable, day_record

DAYS_PER_WEEK = 7

_Kind = namedtuple("_Kind", "label function table_count")

_WEEKLY = _Kind("time table", "TimeTable", 16)
_HOLIDAY_TIMES = _Kind("holiday time table", "HolidayTimeTable", 8)
_ALWAYS_OPEN = _Kind("always-open table", "AlwaysOpenOfWeek", 8)

_READ, _WRITE = 0, 1


def _table_number(kind, table):
    return _checks.integer(table, f"{kind.label} number", 0, kind.table_count - 1)


def _day_index(day):
    return _checks.integer(day, "day", 0, DAYS_PER_WEEK - 1)


class TableCommands(CommandBase):
    """Reading and writing day tables, one day or a whole week at a time.

    Periods are given as Period objects or as (start, end) pairs whose ends
    are datetime.time values or (hour, minute) pairs. Day indexes run from 0
    to 6; which weekday each stands for is the controller's business.
    """

    def _get_day(self, operation, kind, address, table, day):
        table = _table_number(kind, table)
        record = day_record(_day_index(day), [])
        self._call(operation, kind.function, address, table, record, _READ)
        return DayTable.from_record(record)

    def _set_day(self, operation, kind, address, table, day, periods):
        table = _table_number(kind, table)
        record = day_record(_day_index(day), periods)
        self._call(operation, kind.function, address, table, record, _WRITE)

    def _get_week(self, operation, kind, address, table):
        return [self._get_day(operation, kind, address, table, d) for d in range(DAYS_PER_WEEK)]

    def _set_week(self, operation, kind, address, table, week):
        table = _table_number(kind, table)
        week = list(week)
        if len(week) != DAYS_PER_WEEK:
            raise invalid(operation, f"a week has 7 days, not {len(week)}")
        # Every day is checked before the first is sent, so a bad day leaves
        # the table as it was.
        records = [day_record(d, periods) for d, periods in enumerate(week)]
        for record in records:
            self._call(operation, kind.function, address, table, record, _WRITE)

    # ---- weekly time tables (0 to 15) ----

    def get_time_table(self, address, table, day):
        """Day `day` (0 to 6) of weekly time table `table` (0 to 15), as a DayTable."""
        return self._get_day("get_time_table", _WEEKLY, address, table, day)

    def set_time_table(self, address, table, day, periods):
        """Writes up to eight `periods` into day `day` of weekly time table `table`.

        The other six days of the table keep their periods.
        """
        self._set_day("set_time_table", _WEEKLY, address, table, day, periods)

    def get_time_table_week(self, address, table):
        """The seven days of weekly time table `table`, as a list of DayTable."""
        return self._get_week("get_time_table_week", _WEEKLY, address, table)

    def set_time_table_week(self, address, table, week):
        """Writes the seven days of weekly time table `table`: `week` holds one period list a day."""
        self._set_week("set_time_table_week", _WEEKLY, address, table, week)

    # ---- holiday time tables (0 to 7): one day each ----

    def get_holiday_time_table(self, address, table):
        """The periods of holiday time table `table` (0 to 7), as a DayTable of day 0.

        A holiday time table holds one day, the same for every holiday.
        """
        return self._get_day("get_holiday_time_table", _HOLIDAY_TIMES, address, table, 0)

    def set_holiday_time_table(self, address, table, periods):
        """Writes up to eight `periods` into holiday time table `table` (0 to 7)."""
        self._set_day("set_holiday_time_table", _HOLIDAY_TIMES, address, table, 0, periods)

    # ---- always-open tables (0 to 7) ----

    def get_always_open(self, address, table, day):
        """Day `day` (0 to 6) of always-open table `table` (0 to 7), as a DayTable."""
        return self._get_day("get_always_open", _ALWAYS_OPEN, address, table, day)

    def set_always_open(self, address, table, day, periods):
        """Writes up to eight `periods` into day `day` of always-open table `table`."""
        self._set_day("set_always_open", _ALWAYS_OPEN, address, table, day, periods)

    def get_always_open_week(self, address, table):
        """The seven days of always-open table `table`, as a list of DayTable."""
        return self._get_week("get_always_open_week", _ALWAYS_OPEN, address, table)

    def set_always_open_week(self, address, table, week):
        """Writes the seven days of always-open table `table`: one period list a day."""
        self._set_week("set_always_open_week", _ALWAYS_OPEN, address, table, week)

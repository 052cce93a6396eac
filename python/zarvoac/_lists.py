"""The holiday list (128 dates) and the chain table (two groups)."""

from . import _checks
from ._base import CommandBase
from ._native import ChainRecord, HolidayRecord
from .records import ChainGroup, Holiday

HOLIDAY_COUNT = 128
_READ, _WRITE = 0, 1


def _holiday_index(index):
    return _checks.integer(index, "holiday index", 0, HOLIDAY_COUNT - 1)


class ListCommands(CommandBase):
    """The holiday list and the chain table.

    The Port's line reads the whole holiday list of a controller once and answers
    later reads for that controller from its own copy, so listing all 128
    dates costs one exchange; that copy is not refreshed when the list
    changes by other means (a reset, another host) until the list of another
    controller is read or a new Port is opened.
    """

    def get_holiday(self, address, index):
        """Entry `index` (0 to 127) of the holiday list, as a Holiday.

        An unused entry reads as 1 January.
        """
        record = HolidayRecord()
        self._call("get_holiday", "HolidayTable", address, _holiday_index(index), record,
                   _READ)
        return Holiday(record[0], record[1])

    def set_holiday(self, address, index, holiday):
        """Writes `holiday` (a Holiday or a (month, day) pair) into entry `index`."""
        record = Holiday.of(holiday).to_record()
        self._call("set_holiday", "HolidayTable", address, _holiday_index(index), record,
                   _WRITE)

    def clear_holiday(self, address, index):
        """Marks entry `index` of the holiday list unused."""
        record = HolidayRecord()  # month 0, day 0: no date
        self._call("clear_holiday", "HolidayTable", address, _holiday_index(index), record,
                   _WRITE)

    def holidays(self, address):
        """All 128 entries of the holiday list, in order; unused ones read as 1 January."""
        return [self.get_holiday(address, index) for index in range(HOLIDAY_COUNT)]

    def get_chain_group(self, address, group):
        """Group `group` (0 or 1) of the chain table, as a ChainGroup."""
        record = ChainRecord()
        self._call("get_chain_group", "ChianTable", address, record,
                   _checks.integer(group, "group"), _READ)
        return ChainGroup.from_record(record)

    def set_chain_group(self, address, group, chain_group):
        """Writes `chain_group` into group `group` (0 or 1) of the chain table.

        `chain_group` is a ChainGroup or an (entries, value) pair. The library
        sends only this group: the six bytes of the other group go as zeros.
        """
        record = ChainGroup.of(chain_group).to_record()
        self._call("set_chain_group", "ChianTable", address, record,
                   _checks.integer(group, "group"), _WRITE)

"""The controller's event log: block and record-by-record reads, clear, restore."""

import ctypes

from . import _checks
from ._base import CommandBase
from ._native import EVENT_BLOCK_RECORDS, EventRecord
from .records import Event

BLOCK_COUNT = 256


class EventCommands(CommandBase):
    """Reading and managing a controller's event log."""

    def read_event_block(self, address, block):
        """The events of block `block` (0 to 255) of the log, up to 192.

        Empty slots of the block are left out.
        """
        block = _checks.integer(block, "block", 0, BLOCK_COUNT - 1)
        records = (EventRecord * EVENT_BLOCK_RECORDS)()
        count = self._call("read_event_block", "ReadRecordOfBlock", address, block, records)
        return [Event.from_record(records[i]) for i in range(count)]

    def events(self, address):
        """Iterates over the whole log, block by block from block 0.

        A block that holds fewer than 192 events ends the log.
        """
        for block in range(BLOCK_COUNT):
            events = self.read_event_block(address, block)
            yield from events
            if len(events) < EVENT_BLOCK_RECORDS:
                return

    def _read_single(self, operation, function, address):
        record = EventRecord()
        self._call(operation, function, address, ctypes.byref(record))
        return Event.from_record(record)

    def read_event(self, address):
        """The event at the controller's read position."""
        return self._read_single("read_event", "ReadOne", address)

    def next_event(self, address):
        """Moves the controller's read position on and returns the event there."""
        return self._read_single("next_event", "MoveNext", address)

    def clear_events(self, address):
        """Clears the controller's event log."""
        self._call("clear_events", "ClearRecord", address)

    def restore_events(self, address):
        """Restores the controller's event log after a clear."""
        self._call("restore_events", "RestoreRecord", address)

"""Doors: codes, access and alarm modes, timings, interlocks, links and remote control.

Doors are numbered 0 to 3; another door number raises InvalidArgument.
"""

import ctypes

from . import _checks
from ._base import CommandBase
from .errors import invalid
from .records import AccessMode, AlarmMode

_READ, _WRITE = 0, 1
_DOOR_COUNT = 4
_INTERLOCK_BITS = 32


def _door(door):
    # The library judges the range; this only keeps ctypes from cutting
    # a large number down to a valid door.
    return _checks.integer(door, "door")


def _code_buffer(code, name):
    """A writable copy of an eight-hex-digit code (the library upper-cases it in place)."""
    return ctypes.create_string_buffer(_checks.hex_text(code, name, 8))


def _lock_flags(mask):
    mask = _checks.integer(mask, "interlock mask", 0, 2**_INTERLOCK_BITS - 1)
    return bytes(mask >> i & 1 for i in range(_INTERLOCK_BITS))


class DoorCommands(CommandBase):
    """Configuring doors and acting on them from the host."""

    def set_door_password(self, address, door, password):
        """Sets the password (eight hex digits) that opens door `door`."""
        buffer = _code_buffer(password, "password")
        self._call("set_door_password", "PassWordOpenDoor", address, _door(door), buffer)

    def set_duress_code(self, address, code):
        """Sets the controller's duress code (eight hex digits), valid for every door."""
        buffer = _code_buffer(code, "duress code")
        self._call("set_duress_code", "MenaceCode", address, buffer)

    def _get_mode(self, operation, function, mode_class, address, door):
        record = mode_class.blank_record()
        self._call(operation, function, address, _door(door), ctypes.byref(record), _READ)
        return mode_class.from_record(record)

    def _set_mode(self, operation, function, mode_class, address, door, mode):
        if not isinstance(mode, mode_class):
            raise invalid(operation, f"mode must be an {mode_class.__name__}, not {mode!r}")
        self._call(operation, function, address, _door(door), ctypes.byref(mode.to_record()),
                   _WRITE)

    def get_access_mode(self, address, door):
        """Door `door`'s access mode, as an AccessMode."""
        return self._get_mode("get_access_mode", "AccessLevel", AccessMode, address, door)

    def set_access_mode(self, address, door, mode):
        """Writes `mode` (an AccessMode) as door `door`'s access mode."""
        self._set_mode("set_access_mode", "AccessLevel", AccessMode, address, door, mode)

    def get_alarm_mode(self, address, door):
        """Door `door`'s alarm mode, as an AlarmMode."""
        return self._get_mode("get_alarm_mode", "WarnLevel", AlarmMode, address, door)

    def set_alarm_mode(self, address, door, mode):
        """Writes `mode` (an AlarmMode) as door `door`'s alarm mode."""
        self._set_mode("set_alarm_mode", "WarnLevel", AlarmMode, address, door, mode)

    def set_door_delays(self, address, delays):
        """Sends the four door timing values `delays` (0 to 255 each), door 0 first.

        Their unit and meaning are the controller's business.
        """
        delays = list(delays)
        if len(delays) != _DOOR_COUNT:
            raise invalid("set_door_delays", f"four timing values are needed, not {len(delays)}")
        values = (ctypes.c_int32 * _DOOR_COUNT)(
            *(_checks.integer(v, "timing value", 0, 255) for v in delays)
        )
        self._call("set_door_delays", "Delay", address, values, 0)

    def set_interlock(self, address, door, mask):
        """Sets door `door`'s 32-bit interlock mask (bit i stands for door i)."""
        flags = _lock_flags(mask)
        self._call("set_interlock", "MutualLock", address, _door(door), flags)

    def open_door(self, address, door, param=0):
        """Opens door `door`; `param` (0 to 255) goes with the command for the controller."""
        param = _checks.integer(param, "open parameter", 0, 255)
        self._call("open_door", "RemoteOpenDoor", address, _door(door), param)

    def close_door(self, address, door):
        """Closes door `door`."""
        self._call("close_door", "RemoteCloseDoor", address, _door(door))

    def clear_alarm(self, address, door):
        """Clears door `door`'s alarm."""
        self._call("clear_alarm", "RemoteClearWarn", address, _door(door))

    def link_time_table(self, address, door, slot, table):
        """Links slot `slot` (0 to 15) of door `door` to weekly time table `table` (0 to 15).

        The command carries all 16 slots of the door: the other 15 go as 0.
        """
        self._call("link_time_table", "RelationTimeTable", address, _door(door),
                   _checks.integer(slot, "slot"), _checks.integer(table, "table"))

    def link_holiday_time_table(self, address, door, slot, table):
        """Links slot `slot` (0 to 15) of door `door` to holiday time table `table`.

        The command carries all 16 slots of the door: the other 15 go as 0.
        """
        self._call("link_holiday_time_table", "RelationHolidayTimeTable", address,
                   _door(door), _checks.integer(slot, "slot"), _checks.integer(table, "table"))

    def link_always_open(self, address, door, table):
        """Links door `door` to always-open table `table`."""
        self._call("link_always_open", "RelationAlwaysOpenOfWeek", address, _door(door),
                   _checks.integer(table, "table"))

"""The serial port through which the library reaches its controllers."""

import os
import threading
import weakref

from . import _checks
from ._cards import CardCommands
from ._doors import DoorCommands
from ._events import EventCommands
from ._lists import ListCommands
from ._management import ManagementCommands
from ._native import TimeTableRecord, load_library
from ._tables import TableCommands
from .errors import CannotOpen, PortInUse, error_for

__all__ = ["Port"]

_claim_lock = threading.Lock()
_active_claim = None


class _Claim:
    """The one open port of this process, held by one Port at a time."""

    def __init__(self, device, baud):
        self.device = device
        self.baud = baud


def _take(claim):
    global _active_claim
    with _claim_lock:
        if _active_claim is not None:
            raise PortInUse(
                f"cannot open {claim.device}: {_active_claim.device} is already open in this "
                "process. The library holds one serial port per process; close the other Port "
                "first (or use one Port for every controller on the line)."
            )
        _active_claim = claim


def _give_back(library, claim):
    """Closes the library's port if `claim` still holds it."""
    global _active_claim
    with _claim_lock:
        if _active_claim is claim:
            library.Zarvo_CloseCom()
            _active_claim = None


def _forget_remembered_tables(library):
    """Empties the library's copies of the last time table and holiday list read.

    The library answers a read of the table it read last from its copy, and
    keeps that copy across ports; a new Port must not report tables read
    through an earlier one, perhaps from another line. Called while no port
    is open: a read whose request differs from the one that filled a copy
    fails at once, nothing being sendable, and a failed read empties the
    copy. Of two reads for different addresses at least one differs.
    """
    record = TimeTableRecord()
    for address in (0, 1):
        library.Zarvo_TimeTable(address, 0, record, 0)
        library.Zarvo_HolidayTable(address, 0, record, 0)


class Port(
    ManagementCommands,
    EventCommands,
    CardCommands,
    TableCommands,
    ListCommands,
    DoorCommands,
):
    """An open serial line to the door controllers on it.

    The port opens when the Port is made and closes with close(), at the end
    of a `with` block, or when the Port is garbage-collected. Every command
    names the bus address of the controller it is meant for (1 to 255; 0
    lets whichever controller answers reply).

    The library holds one serial port per process: making a second Port
    while one is open raises PortInUse. One Port serves every controller on
    its line, and may be shared by threads: the library runs one call at a
    time.

    Failed commands raise ZarvoError subclasses that carry the library's
    result code and its name.
    """

    def __init__(self, device, baud=9600):
        """Opens `device` (e.g. "/dev/ttyUSB0" or "COM1") at `baud` bit/s, 8N1.

        Raises CannotOpen when the device cannot be opened, PortSetupError
        when it cannot be configured, PortInUse when another Port is open,
        and LibraryNotFound when the library cannot be loaded.
        """
        self.device = os.fsdecode(device)
        self.baud = _checks.integer(baud, "baud", 1)
        self._library = load_library()
        claim = _Claim(self.device, self.baud)
        _take(claim)
        self._closer = weakref.finalize(self, _give_back, self._library, claim)
        self._library.Zarvo_CloseCom()
        _forget_remembered_tables(self._library)
        result = self._library.Zarvo_OpenCom(os.fsencode(device), self.baud)
        if result != 0:
            # A port that opened but could not be configured stays held by
            # the library until closed.
            self._closer()
            raise self._open_error(result)

    def _open_error(self, result):
        operation = f"opening {self.device} at {self.baud} bit/s"
        if result == -1:
            return CannotOpen(-1, None, f"{operation}: the device cannot be opened")
        return error_for(result, operation)

    @property
    def is_open(self):
        """True until the port is closed."""
        return self._closer.alive

    def close(self):
        """Closes the port; later commands on this Port raise NotOpen. Closing twice is harmless."""
        self._closer()

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        self.close()

    def __repr__(self):
        state = "open" if self.is_open else "closed"
        return f"<zarvoac.Port {self.device!r} at {self.baud} bit/s, {state}>"

"""Python interface to ZarvoAC, the library for door access controllers on a serial line.

Example::

    import zarvoac
    with zarvoac.Port("/dev/ttyUSB0", baud=9600) as port:
        if port.probe(1):
            for event in port.events(1):
                print(event.when, event.value1, event.number1)

The shared library is loaded from the path in the environment variable
ZARVOAC_LIBRARY, else under its usual names (libzarvoac.so.0, ZarvoAC.dll)
through the system loader. The library holds one serial port per process,
so only one Port can be open at a time. Every failed call raises a
ZarvoError carrying the library's result code and its name (RESULT_NAMES).
"""

from ._native import LibraryNotFound, load_library
from .errors import (
    RESULT_NAMES,
    BadReply,
    CannotOpen,
    InvalidArgument,
    NoReply,
    NotOpen,
    PortInUse,
    PortSetupError,
    Refused,
    ZarvoError,
)
from .port import Port
from .records import (
    AccessMode,
    AlarmMode,
    Card,
    ChainGroup,
    DayTable,
    DoubleCard,
    Event,
    Holiday,
    Period,
)

__all__ = [
    "AccessMode",
    "AlarmMode",
    "BadReply",
    "CannotOpen",
    "Card",
    "ChainGroup",
    "DayTable",
    "DoubleCard",
    "Event",
    "Holiday",
    "InvalidArgument",
    "LibraryNotFound",
    "NoReply",
    "NotOpen",
    "Period",
    "Port",
    "PortInUse",
    "PortSetupError",
    "RESULT_NAMES",
    "Refused",
    "ZarvoError",
    "load_library",
]

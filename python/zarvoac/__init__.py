"""Python interface to ZarvoAC, the library for door access controllers on a serial line.

Example::

    import zarvoac
    with zarvoac.Port("/dev/ttyUSB0", baud=9600) as port:
        if port.probe(1):
            for event in port.events(1):
                print(event.when, event.value1, event.number1)

The shared library is loaded from the path in the environment variable
ZARVOAC_LIBRARY, else from the copy installed inside this package, else
under its usual names (libzarvoac.so.0, ZarvoAC.dll) through the system
loader. Each Port is a line of its own, so several can be open at once;
a Port can also run over an object of the application that carries the
bytes (Port(channel=...)). Every failed call raises a ZarvoError carrying
the library's result code and its name (RESULT_NAMES).
"""

from ._native import LibraryNotFound, library_version, load_library
from ._version import package_version
from .errors import (
    RESULT_NAMES,
    BadReply,
    CannotOpen,
    InvalidArgument,
    NoReply,
    NotOpen,
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

__version__ = package_version()

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
    "PortSetupError",
    "RESULT_NAMES",
    "Refused",
    "ZarvoError",
    "library_version",
    "load_library",
]

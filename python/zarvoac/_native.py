"""Loading the shared library and declaring its C interface.

The library is looked for, in order, at the path in the environment variable
ZARVOAC_LIBRARY, then under its usual names through the system loader. Every
exported function gets its argument and result types here, so a call with a
wrong argument type fails in Python instead of reaching the library.
"""

import ctypes
import ctypes.util
import os
import struct
import sys
import threading

__all__ = [
    "AccessLevelRecord",
    "CardRecord",
    "ChainRecord",
    "DoubleCardRecord",
    "EVENT_BLOCK_RECORDS",
    "EventRecord",
    "HolidayRecord",
    "LibraryNotFound",
    "TimeTableRecord",
    "VERSION_BYTES",
    "WarnLevelRecord",
    "load_library",
]

LIBRARY_ENV = "ZARVOAC_LIBRARY"

# A block read writes up to this many records; the version read up to this
# many bytes. The caller's storage must hold them.
EVENT_BLOCK_RECORDS = 192
VERSION_BYTES = 32

_i32 = ctypes.c_int32


class LibraryNotFound(OSError):
    """The shared library could not be found or loaded."""


class EventRecord(ctypes.Structure):
    """One event of the controller's log, as the library writes it."""

    _fields_ = [
        ("number1", ctypes.c_char * 16),
        ("number2", ctypes.c_char * 16),
        ("date", ctypes.c_char * 16),
        ("time", ctypes.c_char * 16),
        ("value1", _i32),
        ("value2", _i32),
    ]


class CardRecord(ctypes.Structure):
    """A single card entry."""

    _fields_ = [
        ("cardNumber", ctypes.c_char * 32),
        ("pin", ctypes.c_char * 8),
        ("flags", ctypes.c_char * 32),
        ("reserved", ctypes.c_char * 32),
        ("value1", _i32),
        ("value2", _i32),
        ("year", _i32),
        ("month", _i32),
        ("day", _i32),
    ]


class DoubleCardRecord(ctypes.Structure):
    """A double-card entry: two card numbers in one entry."""

    _fields_ = [
        ("cardNumber1", ctypes.c_char * 16),
        ("cardNumber2", ctypes.c_char * 16),
        ("reservedPin", ctypes.c_char * 8),
        ("flags", ctypes.c_char * 32),
        ("reserved", ctypes.c_char * 32),
        ("reservedValue1", _i32),
        ("value2", _i32),
        ("year", _i32),
        ("month", _i32),
        ("day", _i32),
    ]


class AccessLevelRecord(ctypes.Structure):
    """A door's access mode; each field is one bit."""

    _fields_ = [
        (name, _i32)
        for name in (
            "firstBit0", "firstBit1", "firstBit2", "firstBit3", "firstBit4",
            "firstBit5", "firstBit7", "secondBit0", "secondBit7",
        )
    ]


class WarnLevelRecord(ctypes.Structure):
    """A door's alarm mode; one-bit fields and two 2-bit fields."""

    _fields_ = [
        (name, _i32)
        for name in (
            "firstBit0", "firstBit1", "firstBit2", "firstBit3", "firstBit4",
            "firstBit5", "firstBit6", "secondBits0to1", "secondBits2to3",
            "secondBit4", "secondBit5",
        )
    ]


TimeTableRecord = _i32 * 33
HolidayRecord = _i32 * 2
ChainRecord = _i32 * 5


def _check_layout():
    expected = {
        EventRecord: 72,
        CardRecord: 124,
        DoubleCardRecord: 124,
        AccessLevelRecord: 9 * 4,
        WarnLevelRecord: 11 * 4,
        TimeTableRecord: 33 * 4,
        HolidayRecord: 2 * 4,
        ChainRecord: 5 * 4,
    }
    for record, size in expected.items():
        if ctypes.sizeof(record) != size:
            raise ImportError(
                f"{record.__name__} is {ctypes.sizeof(record)} bytes, the library expects {size}"
            )


_check_layout()

_p = ctypes.POINTER
_char_p = ctypes.c_char_p

# name: (argument types); every function returns a 32-bit signed result.
_PROTOTYPES = {
    "Zarvo_OpenCom": (_char_p, _i32),
    "Zarvo_CloseCom": (),
    "Zarvo_SearchAR": (_i32,),
    "Zarvo_ChangeAR": (_i32, _i32),
    "Zarvo_Ver": (_i32, _char_p),
    "Zarvo_Time": (_i32,),
    "Zarvo_ChangeBaud": (_i32, _i32),
    "Zarvo_Init": (_i32,),
    "Zarvo_DeviceInformation": (_i32, _p(_i32)),
    "Zarvo_ReadRecordOfBlock": (_i32, _i32, _p(EventRecord)),
    "Zarvo_ReadOne": (_i32, _p(EventRecord)),
    "Zarvo_MoveNext": (_i32, _p(EventRecord)),
    "Zarvo_ClearRecord": (_i32,),
    "Zarvo_RestoreRecord": (_i32,),
    "Zarvo_RestoreMaxRecord": (_i32,),
    "Zarvo_Registry": (_i32, _p(CardRecord), _p(ctypes.c_uint32), _i32, _i32),
    "Zarvo_RegistryDouble": (_i32, _p(DoubleCardRecord), _p(ctypes.c_uint32), _i32),
    "Zarvo_TimeTable": (_i32, _i32, _p(_i32), _i32),
    "Zarvo_HolidayTimeTable": (_i32, _i32, _p(_i32), _i32),
    "Zarvo_AlwaysOpenOfWeek": (_i32, _i32, _p(_i32), _i32),
    "Zarvo_HolidayTable": (_i32, _i32, _p(_i32), _i32),
    "Zarvo_ChianTable": (_i32, _p(_i32), _i32, _i32),
    "Zarvo_PassWordOpenDoor": (_i32, _i32, _char_p),
    "Zarvo_AccessLevel": (_i32, _i32, _p(AccessLevelRecord), _i32),
    "Zarvo_WarnLevel": (_i32, _i32, _p(WarnLevelRecord), _i32),
    "Zarvo_Delay": (_i32, _p(_i32), _i32),
    "Zarvo_MenaceCode": (_i32, _char_p),
    "Zarvo_MutualLock": (_i32, _i32, _char_p),
    "Zarvo_RemoteOpenDoor": (_i32, _i32, _i32),
    "Zarvo_RemoteCloseDoor": (_i32, _i32),
    "Zarvo_RemoteClearWarn": (_i32, _i32),
    "Zarvo_RelationTimeTable": (_i32, _i32, _i32, _i32),
    "Zarvo_RelationHolidayTimeTable": (_i32, _i32, _i32, _i32),
    "Zarvo_RelationAlwaysOpenOfWeek": (_i32, _i32, _i32),
}

_USUAL_NAMES = ("libzarvoac.so.0", "libzarvoac.so", "libzarvoac.0.dylib", "libzarvoac.dylib")
_WINDOWS_NAME = "ZarvoAC.dll"

_lock = threading.Lock()
_loaded = None


def _loader():
    """The ctypes loader class: __stdcall functions on 32-bit Windows."""
    if sys.platform == "win32" and struct.calcsize("P") == 4:
        return ctypes.WinDLL
    return ctypes.CDLL


def _candidates():
    path = os.environ.get(LIBRARY_ENV)
    if path:
        return [path]
    names = [_WINDOWS_NAME] if sys.platform == "win32" else list(_USUAL_NAMES)
    found = ctypes.util.find_library("zarvoac") or ctypes.util.find_library("ZarvoAC")
    if found:
        names.append(found)
    return names


def _open_first(candidates):
    loader = _loader()
    failures = []
    for name in candidates:
        try:
            return loader(name)
        except OSError as error:
            failures.append(f"{name}: {error}")
    raise LibraryNotFound(
        "cannot load the ZarvoAC library; set "
        f"{LIBRARY_ENV} to its path. Tried: " + "; ".join(failures)
    )


def _declare(library):
    for name, argtypes in _PROTOTYPES.items():
        function = getattr(library, name)
        function.argtypes = argtypes
        function.restype = _i32
    return library


def load_library():
    """Returns the loaded library, loading it on first use.

    Raises LibraryNotFound when it cannot be loaded, or when it lacks one of
    the exported functions.
    """
    global _loaded
    with _lock:
        if _loaded is None:
            library = _open_first(_candidates())
            try:
                _loaded = _declare(library)
            except AttributeError as error:
                raise LibraryNotFound(f"the loaded library lacks a function: {error}") from None
        return _loaded

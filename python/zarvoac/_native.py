"""Loading the shared library and declaring its C interface.

The library is looked for, in order, at the path in the environment variable
ZARVOAC_LIBRARY, then next to this module (where an installed package keeps
its own copy), then under its usual names through the system loader. Every
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
    "ChannelRecord",
    "ChannelClose",
    "ChannelRead",
    "ChannelWrite",
    "DoubleCardRecord",
    "EVENT_BLOCK_RECORDS",
    "EventRecord",
    "HolidayRecord",
    "LibraryNotFound",
    "LineHandle",
    "TimeTableRecord",
    "TraceHook",
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
# The operations, each exported twice: Zarvo_<Op> on the default line and
# Zarvo_Line<Op> with a line handle in front of these arguments.
_OPERATIONS = {
    "OpenCom": (_char_p, _i32),
    "CloseCom": (),
    "SearchAR": (_i32,),
    "ChangeAR": (_i32, _i32),
    "Ver": (_i32, _char_p),
    "Time": (_i32,),
    "ChangeBaud": (_i32, _i32),
    "Init": (_i32,),
    "DeviceInformation": (_i32, _p(_i32)),
    "ReadRecordOfBlock": (_i32, _i32, _p(EventRecord)),
    "ReadOne": (_i32, _p(EventRecord)),
    "MoveNext": (_i32, _p(EventRecord)),
    "ClearRecord": (_i32,),
    "RestoreRecord": (_i32,),
    "RestoreMaxRecord": (_i32,),
    "Registry": (_i32, _p(CardRecord), _p(ctypes.c_uint32), _i32, _i32),
    "RegistryDouble": (_i32, _p(DoubleCardRecord), _p(ctypes.c_uint32), _i32),
    "TimeTable": (_i32, _i32, _p(_i32), _i32),
    "HolidayTimeTable": (_i32, _i32, _p(_i32), _i32),
    "AlwaysOpenOfWeek": (_i32, _i32, _p(_i32), _i32),
    "HolidayTable": (_i32, _i32, _p(_i32), _i32),
    "ChianTable": (_i32, _p(_i32), _i32, _i32),
    "PassWordOpenDoor": (_i32, _i32, _char_p),
    "AccessLevel": (_i32, _i32, _p(AccessLevelRecord), _i32),
    "WarnLevel": (_i32, _i32, _p(WarnLevelRecord), _i32),
    "Delay": (_i32, _p(_i32), _i32),
    "MenaceCode": (_i32, _char_p),
    "MutualLock": (_i32, _i32, _char_p),
    "RemoteOpenDoor": (_i32, _i32, _i32),
    "RemoteCloseDoor": (_i32, _i32),
    "RemoteClearWarn": (_i32, _i32),
    "RelationTimeTable": (_i32, _i32, _i32, _i32),
    "RelationHolidayTimeTable": (_i32, _i32, _i32, _i32),
    "RelationAlwaysOpenOfWeek": (_i32, _i32, _i32),
}


class _ZarvoLine(ctypes.Structure):
    """The library's line; opaque, only ever used through a pointer."""


LineHandle = ctypes.POINTER(_ZarvoLine)


def _function_type():
    """The ctypes callback factory: __stdcall on 32-bit Windows, as ZARVO_CALL."""
    if sys.platform == "win32" and struct.calcsize("P") == 4:
        return ctypes.WINFUNCTYPE
    return ctypes.CFUNCTYPE


_callback = _function_type()
_bytes_p = _p(ctypes.c_uint8)

ChannelWrite = _callback(_i32, ctypes.c_void_p, _bytes_p, _i32)
ChannelRead = _callback(_i32, ctypes.c_void_p, _bytes_p, _i32, ctypes.c_uint32)
ChannelClose = _callback(None, ctypes.c_void_p)
TraceHook = _callback(None, ctypes.c_void_p, _i32, ctypes.c_uint64, _bytes_p, _i32)


class ChannelRecord(ctypes.Structure):
    """The functions through which a line reaches a link the application carries."""

    _fields_ = [
        ("context", ctypes.c_void_p),
        ("write", ChannelWrite),
        ("read", ChannelRead),
        ("discardInput", ChannelClose),
        ("close", ChannelClose),
    ]


def _prototypes():
    """name: (result type, argument types) of every function the binding uses."""
    prototypes = {}
    for operation, argtypes in _OPERATIONS.items():
        prototypes[f"Zarvo_{operation}"] = (_i32, argtypes)
        prototypes[f"Zarvo_Line{operation}"] = (_i32, (LineHandle, *argtypes))
    prototypes.update({
        "Zarvo_LineCreate": (LineHandle, ()),
        "Zarvo_LineDestroy": (None, (LineHandle,)),
        "Zarvo_DefaultLine": (LineHandle, ()),
        "Zarvo_LineOpenChannel": (_i32, (LineHandle, _p(ChannelRecord))),
        "Zarvo_LineOpenError": (_i32, (LineHandle, _char_p, _i32)),
        "Zarvo_LineLastError": (_i32, (LineHandle, _char_p, _i32)),
        "Zarvo_LineSetOption": (_i32, (LineHandle, _char_p, _char_p)),
        "Zarvo_LineSetTrace": (_i32, (LineHandle, TraceHook, ctypes.c_void_p)),
        "Zarvo_LibraryVersion": (ctypes.c_char_p, ()),
    })
    return prototypes


_PACKAGE_DIR = os.path.dirname(os.path.abspath(__file__))
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
    bundled = [os.path.join(_PACKAGE_DIR, name) for name in names]
    names = [path for path in bundled if os.path.exists(path)] + names
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
    for name, (restype, argtypes) in _prototypes().items():
        function = getattr(library, name)
        function.argtypes = argtypes
        function.restype = restype
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


def library_version():
    """The loaded library's version, "MAJOR.MINOR.PATCH"."""
    return load_library().Zarvo_LibraryVersion().decode("ascii")

"""Seeing what happens on a Port's line: capture files and health counters.

A mixin for Port: it works on the line the Port owns (`self._line`, whose
use() yields the handle while holding the Port's lock) through the library
the Port loaded (`self._library`), and declares the two functions it calls
on private function objects, so it changes nothing the rest of the binding
declared.
"""

import ctypes
import os
import threading

from .errors import CannotOpen, error_for

__all__ = ["DiagnosticCommands", "LineStats", "STAT_NAMES"]

#: The counters of a line, in the order of the library's ZarvoLineStats.
STAT_NAMES = (
    "exchanges",
    "successes",
    "refusals",
    "no_reply",
    "no_start_byte",
    "mismatches",
    "not_open",
    "too_long",
    "silences",
    "links_lost",
    "noise_bytes",
    "bad_byte_frames",
    "echoes_stripped",
    "reconnects",
)


class LineStats(ctypes.Structure):
    """ZarvoLineStats: 32-bit counters, each stopping at 4294967295."""

    _fields_ = [(name, ctypes.c_uint32) for name in STAT_NAMES]


assert ctypes.sizeof(LineStats) == 14 * 4, "ZarvoLineStats layout"

_functions = {}
_functions_lock = threading.Lock()


def _function(library, name, argtypes):
    """`name` from `library` with its own prototype (library[name] is a fresh object)."""
    key = (id(library), name)
    with _functions_lock:
        function = _functions.get(key)
        if function is None:
            function = library[name]
            function.argtypes = argtypes
            function.restype = ctypes.c_int32
            _functions[key] = function
    return function


def _capture_function(library):
    return _function(library, "Zarvo_LineCapture", (ctypes.c_void_p, ctypes.c_char_p))


def _stats_function(library):
    return _function(library, "Zarvo_LineStats",
                     (ctypes.c_void_p, ctypes.POINTER(LineStats), ctypes.c_int32))


def _handle(line):
    """The line handle as a plain address, whatever ctypes type holds it."""
    if isinstance(line, int):
        return line
    return ctypes.cast(line, ctypes.c_void_p).value


class DiagnosticCommands:
    """Capture files and health counters of the Port's line."""

    _library = None
    _line = None

    def capture(self, path):
        """Writes every frame of the line to the capture file `path` from now on.

        The file (classic pcap, link type USER0) opens in Wireshark with the
        dissector tools/wireshark/zarvoac.lua installed; each frame is
        written as it happens. A new capture replaces a running one; None
        stops. Raises CannotOpen when the file cannot be created (a running
        capture then goes on).
        """
        encoded = None if path is None else os.fsencode(path)
        with self._line.use("starting a capture") as line:
            result = _capture_function(self._library)(_handle(line), encoded)
        if result == -1:
            raise CannotOpen(-1, None, f"cannot create the capture file {path}")
        if result != 0:
            raise error_for(result, "starting a capture")

    def stop_capture(self):
        """Stops a running capture; harmless when none runs."""
        self.capture(None)

    def stats(self, reset=False):
        """The line's health counters as a dict (see STAT_NAMES); `reset` sets them to 0."""
        counters = LineStats()
        with self._line.use("reading the line counters") as line:
            result = _stats_function(self._library)(_handle(line), ctypes.byref(counters),
                                                    1 if reset else 0)
        if result != 0:
            raise error_for(result, "reading the line counters")
        return {name: getattr(counters, name) for name in STAT_NAMES}

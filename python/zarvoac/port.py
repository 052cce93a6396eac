"""A line to door controllers: a serial device, a device server, or the application's own link."""

import os

from . import _checks
from ._cards import CardCommands
from ._channel import ChannelAdapter
from ._diagnostics import DiagnosticCommands
from ._doors import DoorCommands
from ._events import EventCommands
from ._line import NativeLine
from ._lists import ListCommands
from ._management import ManagementCommands
from ._native import load_library
from ._tables import TableCommands
from .errors import CannotOpen, error_for, invalid

__all__ = ["Port"]


def _option_text(value):
    """An option value as the library spells it: True/False as on/off, numbers as digits."""
    if isinstance(value, bool):
        return "on" if value else "off"
    return str(value)


class Port(
    ManagementCommands,
    EventCommands,
    CardCommands,
    TableCommands,
    ListCommands,
    DoorCommands,
    DiagnosticCommands,
):
    """An open line to the door controllers on it.

    Each Port has a line of its own in the library, with its own port, lock,
    table copies and options, so any number of Ports may be open at once,
    on different devices or device servers. The port opens when the Port is
    made and closes with close(), at the end of a `with` block, or when the
    Port is garbage-collected. Every command names the bus address of the
    controller it is meant for (1 to 255; 0 lets whichever controller
    answers reply).

    One Port serves every controller on its line, and may be shared by
    threads: it runs one call at a time. Failed commands raise ZarvoError
    subclasses that carry the library's result code and its name.
    """

    def __init__(self, device=None, baud=9600, *, channel=None, options=None):
        """Opens `device` at `baud` bit/s, 8N1, or the application's `channel`.

        `device` is a serial device ("/dev/ttyUSB0", "COM1"), a device
        server over raw TCP ("tcp://HOST:PORT") or over Telnet with COM-port
        control ("rfc2217://HOST:PORT"), optionally followed by line options
        for this open ("/dev/ttyUSB0?echo=on&wait=200").

        `channel` is an object that carries the bytes itself:
        write(data) returns the count written (None: all of it);
        read(max_bytes, timeout_s) returns up to max_bytes bytes, empty when
        nothing came within timeout_s seconds, and None (or raises) when
        the link is gone; discard_input() and close() are optional. Its
        methods are called on the thread of the command, and must not call
        back into this Port. What they raise fails the command (NO_REPLY,
        with their exception as the cause) and goes no further.

        `options` maps line options to values (see set_option), set before
        the port opens and kept for this Port.

        Raises CannotOpen when the port cannot be opened (its message says
        why, as the library tells it), PortSetupError when it cannot be
        configured, InvalidArgument for an unknown option, and
        LibraryNotFound when the library cannot be loaded, and ValueError
        for a port name with a NUL character inside.
        """
        if (device is None) == (channel is None):
            raise TypeError("Port needs either a device name or a channel")
        # The library reads the name up to its first NUL: the rest would be
        # dropped without a word and another device opened.
        if channel is None and b"\0" in os.fsencode(device):
            raise ValueError(f"port name {device!r} holds a NUL character")
        self.baud = _checks.integer(baud, "baud", 1)
        self.device = "channel" if channel is not None else os.fsdecode(device)
        self._over_channel = channel is not None
        #: What the library noted about an open that succeeded with a
        #: reservation (a device server without COM-port control); "" when none.
        self.open_note = ""
        self._library = load_library()
        self._line = NativeLine(self._library)
        try:
            for key, value in (options or {}).items():
                self.set_option(key, value)
            if channel is not None:
                self._open_channel(channel)
            else:
                self._open_device(device)
        except BaseException:
            self._line.close()
            raise

    def _open_device(self, device):
        with self._line.use("opening") as line:
            result = self._library.Zarvo_LineOpenCom(line, os.fsencode(device), self.baud)
        reason = self._line.open_error()
        if result == 0:
            self.open_note = reason
            return
        operation = f"opening {self.device} at {self.baud} bit/s"
        if result == -1:
            raise CannotOpen(-1, None, f"{operation}: {reason or 'the device cannot be opened'}")
        raise error_for(result, operation, reason or None)

    def _open_channel(self, channel):
        result = self._line.open_channel(ChannelAdapter(channel))
        if result != 0:
            raise error_for(result, "opening a channel", self._line.open_error() or None)

    def set_option(self, key, value):
        """Sets a line option for this Port until changed.

        echo: "auto" (default) drops the echo of the request that some
        adapters return before the reply; "on" (or True) expects it and
        fails with MISMATCH when it differs; "off" (or False) takes every
        byte as reply. wait: extra milliseconds for the first reply byte,
        for links with latency. rs485: "rts" for RS-485 direction control by
        RTS, "none" (default); rts_before, rts_after: milliseconds RTS is
        raised before and held after sending. rs485 takes effect at the next
        open. Raises InvalidArgument for an unknown key or a malformed value.
        """
        operation = f"set_option({key!r}, {value!r})"
        if not isinstance(key, str):
            raise invalid(operation, "the option name must be a text")
        with self._line.use(operation) as line:
            result = self._library.Zarvo_LineSetOption(
                line, key.encode("utf-8"), _option_text(value).encode("utf-8"))
        if result < 0:
            raise error_for(result, operation, "unknown option or malformed value")

    @property
    def is_open(self):
        """True until the port is closed."""
        return self._line.is_open

    def close(self):
        """Closes the port and frees its line; later commands on this Port raise NotOpen.

        Closing twice is harmless. What a channel's close() raised is raised
        here, after the line is freed.
        """
        failure = self._line.close()
        if failure is not None:
            raise failure

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        self.close()

    def __repr__(self):
        state = "open" if self.is_open else "closed"
        if self._over_channel:
            return f"<zarvoac.Port over a channel, {state}>"
        return f"<zarvoac.Port {self.device!r} at {self.baud} bit/s, {state}>"

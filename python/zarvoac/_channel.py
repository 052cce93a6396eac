"""A link the application carries itself, as the library's channel callbacks.

The library calls these functions from inside a command, on the caller's
thread. No Python exception may cross into the library: each callback
catches what the application's object raises, keeps it for the Port to
raise once the command has returned, and answers the library as if the
link were gone, so the command fails with NO_REPLY instead of waiting.
"""

import ctypes

from ._native import ChannelClose, ChannelRead, ChannelRecord, ChannelWrite

_GONE = -1


def _is_callable(link, name):
    return callable(getattr(link, name, None))


class ChannelAdapter:
    """The callbacks of one channel, kept alive for as long as a line holds them."""

    def __init__(self, link):
        for name in ("write", "read"):
            if not _is_callable(link, name):
                raise TypeError(f"a channel needs a {name}() method; {link!r} has none")
        self.link = link
        self.failure = None
        optional = {
            name: ChannelClose(function) if _is_callable(link, name) else ChannelClose()
            for name, function in (("discard_input", self._discard_input), ("close", self._close))
        }
        self.record = ChannelRecord(
            None, ChannelWrite(self._write), ChannelRead(self._read),
            optional["discard_input"], optional["close"],
        )

    def take_failure(self):
        """The exception a callback caught since the last take, or None."""
        failure, self.failure = self.failure, None
        return failure

    def _keep(self, error):
        if self.failure is None:
            self.failure = error

    def _write(self, _context, data, count):
        if self.failure is not None:
            return _GONE
        try:
            written = self.link.write(ctypes.string_at(data, count))
            # None, as from socket.sendall(): everything was written.
            return count if written is None else int(written)
        except BaseException as error:  # noqa: B036 - nothing may reach the library
            self._keep(error)
            return _GONE

    def _read(self, _context, dest, capacity, wait_ms):
        if self.failure is not None:
            return _GONE
        try:
            data = self.link.read(capacity, wait_ms / 1000)
            if data is None:
                return _GONE
            data = bytes(data)
            if len(data) > capacity:
                raise ValueError(
                    f"the channel's read returned {len(data)} bytes, "
                    f"more than the {capacity} asked for"
                )
            ctypes.memmove(dest, data, len(data))
            return len(data)
        except BaseException as error:  # noqa: B036 - nothing may reach the library
            self._keep(error)
            return _GONE

    def _discard_input(self, _context):
        try:
            self.link.discard_input()
        except BaseException as error:  # noqa: B036 - nothing may reach the library
            # The link's state is unknown now: the exchange that follows
            # fails as if the link were gone.
            self._keep(error)

    def _close(self, _context):
        try:
            self.link.close()
        except BaseException as error:  # noqa: B036 - nothing may reach the library
            self._keep(error)

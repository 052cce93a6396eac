"""One line of the library: its handle, freed exactly once, and the callbacks it holds."""

import contextlib
import ctypes
import threading
import weakref

from .errors import NotOpen, ZarvoError

OPEN_ERROR_BYTES = 256
LAST_ERROR_BYTES = 128


def _destroy(library, handle, held):
    """Frees the line; it calls a channel's close on the way, so the callbacks go last."""
    library.Zarvo_LineDestroy(handle)
    held.clear()


class NativeLine:
    """A line made with Zarvo_LineCreate and freed with Zarvo_LineDestroy.

    Calls hold the line's lock, so closing waits for a call in progress
    instead of freeing the line under it. A channel callback that calls
    back into its own line would deadlock in the library; it gets a
    ZarvoError instead.
    """

    def __init__(self, library):
        self._library = library
        handle = library.Zarvo_LineCreate()
        if not handle:
            raise MemoryError("the ZarvoAC library could not make a line")
        self._handle = handle
        self._lock = threading.Lock()
        self._caller = None
        self._held = {}
        self._destroyer = weakref.finalize(self, _destroy, library, handle, self._held)

    @property
    def is_open(self):
        return self._destroyer.alive

    def _refuse_reentry(self, operation):
        if self._caller == threading.get_ident():
            raise ZarvoError(
                None, "IN_CALLBACK",
                f"{operation}: a Port cannot be used from its own channel's functions",
            )

    @contextlib.contextmanager
    def use(self, operation):
        """Yields the handle while the line is held; NotOpen once it is closed."""
        self._refuse_reentry(operation)
        with self._lock:
            if not self.is_open:
                raise NotOpen(-16, None, f"{operation}: this Port is closed")
            self._caller = threading.get_ident()
            try:
                yield self._handle
            finally:
                self._caller = None

    def channel_failure(self):
        """What the channel's functions raised since the last look, or None."""
        channel = self._held.get("channel")
        return channel.take_failure() if channel is not None else None

    def open_error(self):
        """The library's text of why the last open failed ("" when it did not)."""
        text = ctypes.create_string_buffer(OPEN_ERROR_BYTES)
        with self.use("open error") as handle:
            self._library.Zarvo_LineOpenError(handle, text, len(text))
        return text.value.decode("utf-8", "replace")

    def last_error(self, handle):
        """Why the last call on the line failed ("" after a success); `handle` is held."""
        text = ctypes.create_string_buffer(LAST_ERROR_BYTES)
        self._library.Zarvo_LineLastError(handle, text, len(text))
        return text.value.decode("utf-8", "replace")

    def open_channel(self, adapter):
        """Opens the line over `adapter`, which stays alive until the line is freed."""
        with self.use("opening a channel") as handle:
            self._held["channel"] = adapter
            return self._library.Zarvo_LineOpenChannel(handle, ctypes.byref(adapter.record))

    def close(self):
        """Frees the line (harmless when already free); returns what the channel's close raised."""
        self._refuse_reentry("close")
        with self._lock:
            channel = self._held.get("channel")
            self._destroyer()
        return channel.take_failure() if channel is not None else None

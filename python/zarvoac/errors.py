"""Result codes of the library and the exceptions that carry them."""

__all__ = [
    "BadReply",
    "CannotOpen",
    "InvalidArgument",
    "NoReply",
    "NotOpen",
    "PortSetupError",
    "RESULT_NAMES",
    "Refused",
    "ZarvoError",
    "error_for",
]

#: Result code -> name, as the library and its tools spell them.
RESULT_NAMES = {
    0: "OK",
    -1: "REFUSED",
    -2: "QUEUE_SIZES",
    -3: "LINE_DEFINITION",
    -4: "PORT_SETTINGS",
    -5: "PORT_TIMEOUTS",
    -10: "NO_REPLY",
    -11: "NO_START_BYTE",
    -12: "MISMATCH",
    -13: "SHORT_REPLY",
    -16: "NOT_OPEN",
    -17: "TOO_LONG",
    -18: "INVALID_ARG",
}

_MEANINGS = {
    -1: "the controller refused the command",
    -2: "the platform refused the port's queue sizes",
    -3: "the line speed or mode was refused",
    -4: "the port settings were refused",
    -5: "the port time-outs were refused",
    -10: "no reply: the line stayed silent or the device went away",
    -11: "a reply arrived without a start byte",
    -12: "the reply came from another address or for another command",
    -13: "the reply was too short for the data read",
    -16: "no port is open, or nothing could be written",
    -17: "the reply was longer than the receive buffer",
    -18: "invalid argument; nothing was sent",
}


class ZarvoError(Exception):
    """A failed library call.

    Attributes:
        code: the library's result code (a negative number), or None for a
            failure of the binding itself.
        name: the code's name, e.g. "NO_REPLY".
        message: what went wrong, in words.
    """

    def __init__(self, code, name=None, message=None):
        self.code = code
        self.name = name or RESULT_NAMES.get(code, "UNKNOWN")
        self.message = message or _MEANINGS.get(code, f"result {code}")
        super().__init__(self.message)

    def __str__(self):
        if self.code is None:
            return f"{self.message} ({self.name})"
        return f"{self.message} ({self.name}, {self.code})"


class Refused(ZarvoError):
    """The controller answered but refused the command (-1)."""


class CannotOpen(ZarvoError):
    """The port cannot be opened (-1 from opening a port); the message says why."""


class PortSetupError(ZarvoError):
    """The device opened but could not be configured (-2 to -5)."""


class NoReply(ZarvoError, TimeoutError):
    """Nothing answered before the silence limit, or the device went away (-10)."""


class BadReply(ZarvoError):
    """A reply arrived but could not be used (-11, -12, -13 or -17)."""


class NotOpen(ZarvoError):
    """No port is open, or nothing could be written to it (-16)."""


class InvalidArgument(ZarvoError, ValueError):
    """An argument is out of range or of the wrong kind; nothing was sent (-18)."""


_CLASSES = {
    -1: Refused,
    -2: PortSetupError,
    -3: PortSetupError,
    -4: PortSetupError,
    -5: PortSetupError,
    -10: NoReply,
    -11: BadReply,
    -12: BadReply,
    -13: BadReply,
    -16: NotOpen,
    -17: BadReply,
    -18: InvalidArgument,
}


def error_for(code, operation=None, message=None):
    """The exception for a negative result `code` of `operation`.

    `message` replaces the code's usual meaning when given; `operation`
    (e.g. "get_card(address=1)") is put in front of it.
    """
    text = message or _MEANINGS.get(code, f"result {code}")
    if operation:
        text = f"{operation}: {text}"
    return _CLASSES.get(code, ZarvoError)(code, None, text)


def invalid(operation, message):
    """An InvalidArgument for an argument the binding refused before sending."""
    return error_for(-18, operation, message)

"""What every group of controller commands shares: checked calls on the Port's line."""

from . import _checks
from .errors import error_for


class CommandBase:
    """Calls into the library on the line of an open Port."""

    _library = None
    _line = None

    def _invoke(self, operation, function, address, *args):
        """Calls Zarvo_Line<function> for the controller at `address`; returns the raw result.

        A closed Port raises NotOpen. When the Port's channel raised, the
        command fails with the library's result and the channel's
        exception as its cause.
        """
        address = _checks.address(address)
        with self._line.use(operation) as line:
            result = getattr(self._library, "Zarvo_Line" + function)(line, address, *args)
            failure = self._line.channel_failure()
            why = self._line.last_error(line) if result < 0 else ""
        if failure is not None:
            if not isinstance(failure, Exception):
                raise failure  # KeyboardInterrupt and the like go on as they are
            if result < 0:
                raise error_for(result, f"{operation} at address {address}",
                                f"the channel failed: {failure!r}") from failure
        if result < 0:
            raise error_for(result, f"{operation} at address {address}", why or None)
        return result

    @staticmethod
    def _check(result, operation, address):
        if result < 0:
            raise error_for(result, f"{operation} at address {address}")
        return result

    def _call(self, operation, function, address, *args):
        """Calls `function` and raises the matching ZarvoError when it fails."""
        result = self._invoke(operation, function, address, *args)
        return self._check(result, operation, address)

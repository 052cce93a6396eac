"""What every group of controller commands shares: checked library calls."""

from . import _checks
from .errors import NotOpen, error_for


class CommandBase:
    """Calls into the library on behalf of an open Port."""

    _library = None

    @property
    def is_open(self):
        """True until the port is closed."""
        raise NotImplementedError

    def _invoke(self, operation, function, address, *args):
        """Calls `function` for the controller at `address`; returns the raw result.

        Refuses a closed Port: its library port may by now belong to another
        Port, whose controllers it must not reach.
        """
        address = _checks.address(address)
        if not self.is_open:
            raise NotOpen(-16, None, f"{operation}: this Port is closed")
        return getattr(self._library, function)(address, *args)

    @staticmethod
    def _check(result, operation, address):
        if result < 0:
            raise error_for(result, f"{operation} at address {address}")
        return result

    def _call(self, operation, function, address, *args):
        """Calls `function` and raises the matching ZarvoError when it fails."""
        result = self._invoke(operation, function, address, *args)
        return self._check(result, operation, address)

"""Argument checks of the binding.

The library cuts many arguments to their low bits or clamps them without a
word (an address of 256 becomes the broadcast address 0, a table number of
16 becomes table 0), and ctypes cuts Python integers to 32 bits the same
way. The binding refuses such values before anything is sent, with the
library's own result for a bad argument.
"""

import operator
import re

from .errors import invalid

INT32_MIN = -(2**31)
INT32_MAX = 2**31 - 1

_HEX_DIGITS = re.compile("[0-9A-Fa-f]+")


def integer(value, name, low=INT32_MIN, high=INT32_MAX):
    """`value` as an int when it is an integer from `low` to `high`."""
    try:
        number = operator.index(value)
    except TypeError:
        raise invalid(None, f"{name} must be an integer, not {value!r}") from None
    if not low <= number <= high:
        raise invalid(None, f"{name} must be from {low} to {high}, not {number}")
    return number


def address(value, name="address"):
    """A bus address, 0 (any controller answers) to 255."""
    return integer(value, name, 0, 255)


def hex_text(value, name, digits):
    """`value` as ASCII bytes when it is a text of exactly `digits` hex digits."""
    if not isinstance(value, str) or not _HEX_DIGITS.fullmatch(value) or len(value) != digits:
        raise invalid(None, f"{name} must be a text of {digits} hex digits, not {value!r}")
    return value.encode("ascii")

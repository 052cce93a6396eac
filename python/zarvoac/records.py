"""Typed records exchanged with the controllers, and their C layouts."""

import dataclasses
import datetime
from dataclasses import dataclass
from typing import List, Optional, Tuple

from . import _checks
from ._native import (
    AccessLevelRecord,
    CardRecord,
    ChainRecord,
    DoubleCardRecord,
    HolidayRecord,
    TimeTableRecord,
    WarnLevelRecord,
)
from .errors import invalid

__all__ = [
    "AccessMode",
    "AlarmMode",
    "Card",
    "ChainGroup",
    "DayTable",
    "DoubleCard",
    "Event",
    "Holiday",
    "Period",
]

CARD_NUMBER_MAX = 2**32 - 1
FLAG_COUNT = 32
PERIODS_PER_DAY = 8
# Card dates travel as the last two digits of the year and read back in
# 2000 to 2099.
_FIRST_YEAR, _LAST_YEAR = 2000, 2099
# Holidays carry no year; 29 February is a holiday date like any other.
_LEAP_YEAR = 2000


def _text(field):
    """A character field of a C record, up to its terminator."""
    return field.decode("latin-1")


def _number(text):
    return int(text) if text.isdigit() else 0


def _valid_date(year, month, day):
    try:
        return datetime.date(year, month, day)
    except ValueError:
        return None


# ---- events ----


@dataclass(frozen=True)
class Event:
    """One event of a controller's log.

    Attributes:
        number1, number2: the event's two 24-bit numbers.
        value1, value2: the event's two values, 0 to 255; what they stand
            for (the kind of event, a door...) is the controller's business.
        when: date and time of the event, or None when the controller's
            stored bytes are not a real date and time.
        number1_text, number2_text, date_text, time_text: the same fields as
            the controller's texts ("00123456", "2007-03-05", "14:07:09").
    """

    number1: int
    number2: int
    value1: int
    value2: int
    when: Optional[datetime.datetime]
    number1_text: str
    number2_text: str
    date_text: str
    time_text: str

    @classmethod
    def from_record(cls, record):
        """The event held in an EventRecord."""
        date_text, time_text = _text(record.date), _text(record.time)
        try:
            when = datetime.datetime.strptime(f"{date_text} {time_text}", "%Y-%m-%d %H:%M:%S")
        except ValueError:
            when = None
        number1_text, number2_text = _text(record.number1), _text(record.number2)
        return cls(
            number1=_number(number1_text),
            number2=_number(number2_text),
            value1=record.value1,
            value2=record.value2,
            when=when,
            number1_text=number1_text,
            number2_text=number2_text,
            date_text=date_text,
            time_text=time_text,
        )


# ---- cards ----


def flags_text(mask):
    """The 32-character flag text of a mask: character i is '1' when bit i is set."""
    mask = _checks.integer(mask, "flags", 0, 2**FLAG_COUNT - 1)
    return "".join("1" if mask >> i & 1 else "0" for i in range(FLAG_COUNT)).encode("ascii")


def flags_mask(text):
    """The mask of a flag text: bit i is set when character i is '1'."""
    return sum(1 << i for i, c in enumerate(text[:FLAG_COUNT]) if c == ord("1"))


def card_number_text(number, name="card number"):
    """A card number (0 to 4294967295) as the decimal text the library reads."""
    return str(_checks.integer(number, name, 0, CARD_NUMBER_MAX)).encode("ascii")


def _date_fields(date):
    if not isinstance(date, datetime.date) or not _FIRST_YEAR <= date.year <= _LAST_YEAR:
        raise invalid(None, f"the card's date must be a date from 2000 to 2099, not {date!r}")
    return date.year, date.month, date.day


@dataclass
class Card:
    """A single card entry.

    Attributes:
        number: the card number, 0 to 4294967295.
        date: the entry's date (2000 to 2099); None when a read returns a
            date that is not a real one.
        pin: six hex digits.
        flags: the entry's 32 flags as a mask, flag i in bit i.
        value1, value2: the entry's two values, 0 to 255.
    """

    number: int
    date: Optional[datetime.date]
    pin: str = "000000"
    flags: int = 0
    value1: int = 0
    value2: int = 0

    def to_record(self):
        """A CardRecord describing this entry (for registering it)."""
        record = CardRecord()
        record.cardNumber = card_number_text(self.number)
        record.pin = _checks.hex_text(self.pin, "pin", 6)
        record.flags = flags_text(self.flags)
        record.value1 = _checks.integer(self.value1, "value1", 0, 255)
        record.value2 = _checks.integer(self.value2, "value2", 0, 255)
        record.year, record.month, record.day = _date_fields(self.date)
        return record

    @classmethod
    def from_record(cls, record):
        """The entry held in a CardRecord that the library has read."""
        return cls(
            number=_number(_text(record.cardNumber)),
            date=_valid_date(record.year, record.month, record.day),
            pin=_text(record.pin),
            flags=flags_mask(bytes(record.flags)),
            value1=record.value1,
            value2=record.value2,
        )


@dataclass
class DoubleCard:
    """A double-card entry: two card numbers registered as one entry.

    Attributes:
        number1, number2: the two card numbers, 0 to 4294967295 each.
        date: the entry's date (2000 to 2099), or None as in Card.
        flags: the entry's 32 flags as a mask, flag i in bit i.
        value: the entry's value, 0 to 255.
    """

    number1: int
    number2: int
    date: Optional[datetime.date]
    flags: int = 0
    value: int = 0

    def to_record(self):
        """A DoubleCardRecord describing this entry (for registering it)."""
        record = DoubleCardRecord()
        record.cardNumber1 = card_number_text(self.number1, "first card number")
        record.cardNumber2 = card_number_text(self.number2, "second card number")
        record.flags = flags_text(self.flags)
        record.value2 = _checks.integer(self.value, "value", 0, 255)
        record.year, record.month, record.day = _date_fields(self.date)
        return record

    @classmethod
    def from_record(cls, record):
        """The entry held in a DoubleCardRecord that the library has read."""
        return cls(
            number1=_number(_text(record.cardNumber1)),
            number2=_number(_text(record.cardNumber2)),
            date=_valid_date(record.year, record.month, record.day),
            flags=flags_mask(bytes(record.flags)),
            value=record.value2,
        )


def double_card_key(number1, number2):
    """A DoubleCardRecord naming an entry by its two numbers (read, delete)."""
    record = DoubleCardRecord()
    record.cardNumber1 = card_number_text(number1, "first card number")
    record.cardNumber2 = card_number_text(number2, "second card number")
    return record


# ---- day tables ----


def _time_of(value, name):
    """A datetime.time from a time or an (hour, minute) pair."""
    if isinstance(value, datetime.time):
        if value.second or value.microsecond:
            raise invalid(None, f"{name} must be whole minutes, not {value}")
        return value
    try:
        hour, minute = value
    except (TypeError, ValueError):
        raise invalid(
            None, f"{name} must be a time or an (hour, minute) pair, not {value!r}"
        ) from None
    return datetime.time(_checks.integer(hour, f"{name} hour", 0, 23),
                         _checks.integer(minute, f"{name} minute", 0, 59))


@dataclass(frozen=True)
class Period:
    """A period of a day table, from `start` to `end` (whole minutes)."""

    start: datetime.time
    end: datetime.time

    def __iter__(self):
        return iter((self.start, self.end))

    @classmethod
    def of(cls, value):
        """A Period from a Period or a (start, end) pair of times or (hour, minute) pairs."""
        if isinstance(value, Period):
            return value
        try:
            start, end = value
        except (TypeError, ValueError):
            raise invalid(None, f"a period must be a (start, end) pair, not {value!r}") from None
        return cls(_time_of(start, "start"), _time_of(end, "end"))

    def is_unused(self):
        """True for 00:00-00:00, the value of a period slot that holds no period."""
        return self.start == self.end == datetime.time(0, 0)


@dataclass
class DayTable:
    """One day of a time table: its day index (0 to 6) and its periods.

    A day holds up to eight periods; slots that hold no period (00:00-00:00)
    are left out of `periods`.
    """

    day: int
    periods: List[Period]

    @classmethod
    def from_record(cls, record):
        """The day held in a TimeTableRecord that the library has read."""
        periods = []
        for p in range(PERIODS_PER_DAY):
            h1, m1, h2, m2 = record[1 + 4 * p : 5 + 4 * p]
            period = Period(datetime.time(h1, m1), datetime.time(h2, m2))
            if not period.is_unused():
                periods.append(period)
        return cls(record[0], periods)


def day_record(day, periods):
    """A TimeTableRecord for writing `periods` (up to eight) into day `day`."""
    periods = [Period.of(p) for p in periods]
    if len(periods) > PERIODS_PER_DAY:
        raise invalid(None, f"a day holds at most {PERIODS_PER_DAY} periods, not {len(periods)}")
    record = TimeTableRecord()
    record[0] = day
    for p, period in enumerate(periods):
        record[1 + 4 * p : 5 + 4 * p] = [
            period.start.hour, period.start.minute, period.end.hour, period.end.minute
        ]
    return record


# ---- holidays and chain groups ----


@dataclass(frozen=True)
class Holiday:
    """A holiday date: `month` (1 to 12) and `day` of the month (1 to 31)."""

    month: int
    day: int

    def __iter__(self):
        return iter((self.month, self.day))

    def to_record(self):
        """A HolidayRecord of this date."""
        record = HolidayRecord()
        month = _checks.integer(self.month, "month", 1, 12)
        day = _checks.integer(self.day, "day", 1, 31)
        if _valid_date(_LEAP_YEAR, month, day) is None:
            raise invalid(None, f"{month}/{day} is no day of the year")
        record[0], record[1] = month, day
        return record

    @classmethod
    def of(cls, value):
        """A Holiday from a Holiday or a (month, day) pair."""
        if isinstance(value, Holiday):
            return value
        try:
            month, day = value
        except (TypeError, ValueError):
            raise invalid(None, f"a holiday must be a (month, day) pair, not {value!r}") from None
        return cls(month, day)


@dataclass(frozen=True)
class ChainGroup:
    """A group of the chain table: four entries (0 to 31) and a 16-bit value."""

    entries: Tuple[int, int, int, int]
    value: int

    def to_record(self):
        """A ChainRecord of this group."""
        try:
            entries = tuple(self.entries)
        except TypeError:
            entries = ()
        if len(entries) != 4:
            raise invalid(None, f"a chain group has four entries, not {len(entries)}")
        record = ChainRecord()
        for i, entry in enumerate(entries):
            record[i] = _checks.integer(entry, f"chain entry {i}", 0, 31)
        record[4] = _checks.integer(self.value, "chain value", 0, 0xFFFF)
        return record

    @classmethod
    def of(cls, value):
        """A ChainGroup from a ChainGroup or an (entries, value) pair."""
        if isinstance(value, ChainGroup):
            return value
        try:
            entries, number = value
        except (TypeError, ValueError):
            raise invalid(None, f"a chain group must be (entries, value), not {value!r}") from None
        return cls(entries, number)

    @classmethod
    def from_record(cls, record):
        """The group held in a ChainRecord that the library has read."""
        return cls(tuple(record[0:4]), record[4])


# ---- door modes ----


class _BitRecord:
    """Conversion between a dataclass and a C record with the same field order."""

    _c_record = None
    _two_bit = ()

    @classmethod
    def blank_record(cls):
        """An all-zero C record for the library to read the settings into."""
        return cls._c_record()

    def to_record(self):
        """The C record of these settings."""
        record = self._c_record()
        for field, (c_name, _) in zip(dataclasses.fields(self), record._fields_):
            value = getattr(self, field.name)
            if field.name in self._two_bit:
                value = _checks.integer(value, field.name, 0, 3)
            else:
                value = int(bool(value))
            setattr(record, c_name, value)
        return record

    @classmethod
    def from_record(cls, record):
        """The settings held in a C record that the library has read."""
        values = {}
        for field, (c_name, _) in zip(dataclasses.fields(cls), record._fields_):
            value = getattr(record, c_name)
            values[field.name] = value if field.name in cls._two_bit else bool(value)
        return cls(**values)


@dataclass
class AccessMode(_BitRecord):
    """A door's access mode: the bits of its two setting bytes that have a meaning.

    What each bit does is the controller's firmware's business.
    """

    first_bit0: bool = False
    first_bit1: bool = False
    first_bit2: bool = False
    first_bit3: bool = False
    first_bit4: bool = False
    first_bit5: bool = False
    first_bit7: bool = False
    second_bit0: bool = False
    second_bit7: bool = False

    _c_record = AccessLevelRecord


@dataclass
class AlarmMode(_BitRecord):
    """A door's alarm mode: one-bit fields and two 2-bit fields (0 to 3).

    What each field does is the controller's firmware's business.
    """

    first_bit0: bool = False
    first_bit1: bool = False
    first_bit2: bool = False
    first_bit3: bool = False
    first_bit4: bool = False
    first_bit5: bool = False
    first_bit6: bool = False
    second_bits0to1: int = 0
    second_bits2to3: int = 0
    second_bit4: bool = False
    second_bit5: bool = False

    _c_record = WarnLevelRecord
    _two_bit = ("second_bits0to1", "second_bits2to3")

using System;
using ZarvoAC.Native;

namespace ZarvoAC
{
    /// <summary>A single card entry of a controller's card list.</summary>
    /// <param name="Number">The card number.</param>
    /// <param name="Date">The entry's date (2000 to 2099); null when a read returns no real date.</param>
    /// <param name="Pin">Six hex digits (read back in upper case).</param>
    /// <param name="Flags">The entry's 32 flags, flag i in bit i.</param>
    /// <param name="Value1">The entry's first value.</param>
    /// <param name="Value2">The entry's second value.</param>
    public sealed record Card(uint Number, DateTime? Date, string Pin = "000000", uint Flags = 0,
                              byte Value1 = 0, byte Value2 = 0)
    {
        internal unsafe CardRecord ToRecord(string operation)
        {
            byte[] pin = Checks.HexText(Pin, 6, operation, "the PIN");
            var record = Key(Number);
            for (int i = 0; i < pin.Length; ++i) record.pin[i] = pin[i];
            CardFields.SetFlags(record.flags, Flags);
            record.value1 = Value1;
            record.value2 = Value2;
            (record.year, record.month, record.day) = CardFields.DateParts(Date, operation);
            return record;
        }

        /// A record naming the card by its number (for a read or a delete).
        internal static unsafe CardRecord Key(uint number)
        {
            var record = new CardRecord();
            Texts.SetField(record.cardNumber, 32, Texts.Decimal(number));
            return record;
        }

        internal static unsafe Card From(in CardRecord record)
        {
            fixed (CardRecord* r = &record)
                return new Card(Texts.Number(Texts.Field(r->cardNumber, 32)), CardFields.Date(r->year, r->month, r->day),
                                Texts.Field(r->pin, 8), CardFields.Flags(r->flags), (byte)r->value1, (byte)r->value2);
        }
    }

    /// <summary>A double-card entry: two card numbers registered as one entry.</summary>
    /// <param name="Number1">The first card number.</param>
    /// <param name="Number2">The second card number.</param>
    /// <param name="Date">The entry's date (2000 to 2099); null when a read returns no real date.</param>
    /// <param name="Flags">The entry's 32 flags, flag i in bit i.</param>
    /// <param name="Value">The entry's value.</param>
    public sealed record DoubleCard(uint Number1, uint Number2, DateTime? Date, uint Flags = 0, byte Value = 0)
    {
        internal unsafe DoubleCardRecord ToRecord(string operation)
        {
            var record = Key(Number1, Number2);
            CardFields.SetFlags(record.flags, Flags);
            record.value2 = Value;
            (record.year, record.month, record.day) = CardFields.DateParts(Date, operation);
            return record;
        }

        internal static unsafe DoubleCardRecord Key(uint number1, uint number2)
        {
            var record = new DoubleCardRecord();
            Texts.SetField(record.cardNumber1, 16, Texts.Decimal(number1));
            Texts.SetField(record.cardNumber2, 16, Texts.Decimal(number2));
            return record;
        }

        internal static unsafe DoubleCard From(in DoubleCardRecord record)
        {
            fixed (DoubleCardRecord* r = &record)
                return new DoubleCard(Texts.Number(Texts.Field(r->cardNumber1, 16)), Texts.Number(Texts.Field(r->cardNumber2, 16)),
                                      CardFields.Date(r->year, r->month, r->day), CardFields.Flags(r->flags), (byte)r->value2);
        }
    }

    /// The fields single and double cards share: the flag text and the date.
    internal static class CardFields
    {
        private const int FlagCount = 32;

        /// 32 characters '0'/'1', character i for bit i, no terminator.
        public static unsafe void SetFlags(byte* text, uint mask)
        {
            for (int i = 0; i < FlagCount; ++i) text[i] = (byte)(((mask >> i) & 1) != 0 ? '1' : '0');
        }

        public static unsafe uint Flags(byte* text)
        {
            uint mask = 0;
            for (int i = 0; i < FlagCount; ++i)
                if (text[i] == '1') mask |= 1u << i;
            return mask;
        }

        /// Card dates travel as the last two digits of the year, so only 2000 to 2099 come back.
        public static (int, int, int) DateParts(DateTime? date, string operation)
        {
            if (date is not DateTime day || day.Year < 2000 || day.Year > 2099)
                throw Checks.Invalid(operation, $"the card's date must be a date from 2000 to 2099, not {date}");
            return (day.Year, day.Month, day.Day);
        }

        public static DateTime? Date(int year, int month, int day)
        {
            if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DateTime.DaysInMonth(year, month))
                return null;
            return new DateTime(year, month, day);
        }
    }
}

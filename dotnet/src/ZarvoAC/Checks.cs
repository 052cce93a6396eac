using System;
using System.Globalization;
using System.Text;

namespace ZarvoAC
{
    /// The binding's own argument checks. The library cuts or clamps some arguments without a
    /// word (table 16 becomes table 0); such values are refused here, with the library's code
    /// for a bad argument, before anything is sent.
    internal static class Checks
    {
        public static ZarvoException Invalid(string operation, string why) =>
            new ZarvoException((int)ResultCode.InvalidArgument, operation, why);

        public static int Range(int value, int low, int high, string operation, string name)
        {
            if (value < low || value > high)
                throw Invalid(operation, $"{name} must be {low} to {high}, not {value}");
            return value;
        }

        /// A writable, NUL-terminated copy of a text of exactly `digits` hex digits.
        public static byte[] HexText(string? text, int digits, string operation, string name)
        {
            bool valid = text != null && text.Length == digits;
            for (int i = 0; valid && i < digits; ++i) valid = Uri.IsHexDigit(text![i]);
            if (!valid) throw Invalid(operation, $"{name} must be {digits} hex digits, not \"{text}\"");
            var bytes = new byte[digits + 1];
            Encoding.ASCII.GetBytes(text!, 0, digits, bytes, 0);
            return bytes;
        }
    }

    /// The library's 8-bit texts.
    internal static class Texts
    {
        public static string Latin1(byte[] bytes, int start, int count)
        {
            var chars = new char[count];
            for (int i = 0; i < count; ++i) chars[i] = (char)bytes[start + i];
            return new string(chars);
        }

        public static unsafe string Field(byte* field, int size)
        {
            int length = 0;
            while (length < size && field[length] != 0) ++length;
            var chars = new char[length];
            for (int i = 0; i < length; ++i) chars[i] = (char)field[i];
            return new string(chars);
        }

        /// Writes `text` and a terminator into a character field of `size` bytes.
        public static unsafe void SetField(byte* field, int size, string text)
        {
            int length = System.Math.Min(text.Length, size - 1);
            for (int i = 0; i < length; ++i) field[i] = (byte)text[i];
            field[length] = 0;
        }

        public static uint Number(string text) =>
            uint.TryParse(text, NumberStyles.None, CultureInfo.InvariantCulture, out uint value) ? value : 0;

        public static string Decimal(uint value) => value.ToString(CultureInfo.InvariantCulture);
    }
}

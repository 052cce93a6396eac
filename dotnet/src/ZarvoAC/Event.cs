using System;
using System.Globalization;
using ZarvoAC.Native;

namespace ZarvoAC
{
    /// <summary>One event of a controller's log.</summary>
    /// <param name="Number1">The event's first 24-bit number (a card number, for card events).</param>
    /// <param name="Number2">The event's second 24-bit number.</param>
    /// <param name="Value1">The first value, 0 to 255; what it stands for (the kind of event) is the controller's business.</param>
    /// <param name="Value2">The second value, 0 to 255 (a door, for door events).</param>
    /// <param name="When">Date and time of the event; null when the stored bytes are no real date and time.</param>
    /// <param name="DateText">The date as the controller's text, e.g. <c>2007-03-05</c>.</param>
    /// <param name="TimeText">The time as the controller's text, e.g. <c>14:07:09</c>.</param>
    public sealed record Event(uint Number1, uint Number2, int Value1, int Value2, DateTime? When,
                               string DateText, string TimeText)
    {
        internal static unsafe Event From(in EventRecord record)
        {
            fixed (EventRecord* r = &record)
            {
                string date = Texts.Field(r->date, 16), time = Texts.Field(r->time, 16);
                bool real = DateTime.TryParseExact(date + " " + time, "yyyy-MM-dd HH:mm:ss",
                                                   CultureInfo.InvariantCulture, DateTimeStyles.None,
                                                   out DateTime when);
                return new Event(Texts.Number(Texts.Field(r->number1, 16)), Texts.Number(Texts.Field(r->number2, 16)),
                                 r->value1, r->value2, real ? when : (DateTime?)null, date, time);
            }
        }
    }
}

using System;
using System.Collections.Generic;
using System.Linq;
using ZarvoAC.Native;

namespace ZarvoAC
{
    /// <summary>A period of a day table, from <see cref="Start"/> to <see cref="End"/> (whole minutes within a day).</summary>
    public readonly record struct Period(TimeSpan Start, TimeSpan End)
    {
        /// <summary>A period from hours and minutes.</summary>
        public Period(int startHour, int startMinute, int endHour, int endMinute)
            : this(new TimeSpan(startHour, startMinute, 0), new TimeSpan(endHour, endMinute, 0)) { }

        /// <summary>True for 00:00-00:00, the value of a period slot that holds no period.</summary>
        public bool IsUnused => Start == TimeSpan.Zero && End == TimeSpan.Zero;

        /// <inheritdoc/>
        public override string ToString() => $"{Start:hh\\:mm}-{End:hh\\:mm}";
    }

    /// <summary>
    /// One day of a weekly time table, holiday time table or always-open table: its day index
    /// (0 to 6; which weekday each stands for is the controller's business) and its periods.
    /// Slots that hold no period (00:00-00:00) are left out.
    /// </summary>
    public sealed record DayTable(int Day, IReadOnlyList<Period> Periods)
    {
        internal const int PeriodsPerDay = 8;

        internal static DayTable From(int[] record)
        {
            var periods = new List<Period>(PeriodsPerDay);
            for (int p = 0; p < PeriodsPerDay; ++p)
            {
                int at = 1 + 4 * p;
                var period = new Period(record[at], record[at + 1], record[at + 2], record[at + 3]);
                if (!period.IsUnused) periods.Add(period);
            }
            return new DayTable(record[0], periods);
        }

        /// A TimeTableRecord for writing `periods` into day `day`.
        internal static int[] Record(int day, IEnumerable<Period> periods, string operation)
        {
            if (periods == null) throw new ArgumentNullException(nameof(periods));
            Period[] list = periods.ToArray();
            if (list.Length > PeriodsPerDay)
                throw Checks.Invalid(operation, $"a day holds at most {PeriodsPerDay} periods, not {list.Length}");
            var record = new int[RecordSizes.TimeTable];
            record[0] = day;
            for (int p = 0; p < list.Length; ++p)
            {
                int at = 1 + 4 * p;
                record[at] = Hour(list[p].Start, operation);
                record[at + 1] = list[p].Start.Minutes;
                record[at + 2] = Hour(list[p].End, operation);
                record[at + 3] = list[p].End.Minutes;
            }
            return record;
        }

        private static int Hour(TimeSpan time, string operation)
        {
            if (time < TimeSpan.Zero || time >= TimeSpan.FromDays(1) || time.Seconds != 0 || time.Milliseconds != 0)
                throw Checks.Invalid(operation, $"a period's ends must be whole minutes from 00:00 to 23:59, not {time}");
            return time.Hours;
        }

        /// <summary>Periods compare by value, in order.</summary>
        public bool Equals(DayTable? other) =>
            other is not null && Day == other.Day && Periods.SequenceEqual(other.Periods);

        /// <inheritdoc/>
        public override int GetHashCode() => Day ^ Periods.Count;
    }

    /// <summary>A holiday date: <paramref name="Month"/> (1 to 12) and <paramref name="Day"/> of the month.</summary>
    public readonly record struct Holiday(int Month, int Day)
    {
        internal int[] ToRecord(string operation)
        {
            Checks.Range(Month, 1, 12, operation, "the holiday's month");
            // Holidays carry no year: 29 February is a date like any other.
            Checks.Range(Day, 1, DateTime.DaysInMonth(2000, Month), operation, "the holiday's day");
            return new[] { Month, Day };
        }
    }

    /// <summary>A group of the chain table: four entries (0 to 31) and a 16-bit value.</summary>
    public readonly record struct ChainGroup(int Entry0, int Entry1, int Entry2, int Entry3, ushort Value)
    {
        internal int[] ToRecord(string operation)
        {
            var record = new[] { Entry0, Entry1, Entry2, Entry3, Value };
            for (int i = 0; i < 4; ++i) Checks.Range(record[i], 0, 31, operation, $"chain entry {i}");
            return record;
        }

        internal static ChainGroup From(int[] r) => new ChainGroup(r[0], r[1], r[2], r[3], (ushort)r[4]);
    }
}

using System.Collections.Generic;
using ZarvoAC.Native;

namespace ZarvoAC
{
    public sealed partial class Line
    {
        private const int Read = 0, Write = 1;
        private const int DaysPerWeek = 7, HolidayCount = 128;

        private delegate int TableFunction(LineHandle line, int address, int table, int[] record, int mode);

        // The line reads a table whole before reading or writing one of its days, and answers
        // reads of the table it read last from its copy: the seven days of one table cost one
        // exchange. That copy is not refreshed when the controller's tables change by other
        // means (a reset, another host) until another table is read.

        /// <summary>Day <paramref name="day"/> (0 to 6) of weekly time table <paramref name="table"/> (0 to 15).</summary>
        public DayTable GetTimeTable(byte address, int table, int day) =>
            GetDay(NativeMethods.Zarvo_LineTimeTable, "read time table", 16, address, table, day);

        /// <summary>Writes up to eight periods into one day of a weekly time table; the other six days stay.</summary>
        public void SetTimeTable(byte address, int table, int day, IEnumerable<Period> periods) =>
            SetDay(NativeMethods.Zarvo_LineTimeTable, "write time table", 16, address, table, day, periods);

        /// <summary>Holiday time table <paramref name="table"/> (0 to 7): one day, the same for every holiday.</summary>
        public DayTable GetHolidayTimeTable(byte address, int table) =>
            GetDay(NativeMethods.Zarvo_LineHolidayTimeTable, "read holiday time table", 8, address, table, 0);

        /// <summary>Writes up to eight periods into holiday time table <paramref name="table"/> (0 to 7).</summary>
        public void SetHolidayTimeTable(byte address, int table, IEnumerable<Period> periods) =>
            SetDay(NativeMethods.Zarvo_LineHolidayTimeTable, "write holiday time table", 8, address, table, 0, periods);

        /// <summary>Day <paramref name="day"/> (0 to 6) of always-open table <paramref name="table"/> (0 to 7).</summary>
        public DayTable GetAlwaysOpen(byte address, int table, int day) =>
            GetDay(NativeMethods.Zarvo_LineAlwaysOpenOfWeek, "read always-open table", 8, address, table, day);

        /// <summary>Writes up to eight periods into one day of an always-open table; the other six days stay.</summary>
        public void SetAlwaysOpen(byte address, int table, int day, IEnumerable<Period> periods) =>
            SetDay(NativeMethods.Zarvo_LineAlwaysOpenOfWeek, "write always-open table", 8, address, table, day, periods);

        private DayTable GetDay(TableFunction function, string operation, int tables, byte address, int table, int day)
        {
            Checks.Range(table, 0, tables - 1, operation, "the table number");
            int[] record = DayTable.Record(Checks.Range(day, 0, DaysPerWeek - 1, operation, "the day"),
                                           new Period[0], operation);
            using (var call = Begin())
                call.Check(function(_handle, address, table, record, Read), operation, address);
            return DayTable.From(record);
        }

        private void SetDay(TableFunction function, string operation, int tables, byte address, int table, int day,
                            IEnumerable<Period> periods)
        {
            Checks.Range(table, 0, tables - 1, operation, "the table number");
            int[] record = DayTable.Record(Checks.Range(day, 0, DaysPerWeek - 1, operation, "the day"), periods, operation);
            using (var call = Begin())
                call.Check(function(_handle, address, table, record, Write), operation, address);
        }

        /// <summary>
        /// Entry <paramref name="index"/> (0 to 127) of the holiday list; an unused entry reads as
        /// month 0, day 0 or as the controller keeps it. The list of one controller is read once
        /// and later reads are answered from the line's copy.
        /// </summary>
        public Holiday GetHoliday(byte address, int index)
        {
            Checks.Range(index, 0, HolidayCount - 1, "read holiday", "the holiday index");
            var record = new int[RecordSizes.Holiday];
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineHolidayTable(_handle, address, index, record, Read), "read holiday", address);
            return new Holiday(record[0], record[1]);
        }

        /// <summary>Writes <paramref name="holiday"/> into entry <paramref name="index"/> (0 to 127) of the holiday list.</summary>
        public void SetHoliday(byte address, int index, Holiday holiday) =>
            WriteHoliday(address, index, holiday.ToRecord("write holiday"), "write holiday");

        /// <summary>Marks entry <paramref name="index"/> of the holiday list unused.</summary>
        public void ClearHoliday(byte address, int index) =>
            WriteHoliday(address, index, new int[RecordSizes.Holiday], "clear holiday");

        private void WriteHoliday(byte address, int index, int[] record, string operation)
        {
            Checks.Range(index, 0, HolidayCount - 1, operation, "the holiday index");
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineHolidayTable(_handle, address, index, record, Write), operation, address);
        }

        /// <summary>Group <paramref name="group"/> (0 or 1) of the chain table, read from the controller.</summary>
        public ChainGroup GetChainGroup(byte address, int group)
        {
            var record = new int[RecordSizes.Chain];
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineChianTable(_handle, address, record, group, Read), "read chain group", address);
            return ChainGroup.From(record);
        }

        /// <summary>
        /// Writes group <paramref name="group"/> (0 or 1) of the chain table. Only this group is
        /// sent: the controller receives the other group as zeros.
        /// </summary>
        public void SetChainGroup(byte address, int group, ChainGroup chainGroup)
        {
            int[] record = chainGroup.ToRecord("write chain group");
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineChianTable(_handle, address, record, group, Write), "write chain group", address);
        }
    }
}

using System;
using System.Linq;
using Xunit;

namespace ZarvoAC.Tests
{
    /// Every group of operations, end to end against the shared virtual controllers 1 and 2.
    [Collection("sim")]
    public class OperationsTest
    {
        private static readonly DateTime Expiry = new DateTime(2031, 12, 31);
        private readonly Line _line;

        public OperationsTest(SimLineFixture fixture) => _line = fixture.Line;

        [Fact]
        public void ProbeTellsPresentFromAbsentControllers()
        {
            Assert.Equal(new byte[] { 1, 2 }, new byte[] { 1, 2, 3 }.Where(_line.Probe));
            Assert.StartsWith("ZAC-4", _line.GetVersion(1));
            Assert.Equal(6, _line.GetDeviceInfo(2).Length);
        }

        [Fact]
        public void EventsReadTheSameByBlockAndByRecord()
        {
            _line.SetTime(1); // logged by the controller, so the log is never empty
            var events = _line.Events(1).ToList();
            Assert.True(events.Count >= 6);
            Assert.Equal(events, _line.ReadEventBlock(1, 0));
            Assert.Equal(events[0], _line.ReadEvent(1));
            Assert.Equal(events[1], _line.NextEvent(1));
            Assert.All(events, e => Assert.NotNull(e.When));
        }

        [Fact]
        public void CardsRoundTripAndDelete()
        {
            var card = new Card(4000000000, Expiry, "12ab56", 0x80000005, 3, 250);
            _line.PutCard(1, card, flagged: true);
            Assert.Equal(card with { Pin = "12AB56" }, _line.GetCard(1, card.Number));
            _line.DeleteCard(1, card.Number);
            Expect.Failure(ResultCode.Refused, () => _line.GetCard(1, card.Number));

            var pair = new DoubleCard(1001, 1002, Expiry, 0b110, 9);
            _line.PutDoubleCard(2, pair);
            Assert.Equal(pair, _line.GetDoubleCard(2, 1001, 1002));
            _line.DeleteDoubleCard(2, 1001, 1002);
            Expect.Failure(ResultCode.Refused, () => _line.GetDoubleCard(2, 1001, 1002));
        }

        [Fact]
        public void DayTablesHolidaysAndChainGroupsRoundTrip()
        {
            var periods = new[] { new Period(8, 0, 12, 30), new Period(13, 15, 23, 59) };
            _line.SetTimeTable(1, 15, 6, periods);
            _line.SetAlwaysOpen(1, 7, 0, periods.Take(1));
            _line.SetHolidayTimeTable(1, 3, periods.Skip(1));
            Assert.Equal(new DayTable(6, periods), _line.GetTimeTable(1, 15, 6));
            Assert.Equal(new DayTable(0, periods.Take(1).ToList()), _line.GetAlwaysOpen(1, 7, 0));
            Assert.Equal(new DayTable(0, periods.Skip(1).ToList()), _line.GetHolidayTimeTable(1, 3));

            _line.SetHoliday(2, 127, new Holiday(2, 29));
            Assert.Equal(new Holiday(2, 29), _line.GetHoliday(2, 127));
            var group = new ChainGroup(1, 7, 31, 0, 0xBEEF);
            _line.SetChainGroup(2, 1, group);
            Assert.Equal(group, _line.GetChainGroup(2, 1));
        }

        [Fact]
        public void DoorSettingsRoundTrip()
        {
            var access = new AccessMode { FirstBit0 = true, FirstBit7 = true, SecondBit7 = true };
            var alarm = new AlarmMode { FirstBit6 = true, SecondBits0To1 = 2, SecondBits2To3 = 3, SecondBit5 = true };
            _line.SetAccessMode(1, 3, access);
            _line.SetAlarmMode(1, 3, alarm);
            Assert.Equal(access, _line.GetAccessMode(1, 3));
            Assert.Equal(alarm, _line.GetAlarmMode(1, 3));
            // Accepted by the controller; nothing reads them back.
            _line.SetDoorPassword(1, 0, "1234abcd");
            _line.SetDuressCode(1, "00001234");
            _line.SetDoorDelays(1, 1, 5, 200, 255);
            _line.SetInterlock(1, 2, 0b1011);
            _line.LinkTimeTable(1, 0, 0, 15);
            _line.OpenDoor(1, 0);
            _line.CloseDoor(1, 0);
            _line.ClearAlarm(1, 0);
        }
    }
}

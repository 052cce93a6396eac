using System;
using System.Collections.Generic;
using Xunit;

namespace ZarvoAC.Tests
{
    /// Each way a call fails, with the code, its name and the line's words for it.
    [Collection("sim")]
    public class FailureTest
    {
        private readonly Line _line;

        public FailureTest(SimLineFixture fixture) => _line = fixture.Line;

        public static IEnumerable<object[]> ControllerFaults() => new[]
        {
            new object[] { "silence", ResultCode.NoReply },
            new object[] { "refuse", ResultCode.Refused },
            new object[] { "other-address", ResultCode.Mismatch },
            new object[] { "over-long", ResultCode.TooLong },
        };

        [Theory]
        [MemberData(nameof(ControllerFaults))]
        public void FaultyReplyFailsWithItsCodeAndText(string fault, ResultCode code)
        {
            using var controller = new VirtualController("--fault", fault);
            using var line = new Line(controller.Device);
            ZarvoException error = Expect.Failure(code, () => line.GetVersion(1));
            Assert.Equal("read version at address 1", error.Operation);
            if (!FailureTexts.LastErrorMissing) Assert.NotEmpty(error.FailureText);
            Assert.StartsWith("ZAC-4", line.GetVersion(1)); // only the first reply was faulty
        }

        [Fact]
        public void MissingDeviceTellsWhy()
        {
            ZarvoException error = Expect.Failure(ResultCode.Refused, () => new Line("/dev/zarvo-no-such-device"));
            Assert.NotEmpty(error.FailureText);
            Assert.Contains(error.FailureText, error.Message);
        }

        [Fact]
        public void ArgumentsAreRefusedBeforeAnythingIsSent()
        {
            // By the library: door 4; by the binding, where the library would quietly use
            // another value: table 16 (table 0), an alarm field of 4 (0), a short password.
            ZarvoException door = Expect.Failure(ResultCode.InvalidArgument, () => _line.OpenDoor(1, 4));
            if (!FailureTexts.LastErrorMissing) Assert.NotEmpty(door.FailureText);
            ZarvoException table = Expect.Failure(ResultCode.InvalidArgument, () => _line.GetTimeTable(1, 16, 0));
            Assert.Contains("table number must be 0 to 15, not 16", table.Message);
            Expect.Failure(ResultCode.InvalidArgument, () => _line.SetAlarmMode(1, 0, new AlarmMode { SecondBits2To3 = 4 }));
            Expect.Failure(ResultCode.InvalidArgument, () => _line.SetDoorPassword(1, 0, "12345"));
            Expect.Failure(ResultCode.InvalidArgument, () => _line.PutCard(1, new Card(1, new DateTime(1999, 1, 1))));
            Expect.Failure(ResultCode.InvalidArgument, () => _line.SetOption("colour", "red"));
        }

        [Fact]
        public void ClosedAndDisposedLines()
        {
            var line = new Line();
            Expect.Failure(ResultCode.NotOpen, () => line.Probe(1));
            line.Dispose();
            line.Dispose();
            Assert.Throws<ObjectDisposedException>(() => line.Probe(1));
        }
    }
}

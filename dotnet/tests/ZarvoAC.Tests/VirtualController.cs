using System;
using System.Diagnostics;
using Xunit;

namespace ZarvoAC.Tests
{
    /// A zarvo-sim process serving controllers 1 and 2 on a pseudo-terminal (or on TCP).
    public sealed class VirtualController : IDisposable
    {
        private readonly Process _process;

        public VirtualController(params string[] extraArgs)
        {
            var start = new ProcessStartInfo(Setting("ZARVO_SIM"))
            {
                RedirectStandardOutput = true,
                RedirectStandardError = true,
                UseShellExecute = false,
            };
            foreach (string arg in new[] { "--address", "1", "--address", "2" }) start.ArgumentList.Add(arg);
            foreach (string arg in extraArgs) start.ArgumentList.Add(arg);
            _process = Process.Start(start)!;
            Device = _process.StandardOutput.ReadLine() ?? throw new InvalidOperationException("zarvo-sim printed no device");
        }

        /// The device name (or tcp://HOST:PORT) to open.
        public string Device { get; }

        public static string Setting(string name) =>
            Environment.GetEnvironmentVariable(name) is { Length: > 0 } value
                ? value
                : throw new InvalidOperationException($"{name} is not set and this test assembly names no build folder");

        public void Dispose()
        {
            _process.Kill();
            _process.WaitForExit();
            _process.Dispose();
        }
    }

    /// The shared virtual line: one zarvo-sim and a Line open on it for every test of the collection.
    public sealed class SimLineFixture : IDisposable
    {
        public SimLineFixture()
        {
            Controller = new VirtualController();
            Line = new Line(Controller.Device);
        }

        public VirtualController Controller { get; }
        public Line Line { get; }

        public void Dispose()
        {
            Line.Dispose();
            Controller.Dispose();
        }
    }

    [CollectionDefinition("sim")]
    public sealed class SimCollection : ICollectionFixture<SimLineFixture> { }

    internal static class Expect
    {
        /// Asserts that `action` throws a ZarvoException with `code` and its name; returns it.
        public static ZarvoException Failure(ResultCode code, Action action)
        {
            var error = Assert.Throws<ZarvoException>(action);
            Assert.Equal((int)code, error.Code);
            Assert.Equal(ResultCodes.NameOf((int)code), error.CodeName);
            Assert.Contains(error.CodeName, error.Message);
            return error;
        }
    }
}

using System;
using System.IO;
using System.Linq;
using System.Net.Sockets;
using System.Threading;
using Xunit;

namespace ZarvoAC.Tests
{
    /// Lines side by side, the application's channel, and what a line shows of itself.
    [Collection("sim")]
    public class LinesTest
    {
        private readonly Line _line;

        public LinesTest(SimLineFixture fixture) => _line = fixture.Line;

        [Fact]
        public void TheLibraryNamesItsVersion() =>
            Assert.Matches(@"^\d+\.\d+\.\d+$", Line.LibraryVersion);

        [Fact]
        public void TwoLinesRunInParallelEachWithItsOwnCounters()
        {
            using var other = new VirtualController();
            using var second = new Line(other.Device);
            _line.GetStats(reset: true);
            int answered = 0;
            Thread Work(Line line, int probes)
            {
                var thread = new Thread(() =>
                {
                    for (int i = 0; i < probes; ++i)
                        if (line.Probe(2)) Interlocked.Increment(ref answered);
                });
                thread.Start();
                return thread;
            }
            // Two threads share the first line; the second line runs beside them.
            Thread[] threads = { Work(_line, 100), Work(_line, 100), Work(second, 100) };
            foreach (Thread thread in threads) thread.Join();
            Assert.Equal(300, answered);
            Assert.Equal((200u, 200u), (_line.GetStats().Exchanges, _line.GetStats().Successes));
            Assert.Equal(100u, second.GetStats(reset: true).Exchanges);
            Assert.Equal(0u, second.GetStats().Exchanges);
        }

        [Fact]
        public void TraceAndCaptureSeeEveryFrame()
        {
            string path = Path.Combine(Path.GetTempPath(), $"zarvo-{Guid.NewGuid():N}.pcap");
            var frames = new System.Collections.Generic.List<TraceDirection>();
            bool reentryRefused = false;
            _line.SetTrace((direction, _, frame) =>
            {
                if (frame.Length > 0) frames.Add(direction);
                // Calling back into the line from its own handler would deadlock in the library.
                try { _line.Probe(2); }
                catch (InvalidOperationException) { reentryRefused = true; }
            });
            _line.Capture(path);
            try
            {
                Assert.True(_line.Probe(1));
            }
            finally
            {
                _line.StopCapture();
                _line.SetTrace(null);
            }
            Assert.Equal(new[] { TraceDirection.Request, TraceDirection.Reply }, frames);
            Assert.True(reentryRefused);
            byte[] capture = File.ReadAllBytes(path);
            File.Delete(path);
            Assert.Equal(new byte[] { 0xD4, 0xC3, 0xB2, 0xA1 }, capture.Take(4)); // pcap, little-endian
            Assert.True(capture.Length > 24 + 2 * 16, "a header and two frame records");
            Expect.Failure(ResultCode.Refused, () => _line.Capture("/nonexistent-dir/x.pcap"));
        }

        [Fact]
        public void ApplicationChannelCarriesTheLine()
        {
            using var server = new VirtualController("--tcp", "127.0.0.1:0");
            var channel = new TcpChannel(new Uri(server.Device));
            using (var line = new Line(channel))
            {
                Assert.True(line.Probe(1));
                Assert.StartsWith("ZAC-4", line.GetVersion(2));
                channel.FailWith = new IOException("cable cut");
                ZarvoException error = Assert.Throws<ZarvoException>(() => line.GetVersion(2));
                Assert.Same(channel.FailWith, error.InnerException);
            }
            Assert.True(channel.Closed);
        }

        /// A channel over a TCP connection, as an application might carry the line itself.
        private sealed class TcpChannel : IZarvoChannel
        {
            private readonly Socket _socket = new Socket(SocketType.Stream, ProtocolType.Tcp);

            public TcpChannel(Uri address) => _socket.Connect(address.Host, address.Port);

            public Exception? FailWith { get; set; }
            public bool Closed { get; private set; }

            public int Write(byte[] data) => FailWith != null ? throw FailWith : _socket.Send(data);

            public int Read(byte[] buffer, int count, int waitMilliseconds)
            {
                if (!_socket.Poll(waitMilliseconds * 1000, SelectMode.SelectRead)) return 0;
                int received = _socket.Receive(buffer, count, SocketFlags.None);
                return received > 0 ? received : -1; // readable with nothing to read: closed
            }

            public void DiscardInput()
            {
                var scratch = new byte[256];
                while (_socket.Available > 0) _socket.Receive(scratch);
            }

            public void Close()
            {
                Closed = true;
                _socket.Dispose();
            }
        }
    }
}

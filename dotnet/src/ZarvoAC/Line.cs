using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using System.Threading;
using ZarvoAC.Native;

namespace ZarvoAC
{
    /// <summary>
    /// A line to the door controllers on it: a serial device, a serial device server
    /// (<c>tcp://</c>, <c>rfc2217://</c>) or a link the application carries itself
    /// (<see cref="IZarvoChannel"/>).
    /// </summary>
    /// <remarks>
    /// <para>Each Line is a line of its own in the library, with its own port, lock, table copies,
    /// options and counters, so any number may be open at once and calls on different lines run
    /// in parallel. Every operation names the bus address of the controller it is for (1 to 255;
    /// 0 lets whichever controller answers reply) and blocks until the reply has arrived or the
    /// line has stayed silent for the command's time-out.</para>
    /// <para>Threads may share a Line: its calls run one at a time. Disposing waits for a call in
    /// progress. A channel's or trace handler's code runs on the calling thread while the line
    /// is held and must not call back into the same Line (it gets an
    /// <see cref="InvalidOperationException"/>).</para>
    /// <para>A failed operation throws a <see cref="ZarvoException"/> with the library's result
    /// code, its name and the line's own words for why it failed.</para>
    /// </remarks>
    public sealed partial class Line : IDisposable
    {
        private readonly LineHandle _handle;
        private readonly object _gate = new object();
        private ChannelBridge? _channel;

#if NET
        static Line() => LibraryResolver.Install();
#endif

        /// <summary>The native library's version, "MAJOR.MINOR.PATCH".</summary>
        /// <exception cref="DllNotFoundException">The native library cannot be loaded.</exception>
        public static string LibraryVersion =>
            Marshal.PtrToStringAnsi(NativeMethods.Zarvo_LibraryVersion()) ?? "";

        /// <summary>A line with no port open yet: set options, then <see cref="Open(string, int)"/>.</summary>
        /// <exception cref="OutOfMemoryException">The library could not make a line.</exception>
        /// <exception cref="DllNotFoundException">The native library cannot be loaded.</exception>
        public Line()
        {
            _handle = NativeMethods.Zarvo_LineCreate();
            if (_handle.IsInvalid) throw new OutOfMemoryException("the ZarvoAC library could not make a line");
        }

        /// <summary>A line opened on <paramref name="portName"/> at <paramref name="baud"/> bit/s (see <see cref="Open(string, int)"/>).</summary>
        public Line(string portName, int baud = 9600) : this()
        {
            try { Open(portName, baud); }
            catch { Dispose(); throw; }
        }

        /// <summary>A line opened over the application's <paramref name="channel"/> (see <see cref="Open(IZarvoChannel)"/>).</summary>
        public Line(IZarvoChannel channel) : this()
        {
            try { Open(channel); }
            catch { Dispose(); throw; }
        }

        /// <summary>
        /// What the library noted about the last open that succeeded with a reservation (a device
        /// server without COM-port control); empty when there was none.
        /// </summary>
        public string OpenNote { get; private set; } = "";

        /// <summary>
        /// Opens <paramref name="portName"/> at <paramref name="baud"/> bit/s, 8N1, closing any port
        /// already open: a serial device (<c>COM3</c>, <c>\\.\COM10</c>, <c>/dev/ttyUSB0</c>),
        /// <c>tcp://HOST:PORT</c> for a device server over raw TCP, or <c>rfc2217://HOST:PORT</c>
        /// over Telnet with COM-port control, each optionally followed by line options for this
        /// open (<c>/dev/ttyUSB0?echo=on&amp;wait=200</c>).
        /// </summary>
        /// <exception cref="ZarvoException">The port cannot be opened (REFUSED, with the system's
        /// reason such as "no such device") or configured (QUEUE_SIZES to PORT_TIMEOUTS).</exception>
        public void Open(string portName, int baud = 9600)
        {
            if (portName == null) throw new ArgumentNullException(nameof(portName));
            using (var call = Begin())
            {
                int result = NativeMethods.Zarvo_LineOpenCom(_handle, portName, baud);
                string reason = call.OpenErrorText();
                if (result < 0) throw call.Failure(result, $"opening {portName} at {baud} bit/s", reason);
                _channel = null; // the library has let go of an earlier channel
                OpenNote = reason;
            }
        }

        /// <summary>
        /// Opens the line over the application's own link, closing any port already open. The
        /// channel's methods are called on the thread of each operation.
        /// </summary>
        public void Open(IZarvoChannel channel)
        {
            if (channel == null) throw new ArgumentNullException(nameof(channel));
            using (var call = Begin())
            {
                var bridge = new ChannelBridge(channel);
                ZarvoChannel record = bridge.Record;
                int result = NativeMethods.Zarvo_LineOpenChannel(_handle, ref record);
                if (result < 0)
                {
                    bridge.Release();
                    throw call.Failure(result, "opening a channel");
                }
                _handle.Hold(ref _handle.Channel, bridge.Handle);
                _channel = bridge;
                OpenNote = "";
            }
        }

        /// <summary>Closes the port; the line stays and may be opened again. Harmless when none is open.</summary>
        public void Close()
        {
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineCloseCom(_handle), "closing the port");
        }

        /// <summary>
        /// Sets a line option until changed, as <c>NAME?key=value</c> does for one open:
        /// <c>echo</c> (<c>auto</c>, <c>on</c>, <c>off</c>), <c>wait</c> (extra milliseconds for the
        /// first reply byte), <c>rs485</c> (<c>rts</c>, <c>none</c>; at the next open),
        /// <c>rts_before</c>, <c>rts_after</c> (milliseconds).
        /// </summary>
        /// <exception cref="ZarvoException">INVALID_ARG: an unknown key or a malformed value.</exception>
        public void SetOption(string key, string value)
        {
            if (key == null) throw new ArgumentNullException(nameof(key));
            if (value == null) throw new ArgumentNullException(nameof(value));
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineSetOption(_handle, key, value), $"setting option {key}={value}");
        }

        /// <summary>Sets several line options (see <see cref="SetOption"/>).</summary>
        public void SetOptions(IEnumerable<KeyValuePair<string, string>> options)
        {
            if (options == null) throw new ArgumentNullException(nameof(options));
            foreach (var option in options) SetOption(option.Key, option.Value);
        }

        /// The library's line, for the benchmark that times the same probe from C.
        internal LineHandle Handle => _handle;

        /// <summary>True until the line is disposed.</summary>
        public bool IsDisposed => _handle.IsClosed;

        /// <summary>Closes the port and frees the line, after a call in progress has returned. Harmless twice.</summary>
        public void Dispose()
        {
            if (Monitor.IsEntered(_gate)) throw ReentryError();
            lock (_gate)
            {
                _handle.Dispose();
            }
        }

        private static InvalidOperationException ReentryError() =>
            new InvalidOperationException("a Line cannot be used from its own channel's or trace handler's code");

        /// <summary>Holds the line for one call: its lock, and the failure text read under it.</summary>
        private Call Begin()
        {
            if (Monitor.IsEntered(_gate)) throw ReentryError();
            Monitor.Enter(_gate);
            if (_handle.IsClosed)
            {
                Monitor.Exit(_gate);
                throw new ObjectDisposedException(nameof(Line));
            }
            _channel?.TakeFailure(); // what the channel threw during an earlier call that succeeded
            return new Call(this);
        }

        private readonly struct Call : IDisposable
        {
            private readonly Line _line;

            public Call(Line line) => _line = line;

            public void Dispose() => Monitor.Exit(_line._gate);

            /// Returns a non-negative result; throws for a negative one.
            public int Check(int result, string operation)
            {
                if (result < 0) throw Failure(result, operation);
                return result;
            }

            public int Check(int result, string operation, int address)
            {
                if (result < 0) throw Failure(result, $"{operation} at address {address}");
                return result;
            }

            public ZarvoException Failure(int code, string operation) => Failure(code, operation, FailureText());

            public ZarvoException Failure(int code, string operation, string text)
            {
                Exception? cause = _line._channel?.TakeFailure();
                if (cause != null && text.Length == 0) text = "the channel failed: " + cause.Message;
                return new ZarvoException(code, operation, text, cause);
            }

            public string OpenErrorText() => FailureTexts.Read(NativeMethods.Zarvo_LineOpenError, _line._handle);

            /// Why the last call failed, from Zarvo_LineLastError; a library without it only
            /// tells why its last open failed.
            public string FailureText() =>
                FailureTexts.LastErrorMissing ? OpenErrorText() : FailureTexts.ReadLast(_line._handle);
        }
    }
}

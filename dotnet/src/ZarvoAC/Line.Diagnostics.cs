using System;
using System.Runtime.InteropServices;
using ZarvoAC.Native;

namespace ZarvoAC
{
    /// <summary>Which way a traced frame went.</summary>
    public enum TraceDirection
    {
        /// <summary>Written by the host.</summary>
        Request = 0,
        /// <summary>Received, as it arrived (with any noise before it, whole or cut short).</summary>
        Reply = 1,
    }

    /// <summary>Receives a frame as it crossed the wire; <paramref name="timestampMicroseconds"/> is a monotonic clock.</summary>
    public delegate void TraceHandler(TraceDirection direction, ulong timestampMicroseconds, byte[] frame);

    public sealed partial class Line
    {
        private static readonly NativeMethods.TraceHook TraceEntry = OnTrace;

        /// <summary>
        /// Writes every frame of the line to the capture file <paramref name="path"/> from now on
        /// (classic pcap, link type USER0, readable in Wireshark with tools/wireshark/zarvoac.lua),
        /// each frame as it happens. A new capture replaces a running one.
        /// </summary>
        /// <exception cref="ZarvoException">REFUSED: the file cannot be created (a running capture goes on).</exception>
        public void Capture(string path)
        {
            if (path == null) throw new ArgumentNullException(nameof(path));
            using (var call = Begin())
            {
                int result = NativeMethods.Zarvo_LineCapture(_handle, path);
                if (result < 0) throw call.Failure(result, $"capturing to {path}", result == -1 ? "cannot create the file" : "");
            }
        }

        /// <summary>Stops a running capture; harmless when none runs.</summary>
        public void StopCapture()
        {
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineCapture(_handle, null), "stopping the capture");
        }

        /// <summary>The line's health counters; <paramref name="reset"/> sets them to 0 after reading.</summary>
        public LineStats GetStats(bool reset = false)
        {
            ZarvoLineStats stats;
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineStats(_handle, out stats, reset ? 1 : 0), "reading the line counters");
            return LineStats.From(stats);
        }

        /// <summary>
        /// Calls <paramref name="handler"/> with every frame of the line, on the thread of the
        /// operation, while the line is held (it must not call back into this Line); null stops.
        /// What the handler throws is dropped: nothing may unwind through the library.
        /// </summary>
        public void SetTrace(TraceHandler? handler)
        {
            GCHandle context = handler == null ? default : GCHandle.Alloc(handler);
            using (var call = Begin())
            {
                int result = handler == null
                    ? NativeMethods.Zarvo_LineSetTrace(_handle, null, IntPtr.Zero)
                    : NativeMethods.Zarvo_LineSetTrace(_handle, TraceEntry, GCHandle.ToIntPtr(context));
                if (result < 0)
                {
                    if (context.IsAllocated) context.Free();
                    throw call.Failure(result, "setting the trace handler");
                }
                _handle.Hold(ref _handle.Trace, context);
            }
        }

        private static void OnTrace(IntPtr context, int direction, ulong timestampUs, IntPtr bytes, int count)
        {
            try
            {
                var frame = new byte[Math.Max(count, 0)];
                Marshal.Copy(bytes, frame, 0, frame.Length);
                ((TraceHandler)GCHandle.FromIntPtr(context).Target!)((TraceDirection)direction, timestampUs, frame);
            }
            catch (Exception)
            {
                // Dropped on purpose: an exception must not unwind through the library's frames.
            }
        }
    }
}

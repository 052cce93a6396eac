using System;
using System.Runtime.InteropServices;
using ZarvoAC.Native;

namespace ZarvoAC
{
    /// Carries the library's channel calls to an IZarvoChannel. The function pointers are
    /// static and live as long as the process; the context names the bridge through a GCHandle,
    /// which the line's handle frees once the line has let go of the channel.
    internal sealed class ChannelBridge
    {
        private static readonly NativeMethods.ChannelWrite WriteEntry = OnWrite;
        private static readonly NativeMethods.ChannelRead ReadEntry = OnRead;
        private static readonly NativeMethods.ChannelNotice DiscardEntry = OnDiscardInput;
        private static readonly NativeMethods.ChannelNotice CloseEntry = OnClose;

        private readonly IZarvoChannel _channel;
        private byte[] _readBuffer = new byte[64];
        private Exception? _failure;

        public ChannelBridge(IZarvoChannel channel)
        {
            _channel = channel;
            Handle = GCHandle.Alloc(this);
            Record = new ZarvoChannel
            {
                context = GCHandle.ToIntPtr(Handle),
                write = Marshal.GetFunctionPointerForDelegate(WriteEntry),
                read = Marshal.GetFunctionPointerForDelegate(ReadEntry),
                discardInput = Marshal.GetFunctionPointerForDelegate(DiscardEntry),
                close = Marshal.GetFunctionPointerForDelegate(CloseEntry),
            };
        }

        public GCHandle Handle { get; }
        public ZarvoChannel Record { get; }

        public void Release() => Handle.Free();

        /// What the channel threw since the last look, or null.
        public Exception? TakeFailure()
        {
            Exception? failure = _failure;
            _failure = null;
            return failure;
        }

        private static ChannelBridge From(IntPtr context) => (ChannelBridge)GCHandle.FromIntPtr(context).Target!;

        private static int OnWrite(IntPtr context, IntPtr bytes, int count)
        {
            ChannelBridge bridge = From(context);
            try
            {
                var data = new byte[Math.Max(count, 0)];
                Marshal.Copy(bytes, data, 0, data.Length);
                return bridge._channel.Write(data);
            }
            catch (Exception error)
            {
                bridge._failure = error;
                return 0;
            }
        }

        private static int OnRead(IntPtr context, IntPtr dest, int capacity, uint waitMs)
        {
            ChannelBridge bridge = From(context);
            try
            {
                if (bridge._readBuffer.Length < capacity) bridge._readBuffer = new byte[capacity];
                int count = bridge._channel.Read(bridge._readBuffer, capacity, (int)Math.Min(waitMs, int.MaxValue));
                if (count > 0) Marshal.Copy(bridge._readBuffer, 0, dest, Math.Min(count, capacity));
                return Math.Min(count, capacity);
            }
            catch (Exception error)
            {
                bridge._failure = error;
                return -1;
            }
        }

        private static void OnDiscardInput(IntPtr context) => Guard(context, channel => channel.DiscardInput());

        private static void OnClose(IntPtr context) => Guard(context, channel => channel.Close());

        private static void Guard(IntPtr context, Action<IZarvoChannel> action)
        {
            ChannelBridge bridge = From(context);
            try { action(bridge._channel); }
            catch (Exception error) { bridge._failure = error; }
        }
    }
}

using System;
using System.Runtime.InteropServices;

namespace ZarvoAC.Native
{
    /// A line of the library, freed with Zarvo_LineDestroy exactly once: by Line.Dispose, or by
    /// the finalizer of a Line that was never disposed. While a call is in progress the
    /// marshaller holds a reference, so the line is never freed under a running call.
    internal sealed class LineHandle : SafeHandle
    {
        /// The application's channel and trace handler the line calls into; kept reachable
        /// until the line has let go of them (it calls the channel's close while destroyed).
        public GCHandle Channel;
        public GCHandle Trace;

        public LineHandle() : base(IntPtr.Zero, ownsHandle: true) { }

        public override bool IsInvalid => handle == IntPtr.Zero;

        /// Puts `held` into `slot`, freeing what was there: call it once the line holds the
        /// new object and no longer the old one.
        public void Hold(ref GCHandle slot, GCHandle held)
        {
            if (slot.IsAllocated) slot.Free();
            slot = held;
        }

        protected override bool ReleaseHandle()
        {
            NativeMethods.Zarvo_LineDestroy(handle);
            if (Channel.IsAllocated) Channel.Free();
            if (Trace.IsAllocated) Trace.Free();
            return true;
        }
    }
}

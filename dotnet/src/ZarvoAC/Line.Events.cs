using System.Collections.Generic;
using ZarvoAC.Native;

namespace ZarvoAC
{
    public sealed partial class Line
    {
        private const int BlockCount = 256;

        /// <summary>The events of block <paramref name="block"/> of the log, up to 192; empty slots are left out.</summary>
        public IReadOnlyList<Event> ReadEventBlock(byte address, byte block)
        {
            var records = new EventRecord[RecordSizes.EventBlock];
            int count;
            using (var call = Begin())
                count = call.Check(NativeMethods.Zarvo_LineReadRecordOfBlock(_handle, address, block, records),
                                   "read event block", address);
            var events = new Event[count];
            for (int i = 0; i < count; ++i) events[i] = Event.From(records[i]);
            return events;
        }

        /// <summary>
        /// The whole log, block by block from block 0, read as it is enumerated; a block with fewer
        /// than 192 events ends it.
        /// </summary>
        public IEnumerable<Event> Events(byte address)
        {
            for (int block = 0; block < BlockCount; ++block)
            {
                IReadOnlyList<Event> events = ReadEventBlock(address, (byte)block);
                foreach (Event e in events) yield return e;
                if (events.Count < RecordSizes.EventBlock) yield break;
            }
        }

        /// <summary>The event at the controller's read position.</summary>
        public Event ReadEvent(byte address)
        {
            EventRecord record;
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineReadOne(_handle, address, out record), "read event", address);
            return Event.From(record);
        }

        /// <summary>Moves the controller's read position on and returns the event there.</summary>
        public Event NextEvent(byte address)
        {
            EventRecord record;
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineMoveNext(_handle, address, out record), "next event", address);
            return Event.From(record);
        }

        /// <summary>Clears the controller's event log.</summary>
        public void ClearEvents(byte address)
        {
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineClearRecord(_handle, address), "clear events", address);
        }

        /// <summary>Restores the controller's event log after a clear.</summary>
        public void RestoreEvents(byte address)
        {
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineRestoreRecord(_handle, address), "restore events", address);
        }

        /// <summary>
        /// The library's Zarvo_RestoreMaxRecord: it sends nothing and reports success. Here so that
        /// every operation of the C interface has its method.
        /// </summary>
        public void RestoreMaxEvents(byte address)
        {
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineRestoreMaxRecord(_handle, address), "restore max events", address);
        }
    }
}

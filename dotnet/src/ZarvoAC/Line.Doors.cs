using System;
using ZarvoAC.Native;

namespace ZarvoAC
{
    // Doors are numbered 0 to 3; the library refuses another number with INVALID_ARG.
    public sealed partial class Line
    {
        /// <summary>Sets the password (eight hex digits) that opens door <paramref name="door"/>.</summary>
        public void SetDoorPassword(byte address, int door, string password)
        {
            byte[] text = Checks.HexText(password, 8, "set door password", "the password");
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LinePassWordOpenDoor(_handle, address, door, text), "set door password", address);
        }

        /// <summary>Sets the controller's duress code (eight hex digits), valid for every door.</summary>
        public void SetDuressCode(byte address, string code)
        {
            byte[] text = Checks.HexText(code, 8, "set duress code", "the duress code");
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineMenaceCode(_handle, address, text), "set duress code", address);
        }

        /// <summary>Door <paramref name="door"/>'s access mode.</summary>
        public AccessMode GetAccessMode(byte address, int door)
        {
            var record = new AccessLevelRecord();
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineAccessLevel(_handle, address, door, ref record, Read), "read access mode", address);
            return AccessMode.From(record);
        }

        /// <summary>Writes <paramref name="mode"/> as door <paramref name="door"/>'s access mode.</summary>
        public void SetAccessMode(byte address, int door, AccessMode mode)
        {
            if (mode == null) throw new ArgumentNullException(nameof(mode));
            AccessLevelRecord record = mode.ToRecord();
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineAccessLevel(_handle, address, door, ref record, Write), "write access mode", address);
        }

        /// <summary>Door <paramref name="door"/>'s alarm mode.</summary>
        public AlarmMode GetAlarmMode(byte address, int door)
        {
            var record = new WarnLevelRecord();
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineWarnLevel(_handle, address, door, ref record, Read), "read alarm mode", address);
            return AlarmMode.From(record);
        }

        /// <summary>Writes <paramref name="mode"/> as door <paramref name="door"/>'s alarm mode.</summary>
        public void SetAlarmMode(byte address, int door, AlarmMode mode)
        {
            if (mode == null) throw new ArgumentNullException(nameof(mode));
            WarnLevelRecord record = mode.ToRecord("write alarm mode");
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineWarnLevel(_handle, address, door, ref record, Write), "write alarm mode", address);
        }

        /// <summary>Sends the four door timing values, door 0 first; their unit and meaning are the controller's business.</summary>
        public void SetDoorDelays(byte address, byte door0, byte door1, byte door2, byte door3)
        {
            var values = new int[] { door0, door1, door2, door3 };
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineDelay(_handle, address, values, 0), "set door delays", address);
        }

        /// <summary>Sets door <paramref name="door"/>'s 32-bit interlock mask (bit i stands for door i).</summary>
        public void SetInterlock(byte address, int door, uint mask)
        {
            var flags = new byte[RecordSizes.LockFlags];
            for (int i = 0; i < flags.Length; ++i) flags[i] = (byte)((mask >> i) & 1);
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineMutualLock(_handle, address, door, flags), "set interlock", address);
        }

        /// <summary>Opens door <paramref name="door"/>; <paramref name="param"/> goes with the command for the controller.</summary>
        public void OpenDoor(byte address, int door, byte param = 0)
        {
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineRemoteOpenDoor(_handle, address, door, param), "open door", address);
        }

        /// <summary>Closes door <paramref name="door"/>.</summary>
        public void CloseDoor(byte address, int door)
        {
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineRemoteCloseDoor(_handle, address, door), "close door", address);
        }

        /// <summary>Clears door <paramref name="door"/>'s alarm.</summary>
        public void ClearAlarm(byte address, int door)
        {
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineRemoteClearWarn(_handle, address, door), "clear alarm", address);
        }

        /// <summary>
        /// Links slot <paramref name="slot"/> (0 to 15) of door <paramref name="door"/> to weekly time
        /// table <paramref name="table"/>. The command carries all 16 slots of the door: the others go as 0.
        /// </summary>
        public void LinkTimeTable(byte address, int door, int slot, int table)
        {
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineRelationTimeTable(_handle, address, door, slot, table), "link time table", address);
        }

        /// <summary>
        /// Links slot <paramref name="slot"/> of door <paramref name="door"/> to holiday time table
        /// <paramref name="table"/>. The command carries all 16 slots of the door: the others go as 0.
        /// </summary>
        public void LinkHolidayTimeTable(byte address, int door, int slot, int table)
        {
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineRelationHolidayTimeTable(_handle, address, door, slot, table),
                           "link holiday time table", address);
        }

        /// <summary>Links door <paramref name="door"/> to always-open table <paramref name="table"/>.</summary>
        public void LinkAlwaysOpen(byte address, int door, int table)
        {
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineRelationAlwaysOpenOfWeek(_handle, address, door, table), "link always-open table", address);
        }
    }
}

using System;
using System.Runtime.InteropServices;

namespace ZarvoAC.Native
{
    /// The per-line functions of zarvoac.h. Every one is declared stdcall: that is what
    /// ZARVO_CALL means in the 32-bit Windows library, and the runtime ignores it on 64-bit
    /// Windows and on Linux, whose single calling convention the library uses there. Every
    /// argument is 4 bytes on win-x86, so a function of n arguments is Name@(4n) there.
    internal static class NativeMethods
    {
        /// libzarvoac.so on Linux, ZarvoAC.dll on Windows (file names there ignore case).
        public const string Library = "zarvoac";

        private const CallingConvention Call = CallingConvention.StdCall;

        [UnmanagedFunctionPointer(Call)]
        public delegate int ChannelWrite(IntPtr context, IntPtr bytes, int count);

        [UnmanagedFunctionPointer(Call)]
        public delegate int ChannelRead(IntPtr context, IntPtr dest, int capacity, uint waitMs);

        [UnmanagedFunctionPointer(Call)]
        public delegate void ChannelNotice(IntPtr context);

        [UnmanagedFunctionPointer(Call)]
        public delegate void TraceHook(IntPtr context, int direction, ulong timestampUs,
                                       IntPtr bytes, int count);

        // ---- lines ----
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern LineHandle Zarvo_LineCreate();
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern void Zarvo_LineDestroy(IntPtr line);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineOpenChannel(LineHandle line, ref ZarvoChannel channel);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineOpenError(LineHandle line, byte[] text, int size);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineLastError(LineHandle line, byte[] text, int size);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true, CharSet = CharSet.Ansi, BestFitMapping = false)]
        public static extern int Zarvo_LineSetOption(LineHandle line, string key, string value);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineSetTrace(LineHandle line, TraceHook? hook, IntPtr context);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true, CharSet = CharSet.Ansi, BestFitMapping = false)]
        public static extern int Zarvo_LineOpenCom(LineHandle line, string portName, int baud);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineCloseCom(LineHandle line);

        // ---- controller management ----
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineSearchAR(LineHandle line, int address);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineChangeAR(LineHandle line, int address, int newAddress);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineVer(LineHandle line, int address, byte[] version);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineTime(LineHandle line, int address);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineChangeBaud(LineHandle line, int address, int baud);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineInit(LineHandle line, int address);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineDeviceInformation(LineHandle line, int address, int[] values);

        // ---- event log ----
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineReadRecordOfBlock(LineHandle line, int address, int block,
                                                             [Out] EventRecord[] records);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineReadOne(LineHandle line, int address, out EventRecord record);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineMoveNext(LineHandle line, int address, out EventRecord record);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineClearRecord(LineHandle line, int address);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineRestoreRecord(LineHandle line, int address);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineRestoreMaxRecord(LineHandle line, int unused);

        // ---- cards ----
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineRegistry(LineHandle line, int address, ref CardRecord record,
                                                    out uint ticks, int mode, int flag);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineRegistryDouble(LineHandle line, int address,
                                                          ref DoubleCardRecord record, out uint ticks,
                                                          int mode);

        // ---- tables ----
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineTimeTable(LineHandle line, int address, int tableNo,
                                                     [In, Out] int[] record, int mode);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineHolidayTimeTable(LineHandle line, int address, int tableNo,
                                                            [In, Out] int[] record, int mode);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineAlwaysOpenOfWeek(LineHandle line, int address, int tableNo,
                                                            [In, Out] int[] record, int mode);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineHolidayTable(LineHandle line, int address, int index,
                                                        [In, Out] int[] record, int mode);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineChianTable(LineHandle line, int address, [In, Out] int[] record,
                                                      int group, int mode);

        // ---- door settings ----
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LinePassWordOpenDoor(LineHandle line, int address, int door,
                                                            [In, Out] byte[] password);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineAccessLevel(LineHandle line, int address, int door,
                                                       ref AccessLevelRecord settings, int mode);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineWarnLevel(LineHandle line, int address, int door,
                                                     ref WarnLevelRecord settings, int mode);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineDelay(LineHandle line, int address, int[] delayValues,
                                                 int reserved);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineMenaceCode(LineHandle line, int address, [In, Out] byte[] menaceCode);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineMutualLock(LineHandle line, int address, int door, byte[] lockFlags);

        // ---- remote door control and door-to-table links ----
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineRemoteOpenDoor(LineHandle line, int address, int door, int openParam);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineRemoteCloseDoor(LineHandle line, int address, int door);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineRemoteClearWarn(LineHandle line, int address, int door);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineRelationTimeTable(LineHandle line, int address, int door,
                                                             int slot, int linkValue);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineRelationHolidayTimeTable(LineHandle line, int address, int door,
                                                                    int slot, int linkValue);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineRelationAlwaysOpenOfWeek(LineHandle line, int address, int door,
                                                                    int linkValue);

        // ---- diagnostics ----
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true, CharSet = CharSet.Ansi, BestFitMapping = false)]
        public static extern int Zarvo_LineCapture(LineHandle line, string? path);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern int Zarvo_LineStats(LineHandle line, out ZarvoLineStats stats, int reset);
        [DllImport(Library, CallingConvention = Call, ExactSpelling = true)]
        public static extern IntPtr Zarvo_LibraryVersion();
    }
}

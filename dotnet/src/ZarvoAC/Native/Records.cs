using System;
using System.Runtime.InteropServices;

namespace ZarvoAC.Native
{
    // The records of zarvoac.h, field for field. Character fields are fixed byte buffers, so
    // every record is blittable: the library writes straight into the caller's memory, the
    // same on every platform (no pointers inside, 4-byte integers only).

    [StructLayout(LayoutKind.Sequential)]
    internal unsafe struct EventRecord
    {
        public fixed byte number1[16];
        public fixed byte number2[16];
        public fixed byte date[16];
        public fixed byte time[16];
        public int value1;
        public int value2;
    }

    [StructLayout(LayoutKind.Sequential)]
    internal unsafe struct CardRecord
    {
        public fixed byte cardNumber[32];
        public fixed byte pin[8];
        public fixed byte flags[32];
        public fixed byte reserved[32];
        public int value1;
        public int value2;
        public int year;
        public int month;
        public int day;
    }

    [StructLayout(LayoutKind.Sequential)]
    internal unsafe struct DoubleCardRecord
    {
        public fixed byte cardNumber1[16];
        public fixed byte cardNumber2[16];
        public fixed byte reservedPin[8];
        public fixed byte flags[32];
        public fixed byte reserved[32];
        public int reservedValue1;
        public int value2;
        public int year;
        public int month;
        public int day;
    }

    [StructLayout(LayoutKind.Sequential)]
    internal struct AccessLevelRecord
    {
        public int firstBit0;
        public int firstBit1;
        public int firstBit2;
        public int firstBit3;
        public int firstBit4;
        public int firstBit5;
        public int firstBit7;
        public int secondBit0;
        public int secondBit7;
    }

    [StructLayout(LayoutKind.Sequential)]
    internal struct WarnLevelRecord
    {
        public int firstBit0;
        public int firstBit1;
        public int firstBit2;
        public int firstBit3;
        public int firstBit4;
        public int firstBit5;
        public int firstBit6;
        public int secondBits0to1;
        public int secondBits2to3;
        public int secondBit4;
        public int secondBit5;
    }

    [StructLayout(LayoutKind.Sequential)]
    internal struct ZarvoLineStats
    {
        public uint exchanges;
        public uint successes;
        public uint refusals;
        public uint noReply;
        public uint noStartByte;
        public uint mismatches;
        public uint notOpen;
        public uint tooLong;
        public uint silences;
        public uint linksLost;
        public uint noiseBytes;
        public uint badByteFrames;
        public uint echoesStripped;
        public uint reconnects;
    }

    /// The application's link: a context and four function pointers (pointer-sized fields,
    /// 20 bytes on win-x86, 40 on 64-bit platforms).
    [StructLayout(LayoutKind.Sequential)]
    internal struct ZarvoChannel
    {
        public IntPtr context;
        public IntPtr write;
        public IntPtr read;
        public IntPtr discardInput;
        public IntPtr close;
    }

    /// Sizes of the integer-array records (TimeTableRecord, HolidayRecord, ChainRecord) and
    /// of the caller buffers the library fills.
    internal static class RecordSizes
    {
        public const int TimeTable = 33;
        public const int Holiday = 2;
        public const int Chain = 5;
        public const int EventBlock = 192;
        public const int Version = 32;
        public const int DeviceValues = 6;
        public const int Delays = 4;
        public const int LockFlags = 32;
    }
}

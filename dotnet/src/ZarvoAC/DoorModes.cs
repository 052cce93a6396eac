using ZarvoAC.Native;

namespace ZarvoAC
{
    /// <summary>
    /// A door's access mode: the bits of its two setting bytes that have a field. What each bit
    /// does is the controller firmware's business.
    /// </summary>
    public sealed record AccessMode
    {
        /// <summary>First setting byte, bit 0.</summary>
        public bool FirstBit0 { get; init; }
        /// <summary>First setting byte, bit 1.</summary>
        public bool FirstBit1 { get; init; }
        /// <summary>First setting byte, bit 2.</summary>
        public bool FirstBit2 { get; init; }
        /// <summary>First setting byte, bit 3.</summary>
        public bool FirstBit3 { get; init; }
        /// <summary>First setting byte, bit 4.</summary>
        public bool FirstBit4 { get; init; }
        /// <summary>First setting byte, bit 5.</summary>
        public bool FirstBit5 { get; init; }
        /// <summary>First setting byte, bit 7 (bit 6 has no field).</summary>
        public bool FirstBit7 { get; init; }
        /// <summary>Second setting byte, bit 0.</summary>
        public bool SecondBit0 { get; init; }
        /// <summary>Second setting byte, bit 7.</summary>
        public bool SecondBit7 { get; init; }

        internal AccessLevelRecord ToRecord() => new AccessLevelRecord
        {
            firstBit0 = Bit(FirstBit0), firstBit1 = Bit(FirstBit1), firstBit2 = Bit(FirstBit2),
            firstBit3 = Bit(FirstBit3), firstBit4 = Bit(FirstBit4), firstBit5 = Bit(FirstBit5),
            firstBit7 = Bit(FirstBit7), secondBit0 = Bit(SecondBit0), secondBit7 = Bit(SecondBit7),
        };

        internal static AccessMode From(in AccessLevelRecord r) => new AccessMode
        {
            FirstBit0 = r.firstBit0 != 0, FirstBit1 = r.firstBit1 != 0, FirstBit2 = r.firstBit2 != 0,
            FirstBit3 = r.firstBit3 != 0, FirstBit4 = r.firstBit4 != 0, FirstBit5 = r.firstBit5 != 0,
            FirstBit7 = r.firstBit7 != 0, SecondBit0 = r.secondBit0 != 0, SecondBit7 = r.secondBit7 != 0,
        };

        internal static int Bit(bool value) => value ? 1 : 0;
    }

    /// <summary>
    /// A door's alarm mode: one-bit fields and two 2-bit fields (0 to 3) of its two setting bytes.
    /// What each field does is the controller firmware's business.
    /// </summary>
    public sealed record AlarmMode
    {
        /// <summary>First setting byte, bit 0.</summary>
        public bool FirstBit0 { get; init; }
        /// <summary>First setting byte, bit 1.</summary>
        public bool FirstBit1 { get; init; }
        /// <summary>First setting byte, bit 2.</summary>
        public bool FirstBit2 { get; init; }
        /// <summary>First setting byte, bit 3.</summary>
        public bool FirstBit3 { get; init; }
        /// <summary>First setting byte, bit 4.</summary>
        public bool FirstBit4 { get; init; }
        /// <summary>First setting byte, bit 5.</summary>
        public bool FirstBit5 { get; init; }
        /// <summary>First setting byte, bit 6.</summary>
        public bool FirstBit6 { get; init; }
        /// <summary>Second setting byte, bits 0 and 1: 0 to 3.</summary>
        public int SecondBits0To1 { get; init; }
        /// <summary>Second setting byte, bits 2 and 3: 0 to 3.</summary>
        public int SecondBits2To3 { get; init; }
        /// <summary>Second setting byte, bit 4.</summary>
        public bool SecondBit4 { get; init; }
        /// <summary>Second setting byte, bit 5.</summary>
        public bool SecondBit5 { get; init; }

        internal WarnLevelRecord ToRecord(string operation) => new WarnLevelRecord
        {
            firstBit0 = AccessMode.Bit(FirstBit0), firstBit1 = AccessMode.Bit(FirstBit1),
            firstBit2 = AccessMode.Bit(FirstBit2), firstBit3 = AccessMode.Bit(FirstBit3),
            firstBit4 = AccessMode.Bit(FirstBit4), firstBit5 = AccessMode.Bit(FirstBit5),
            firstBit6 = AccessMode.Bit(FirstBit6),
            // The library would send the low two bits of any number: refuse what does not fit.
            secondBits0to1 = Checks.Range(SecondBits0To1, 0, 3, operation, nameof(SecondBits0To1)),
            secondBits2to3 = Checks.Range(SecondBits2To3, 0, 3, operation, nameof(SecondBits2To3)),
            secondBit4 = AccessMode.Bit(SecondBit4), secondBit5 = AccessMode.Bit(SecondBit5),
        };

        internal static AlarmMode From(in WarnLevelRecord r) => new AlarmMode
        {
            FirstBit0 = r.firstBit0 != 0, FirstBit1 = r.firstBit1 != 0, FirstBit2 = r.firstBit2 != 0,
            FirstBit3 = r.firstBit3 != 0, FirstBit4 = r.firstBit4 != 0, FirstBit5 = r.firstBit5 != 0,
            FirstBit6 = r.firstBit6 != 0, SecondBits0To1 = r.secondBits0to1, SecondBits2To3 = r.secondBits2to3,
            SecondBit4 = r.secondBit4 != 0, SecondBit5 = r.secondBit5 != 0,
        };
    }
}

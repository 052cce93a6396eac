using ZarvoAC.Native;

namespace ZarvoAC
{
    /// <summary>A line's health counters since it was made or last reset; each stops at 4294967295.</summary>
    public sealed record LineStats
    {
        /// <summary>Requests attempted (arguments valid).</summary>
        public uint Exchanges { get; init; }
        /// <summary>Exchanges that succeeded.</summary>
        public uint Successes { get; init; }
        /// <summary>Commands the controller refused.</summary>
        public uint Refusals { get; init; }
        /// <summary>Exchanges that got no reply.</summary>
        public uint NoReply { get; init; }
        /// <summary>Replies without a start byte.</summary>
        public uint NoStartByte { get; init; }
        /// <summary>Replies from another address or for another command.</summary>
        public uint Mismatches { get; init; }
        /// <summary>Calls with no port open, or nothing written.</summary>
        public uint NotOpen { get; init; }
        /// <summary>Replies longer than the receive buffer.</summary>
        public uint TooLong { get; init; }
        /// <summary>Exchanges to which nothing but an echo, if that, came back.</summary>
        public uint Silences { get; init; }
        /// <summary>Times the device reported an error or hang-up.</summary>
        public uint LinksLost { get; init; }
        /// <summary>Bytes received before a reply's start mark.</summary>
        public uint NoiseBytes { get; init; }
        /// <summary>Replies with bytes outside 0x00-0x0F inside.</summary>
        public uint BadByteFrames { get; init; }
        /// <summary>Adapter echoes of the request dropped.</summary>
        public uint EchoesStripped { get; init; }
        /// <summary>Network links connected again.</summary>
        public uint Reconnects { get; init; }

        internal static LineStats From(in ZarvoLineStats s) => new LineStats
        {
            Exchanges = s.exchanges, Successes = s.successes, Refusals = s.refusals, NoReply = s.noReply,
            NoStartByte = s.noStartByte, Mismatches = s.mismatches, NotOpen = s.notOpen, TooLong = s.tooLong,
            Silences = s.silences, LinksLost = s.linksLost, NoiseBytes = s.noiseBytes,
            BadByteFrames = s.badByteFrames, EchoesStripped = s.echoesStripped, Reconnects = s.reconnects,
        };
    }
}

namespace ZarvoAC
{
    /// <summary>The results of the library's functions (the <c>ZARVO_E_*</c> codes).</summary>
    public enum ResultCode
    {
        /// <summary>Success.</summary>
        Ok = 0,
        /// <summary>The port cannot be opened, or the controller refused the command.</summary>
        Refused = -1,
        /// <summary>The platform refused the port's queue sizes.</summary>
        QueueSizes = -2,
        /// <summary>The line speed or mode was refused.</summary>
        LineDefinition = -3,
        /// <summary>The port settings were refused.</summary>
        PortSettings = -4,
        /// <summary>The port time-outs were refused.</summary>
        PortTimeouts = -5,
        /// <summary>No reply: the line stayed silent, or the device went away.</summary>
        NoReply = -10,
        /// <summary>A reply arrived without a start byte.</summary>
        NoStartByte = -11,
        /// <summary>The reply came from another address or for another command.</summary>
        Mismatch = -12,
        /// <summary>The reply was too short for the data read.</summary>
        ShortReply = -13,
        /// <summary>No port is open, or nothing could be written.</summary>
        NotOpen = -16,
        /// <summary>The reply was longer than the receive buffer.</summary>
        TooLong = -17,
        /// <summary>An argument is out of range; nothing was sent.</summary>
        InvalidArgument = -18,
    }

    /// <summary>Names and meanings of the result codes, as the library and its tools spell them.</summary>
    public static class ResultCodes
    {
        /// <summary>The code's name, e.g. <c>NO_REPLY</c> for -10; <c>UNKNOWN</c> for another number.</summary>
        public static string NameOf(int code) => code switch
        {
            0 => "OK",
            -1 => "REFUSED",
            -2 => "QUEUE_SIZES",
            -3 => "LINE_DEFINITION",
            -4 => "PORT_SETTINGS",
            -5 => "PORT_TIMEOUTS",
            -10 => "NO_REPLY",
            -11 => "NO_START_BYTE",
            -12 => "MISMATCH",
            -13 => "SHORT_REPLY",
            -16 => "NOT_OPEN",
            -17 => "TOO_LONG",
            -18 => "INVALID_ARG",
            _ => "UNKNOWN",
        };

        /// <summary>What the code means, in words.</summary>
        public static string MeaningOf(int code) => code switch
        {
            0 => "success",
            -1 => "the port cannot be opened, or the controller refused the command",
            -2 => "the platform refused the port's queue sizes",
            -3 => "the line speed or mode was refused",
            -4 => "the port settings were refused",
            -5 => "the port time-outs were refused",
            -10 => "no reply: the line stayed silent or the device went away",
            -11 => "a reply arrived without a start byte",
            -12 => "the reply came from another address or for another command",
            -13 => "the reply was too short for the data read",
            -16 => "no port is open, or nothing could be written",
            -17 => "the reply was longer than the receive buffer",
            -18 => "invalid argument; nothing was sent",
            _ => "result " + code,
        };
    }
}

using System;
using System.Text;
using ZarvoAC.Native;

namespace ZarvoAC
{
    /// The texts in which a line tells why a call or an open failed.
    internal static class FailureTexts
    {
        private const int Bytes = 256;

        /// A library older than Zarvo_LineLastError; then only open failures have a text.
        public static bool LastErrorMissing { get; private set; }

        public static string Read(Func<LineHandle, byte[], int, int> reader, LineHandle line)
        {
            var text = new byte[Bytes];
            return reader(line, text, text.Length) == 0 ? Decode(text) : "";
        }

        public static string ReadLast(LineHandle line)
        {
            try
            {
                return Read(NativeMethods.Zarvo_LineLastError, line);
            }
            catch (EntryPointNotFoundException)
            {
                LastErrorMissing = true;
                return Read(NativeMethods.Zarvo_LineOpenError, line);
            }
        }

        private static string Decode(byte[] text)
        {
            int length = Array.IndexOf(text, (byte)0);
            return Encoding.UTF8.GetString(text, 0, length < 0 ? text.Length : length);
        }
    }
}

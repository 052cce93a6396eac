using System;

namespace ZarvoAC
{
    /// <summary>
    /// A failed call: the library's result code, its name, and the line's own words for why it
    /// failed (for example "connection refused", or the silence that ended a wait).
    /// </summary>
    public class ZarvoException : Exception
    {
        /// <summary>Makes the exception for <paramref name="code"/>, a negative result of <paramref name="operation"/>.</summary>
        public ZarvoException(int code, string operation, string failureText, Exception? inner = null)
            : base(Describe(code, operation, failureText), inner)
        {
            Code = code;
            Operation = operation;
            FailureText = failureText;
        }

        /// <summary>The library's result code, a negative number (see <see cref="ResultCode"/>).</summary>
        public int Code { get; }

        /// <summary>The code as a <see cref="ZarvoAC.ResultCode"/>.</summary>
        public ResultCode Result => (ResultCode)Code;

        /// <summary>The code's name, e.g. <c>NO_REPLY</c>.</summary>
        public string CodeName => ResultCodes.NameOf(Code);

        /// <summary>What was being done, e.g. <c>probe at address 1</c>.</summary>
        public string Operation { get; }

        /// <summary>
        /// Why the call failed, as the line tells it; empty when the line has nothing to add to
        /// the code's meaning.
        /// </summary>
        public string FailureText { get; }

        private static string Describe(int code, string operation, string failureText)
        {
            string text = failureText.Length > 0 ? failureText : ResultCodes.MeaningOf(code);
            return $"{operation}: {text} ({ResultCodes.NameOf(code)}, {code})";
        }
    }
}

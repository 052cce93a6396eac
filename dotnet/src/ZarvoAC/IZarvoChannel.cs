namespace ZarvoAC
{
    /// <summary>
    /// A link the application carries itself (a socket of its own, a radio modem, a test
    /// double), for <see cref="Line.Open(IZarvoChannel)"/>.
    /// </summary>
    /// <remarks>
    /// The methods are called on the thread of the operation that uses the line, while that
    /// line is held: they must not call back into it. An exception they throw fails the
    /// operation in progress, and becomes the inner exception of its <see cref="ZarvoException"/>.
    /// </remarks>
    public interface IZarvoChannel
    {
        /// <summary>Sends <paramref name="data"/>; returns the count sent (0 or less: nothing was sent).</summary>
        int Write(byte[] data);

        /// <summary>
        /// Waits up to <paramref name="waitMilliseconds"/> for input and stores what is there, up to
        /// <paramref name="count"/> bytes, at the start of <paramref name="buffer"/>. Returns the count
        /// stored, 0 when the wait ran out, and a negative number when the link is gone.
        /// </summary>
        int Read(byte[] buffer, int count, int waitMilliseconds);

        /// <summary>Drops input left over from an earlier request.</summary>
        void DiscardInput();

        /// <summary>Called once when the line lets go of the channel (closed, reopened or disposed).</summary>
        void Close();
    }
}

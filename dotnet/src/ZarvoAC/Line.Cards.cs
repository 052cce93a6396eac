using ZarvoAC.Native;

namespace ZarvoAC
{
    public sealed partial class Line
    {
        private const int Delete = 2;

        /// <summary>
        /// How long the last card operation's exchange with the controller took, in milliseconds,
        /// whether it succeeded or not. Card operations wait up to 10 s for a reply.
        /// </summary>
        public uint LastCardExchangeMs { get; private set; }

        /// <summary>Card <paramref name="number"/> as the controller holds it; REFUSED when it holds no such card.</summary>
        public Card GetCard(byte address, uint number)
        {
            CardRecord record = Card.Key(number);
            Registry(address, ref record, Read, 0, "read card");
            return Card.From(record);
        }

        /// <summary>
        /// Registers <paramref name="card"/>, replacing any entry of the same number.
        /// <paramref name="flagged"/> registers it with the controller's second registration
        /// command, which carries the same entry (what it means is the controller's business).
        /// </summary>
        public void PutCard(byte address, Card card, bool flagged = false)
        {
            if (card == null) throw new System.ArgumentNullException(nameof(card));
            CardRecord record = card.ToRecord("write card");
            Registry(address, ref record, Write, flagged ? 1 : 0, "write card");
        }

        /// <summary>Deletes card <paramref name="number"/>; REFUSED when the controller refuses.</summary>
        public void DeleteCard(byte address, uint number)
        {
            CardRecord record = Card.Key(number);
            Registry(address, ref record, Delete, 0, "delete card");
        }

        /// <summary>The double-card entry of the two numbers; REFUSED when the controller holds none.</summary>
        public DoubleCard GetDoubleCard(byte address, uint number1, uint number2)
        {
            DoubleCardRecord record = DoubleCard.Key(number1, number2);
            RegistryDouble(address, ref record, Read, "read double card");
            return DoubleCard.From(record);
        }

        /// <summary>Registers <paramref name="card"/>, replacing any entry of the same two numbers.</summary>
        public void PutDoubleCard(byte address, DoubleCard card)
        {
            if (card == null) throw new System.ArgumentNullException(nameof(card));
            DoubleCardRecord record = card.ToRecord("write double card");
            RegistryDouble(address, ref record, Write, "write double card");
        }

        /// <summary>Deletes the double-card entry of the two numbers.</summary>
        public void DeleteDoubleCard(byte address, uint number1, uint number2)
        {
            DoubleCardRecord record = DoubleCard.Key(number1, number2);
            RegistryDouble(address, ref record, Delete, "delete double card");
        }

        private void Registry(byte address, ref CardRecord record, int mode, int flag, string operation)
        {
            using (var call = Begin())
            {
                int result = NativeMethods.Zarvo_LineRegistry(_handle, address, ref record, out uint ticks, mode, flag);
                LastCardExchangeMs = ticks;
                call.Check(result, operation, address);
            }
        }

        private void RegistryDouble(byte address, ref DoubleCardRecord record, int mode, string operation)
        {
            using (var call = Begin())
            {
                int result = NativeMethods.Zarvo_LineRegistryDouble(_handle, address, ref record, out uint ticks, mode);
                LastCardExchangeMs = ticks;
                call.Check(result, operation, address);
            }
        }
    }
}

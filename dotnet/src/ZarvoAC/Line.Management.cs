using System.Text;
using ZarvoAC.Native;

namespace ZarvoAC
{
    public sealed partial class Line
    {
        /// <summary>
        /// True when a controller answers at <paramref name="address"/> (0: any controller); false
        /// when the line stays silent for the probe's 200 ms.
        /// </summary>
        /// <exception cref="ZarvoException">Any other failure: no port open, a garbled reply...</exception>
        public bool Probe(byte address)
        {
            using (var call = Begin())
            {
                int result = NativeMethods.Zarvo_LineSearchAR(_handle, address);
                if (result == (int)ResultCode.NoReply) return false;
                call.Check(result, "probe", address);
                return true;
            }
        }

        /// <summary>Moves the controller at <paramref name="address"/> to <paramref name="newAddress"/> (1 to 255).</summary>
        public void ChangeAddress(byte address, byte newAddress)
        {
            if (newAddress == 0) throw Checks.Invalid("change address", "the new address must be 1 to 255, not 0");
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineChangeAR(_handle, address, newAddress), "change address", address);
        }

        /// <summary>The controller's version text (up to 32 characters).</summary>
        public string GetVersion(byte address)
        {
            var text = new byte[RecordSizes.Version];
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineVer(_handle, address, text), "read version", address);
            int length = text.Length;
            while (length > 0 && text[length - 1] == 0) --length;
            return Texts.Latin1(text, 0, length);
        }

        /// <summary>Sets the controller's clock to this computer's local date and time.</summary>
        public void SetTime(byte address)
        {
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineTime(_handle, address), "set time", address);
        }

        /// <summary>
        /// Changes the controller's line speed to <paramref name="baud"/> bit/s (4800, 9600, 19200,
        /// 38400 or 57600). This line keeps its own speed: open it again at the new one.
        /// </summary>
        public void ChangeBaud(byte address, int baud)
        {
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineChangeBaud(_handle, address, baud), "change baud", address);
        }

        /// <summary>
        /// Resets the controller to its factory settings. The line keeps copies of the last time
        /// table and holiday list it read; they no longer match until another table is read.
        /// </summary>
        public void Initialise(byte address)
        {
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineInit(_handle, address), "initialise", address);
        }

        /// <summary>The controller's six device values, 0 to 65535 each.</summary>
        public int[] GetDeviceInfo(byte address)
        {
            var values = new int[RecordSizes.DeviceValues];
            using (var call = Begin())
                call.Check(NativeMethods.Zarvo_LineDeviceInformation(_handle, address, values), "read device information", address);
            return values;
        }
    }
}

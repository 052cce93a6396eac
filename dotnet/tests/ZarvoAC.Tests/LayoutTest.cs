using System;
using System.Diagnostics;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Text.RegularExpressions;
using Xunit;
using ZarvoAC.Native;

namespace ZarvoAC.Tests
{
    /// The binding's view of the C interface against the header and the 32-bit import names.
    public class LayoutTest
    {
        private static readonly Type[] Structs =
        {
            typeof(EventRecord), typeof(CardRecord), typeof(DoubleCardRecord), typeof(AccessLevelRecord),
            typeof(WarnLevelRecord), typeof(ZarvoLineStats), typeof(ZarvoChannel),
        };

        [Fact]
        public void RecordSizesAndOffsetsMatchTheHeader()
        {
            var start = new ProcessStartInfo(VirtualController.Setting("ZARVO_LAYOUT_PROGRAM"))
            {
                RedirectStandardOutput = true,
            };
            using Process program = Process.Start(start)!;
            string[] lines = program.StandardOutput.ReadToEnd().Split('\n', StringSplitOptions.RemoveEmptyEntries);
            program.WaitForExit();
            var arrays = new (string, int)[]
            {
                ("TimeTableRecord", RecordSizes.TimeTable), ("HolidayRecord", RecordSizes.Holiday),
                ("ChainRecord", RecordSizes.Chain),
            };
            int checkedFields = 0;
            foreach (string line in lines)
            {
                string[] parts = line.Split(' ');
                string[] name = parts[0].Split('.');
                int expected = int.Parse(parts[1]);
                var array = arrays.FirstOrDefault(a => a.Item1 == name[0]);
                Type? type = Structs.FirstOrDefault(t => t.Name == name[0]);
                if (array.Item1 != null)
                    Assert.True(expected == array.Item2 * 4, $"{line}: binding has {array.Item2} integers");
                else if (name.Length == 1)
                    Assert.True(expected == Marshal.SizeOf(type!), $"{line}: binding has {Marshal.SizeOf(type!)}");
                else
                {
                    Assert.True(expected == (int)Marshal.OffsetOf(type!, name[1]), $"{line}: binding has {Marshal.OffsetOf(type!, name[1])}");
                    ++checkedFields;
                }
            }
            // Every field the binding declares was compared with the header's.
            Assert.Equal(Structs.Sum(t => t.GetFields(BindingFlags.Public | BindingFlags.Instance).Length), checkedFields);
        }

        [Fact]
        public void EveryImportIsStdcallWithTheArgumentBytesOfThe32BitName()
        {
            string def = File.ReadAllText(VirtualController.Setting("ZARVO_STDCALL_DEF"));
            var imports = typeof(NativeMethods).GetMethods(BindingFlags.Public | BindingFlags.Static)
                                               .Where(m => m.IsDefined(typeof(DllImportAttribute)));
            foreach (MethodInfo import in imports)
            {
                Assert.Equal(CallingConvention.StdCall, import.GetCustomAttribute<DllImportAttribute>()!.CallingConvention);
                Match decorated = Regex.Match(def, $@"\b{import.Name}@(\d+)");
                Assert.True(decorated.Success, $"{import.Name} is not exported by the library");
                Assert.Equal(int.Parse(decorated.Groups[1].Value), import.GetParameters().Sum(p => StackBytes(p.ParameterType)));
            }
        }

        /// Bytes an argument takes on the 32-bit stack: 8 for 64-bit values, 4 for the rest
        /// (32-bit integers, and pointers however they are marshalled).
        private static int StackBytes(Type type) =>
            type == typeof(long) || type == typeof(ulong) || type == typeof(double) ? 8 : 4;
    }
}

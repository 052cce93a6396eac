#if NET
using System;
using System.Reflection;
using System.Runtime.InteropServices;

namespace ZarvoAC.Native
{
    /// Where the native library comes from: the file named by ZARVOAC_LIBRARY when set (a
    /// build tree, a test), else the runtime's own search (the package's runtimes/ folder,
    /// the program's folder, the system), else the name the Debian package installs.
    internal static class LibraryResolver
    {
        public const string PathVariable = "ZARVOAC_LIBRARY";
        private static int _installed;

        public static void Install()
        {
            if (System.Threading.Interlocked.Exchange(ref _installed, 1) == 0)
                NativeLibrary.SetDllImportResolver(typeof(LibraryResolver).Assembly, Resolve);
        }

        private static IntPtr Resolve(string name, Assembly assembly, DllImportSearchPath? searchPath)
        {
            if (name != NativeMethods.Library) return IntPtr.Zero;
            string? path = Environment.GetEnvironmentVariable(PathVariable);
            if (!string.IsNullOrEmpty(path)) return NativeLibrary.Load(path);
            if (NativeLibrary.TryLoad(name, assembly, searchPath, out IntPtr handle)) return handle;
            if (!OperatingSystem.IsWindows() && NativeLibrary.TryLoad("libzarvoac.so.0", out handle))
                return handle;
            return IntPtr.Zero;
        }
    }
}
#endif

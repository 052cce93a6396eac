using System;
using System.Reflection;
using System.Runtime.CompilerServices;

namespace ZarvoAC.Tests
{
    /// A run of `dotnet test` that was not given the native files (ctest gives them) uses those
    /// of the build folder its project built them into; loaded before any test touches the
    /// native library, which reads ZARVOAC_LIBRARY when it is first called.
    internal static class BuildTreeSettings
    {
        [ModuleInitializer]
        internal static void Apply()
        {
            foreach (var setting in typeof(BuildTreeSettings).Assembly.GetCustomAttributes<AssemblyMetadataAttribute>())
            {
                if (setting.Key.StartsWith("ZARVO", StringComparison.Ordinal) &&
                    string.IsNullOrEmpty(Environment.GetEnvironmentVariable(setting.Key)))
                    Environment.SetEnvironmentVariable(setting.Key, setting.Value);
            }
        }
    }
}

#if !NET
namespace System.Runtime.CompilerServices
{
    // Lets records with init-only properties compile for netstandard2.0.
    internal static class IsExternalInit { }
}
#endif

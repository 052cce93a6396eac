// Usage: ProbeBench ZARVO_SIM PROBE_TIMER_LIBRARY [ITERATIONS]
// Opens a Line on a zarvo-sim pseudo-terminal and alternates, call for call, the probe of
// controller 1 from C (timed in C, ZarvoBench_TimedProbe) with the same probe through
// Line.Probe (timed here), so that both see the same machine, line and controller.
using System;
using System.Diagnostics;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using ZarvoAC;
using ZarvoAC.Native;

internal static class Program
{
    private const string TimerLibrary = "zarvo_dotnet_probe_timer";

    [DllImport(TimerLibrary)]
    private static extern long ZarvoBench_TimedProbe(LineHandle line, int address, out int result);

    private static int Main(string[] args)
    {
        if (args.Length < 2)
        {
            Console.Error.WriteLine("usage: ProbeBench ZARVO_SIM PROBE_TIMER_LIBRARY [ITERATIONS]");
            return 2;
        }
        string timer = args[1];
        int iterations = args.Length > 2 ? int.Parse(args[2]) : 20000;
        NativeLibrary.SetDllImportResolver(Assembly.GetExecutingAssembly(),
            (name, _, _) => name == TimerLibrary ? NativeLibrary.Load(timer) : IntPtr.Zero);

        using var sim = Process.Start(new ProcessStartInfo(args[0], "--address 1") { RedirectStandardOutput = true, RedirectStandardError = true })!;
        try
        {
            using var line = new Line(sim.StandardOutput.ReadLine()!);
            Measure(line, iterations / 10); // warm-up: JIT, caches, the controller's first replies
            var (c, binding) = Measure(line, iterations);
            Report(iterations, c, binding);
            Console.WriteLine($"managed heap bytes per probe through the binding: {AllocatedPerProbe(line, 1000):F1}");
            return 0;
        }
        finally
        {
            sim.Kill();
            sim.WaitForExit();
        }
    }

    private static (double[] C, double[] Binding) Measure(Line line, int iterations)
    {
        var c = new double[iterations];
        var binding = new double[iterations];
        double tick = 1e9 / Stopwatch.Frequency;
        for (int i = 0; i < iterations; ++i)
        {
            c[i] = ZarvoBench_TimedProbe(line.Handle, 1, out int result);
            if (result != 0) throw new InvalidOperationException($"probe from C failed: {result}");
            long start = Stopwatch.GetTimestamp();
            bool answered = line.Probe(1);
            binding[i] = (Stopwatch.GetTimestamp() - start) * tick;
            if (!answered) throw new InvalidOperationException("probe through the binding got no reply");
        }
        return (c, binding);
    }

    private static double AllocatedPerProbe(Line line, int probes)
    {
        long before = GC.GetAllocatedBytesForCurrentThread();
        for (int i = 0; i < probes; ++i) line.Probe(1);
        return (GC.GetAllocatedBytesForCurrentThread() - before) / (double)probes;
    }

    private static void Report(int iterations, double[] c, double[] binding)
    {
        Array.Sort(c);
        Array.Sort(binding);
        static double At(double[] sorted, double q) => sorted[(int)(q * (sorted.Length - 1))] / 1000;
        Console.WriteLine($"{iterations} probes each, alternated on one line to one virtual controller");
        Console.WriteLine();
        Console.WriteLine("| probe | min (us) | p50 (us) | p99 (us) | mean (us) |");
        Console.WriteLine("|---|---|---|---|---|");
        foreach (var (name, times) in new[] { ("from C", c), ("through the binding", binding) })
            Console.WriteLine($"| {name} | {At(times, 0):F1} | {At(times, 0.5):F1} | {At(times, 0.99):F1} | {times.Average() / 1000:F1} |");
        Console.WriteLine();
        Console.WriteLine($"binding/C: p50 {At(binding, 0.5) / At(c, 0.5):F3}x, mean {binding.Average() / c.Average():F3}x, " +
                          $"min {At(binding, 0) / At(c, 0):F3}x (target p50 <= 1.1x)");
    }
}

// Usage: ProbeBench ZARVO_SIM PROBE_TIMER_LIBRARY [ITERATIONS]
// Opens a Line on a zarvo-sim pseudo-terminal and alternates, call for call, the probe of
// controller 1 from C (timed in C, ZarvoBench_TimedProbe) with the same probe through
// Line.Probe (timed here), so that both see the same machine, line and controller. Wall time
// includes the controller's answer and the machine's scheduling; the calling thread's CPU time
// is what each side spends itself.
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
    private static extern long ZarvoBench_TimedProbe(LineHandle line, int address, out int result, out long cpuNs);

    [DllImport(TimerLibrary)]
    private static extern long ZarvoBench_ThreadCpuNs();

    private sealed class Samples
    {
        public Samples(int n) { Wall = new double[n]; Cpu = new double[n]; }
        public double[] Wall { get; }
        public double[] Cpu { get; }
    }

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

        var start = new ProcessStartInfo(args[0], "--address 1") { RedirectStandardOutput = true, RedirectStandardError = true };
        using var sim = Process.Start(start)!;
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

    private static (Samples C, Samples Binding) Measure(Line line, int iterations)
    {
        var c = new Samples(iterations);
        var binding = new Samples(iterations);
        double tick = 1e9 / Stopwatch.Frequency;
        for (int i = 0; i < iterations; ++i)
        {
            c.Wall[i] = ZarvoBench_TimedProbe(line.Handle, 1, out int result, out long cpu);
            c.Cpu[i] = cpu;
            if (result != 0) throw new InvalidOperationException($"probe from C failed: {result}");

            long cpuStart = ZarvoBench_ThreadCpuNs();
            long wallStart = Stopwatch.GetTimestamp();
            bool answered = line.Probe(1);
            binding.Wall[i] = (Stopwatch.GetTimestamp() - wallStart) * tick;
            binding.Cpu[i] = ZarvoBench_ThreadCpuNs() - cpuStart;
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

    private static void Report(int iterations, Samples c, Samples binding)
    {
        foreach (var s in new[] { c, binding }) { Array.Sort(s.Wall); Array.Sort(s.Cpu); }
        static double At(double[] sorted, double q) => sorted[(int)(q * (sorted.Length - 1))] / 1000;
        Console.WriteLine($"{iterations} probes each, alternated on one line to one virtual controller");
        Console.WriteLine();
        Console.WriteLine("| probe | min (us) | p50 (us) | p99 (us) | mean (us) | CPU p50 (us) | CPU mean (us) |");
        Console.WriteLine("|---|---|---|---|---|---|---|");
        foreach (var (name, s) in new[] { ("from C", c), ("through the binding", binding) })
            Console.WriteLine($"| {name} | {At(s.Wall, 0):F1} | {At(s.Wall, 0.5):F1} | {At(s.Wall, 0.99):F1} | " +
                              $"{s.Wall.Average() / 1000:F1} | {At(s.Cpu, 0.5):F1} | {s.Cpu.Average() / 1000:F1} |");
        Console.WriteLine();
        Console.WriteLine($"binding/C (target <= 1.1x): wall p50 {At(binding.Wall, 0.5) / At(c.Wall, 0.5):F3}x, " +
                          $"wall mean {binding.Wall.Average() / c.Wall.Average():F3}x, " +
                          $"CPU p50 {At(binding.Cpu, 0.5) / At(c.Cpu, 0.5):F3}x, " +
                          $"CPU mean {binding.Cpu.Average() / c.Cpu.Average():F3}x");
    }
}

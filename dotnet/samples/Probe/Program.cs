// Probes the controller at ADDRESS (default 1) on PORT and prints its event log.
//
//   dotnet run -- /dev/ttyUSB0          a serial adapter (COM3 on Windows)
//   dotnet run -- tcp://10.0.0.7:4001 2 controller 2 behind a device server
using System;
using ZarvoAC;

if (args.Length < 1)
{
    Console.Error.WriteLine("usage: dotnet run -- PORT [ADDRESS]");
    return 2;
}
byte address = args.Length > 1 ? byte.Parse(args[1]) : (byte)1;

try
{
    using var line = new Line(args[0], baud: 9600);
    if (!line.Probe(address))
    {
        Console.WriteLine($"no controller answers at address {address} on {args[0]}");
        return 1;
    }
    Console.WriteLine($"controller {address}: {line.GetVersion(address)}");
    int count = 0;
    foreach (Event e in line.Events(address))
    {
        Console.WriteLine($"{e.DateText} {e.TimeText}  event {e.Value1,3}  value {e.Value2,3}  number {e.Number1:D8}");
        ++count;
    }
    Console.WriteLine($"{count} events; line counters: {line.GetStats()}");
    return 0;
}
catch (ZarvoException error)
{
    Console.Error.WriteLine($"{error.Operation} failed: {error.CodeName} ({error.Code}) {error.FailureText}");
    return 1;
}

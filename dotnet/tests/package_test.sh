#!/usr/bin/env bash
# The ZarvoAC package as an application gets it: the files it must carry (the native library
# of each platform built here, each DLL for its machine), then a console program that restores
# it from the package folder alone, with an empty package cache, and probes zarvo-sim through
# the native library the package brought along.
# With the Windows DLLs, a .NET Framework program built for x86 and for x64 gets the DLL of
# its architecture beside it (its reference assemblies come from the machine's package source).
# The package's version is the project's, with -dev.<seconds> between releases (pack.cmake).
# Usage: package_test.sh PACKAGE_DIR PROJECT_VERSION ZARVO_SIM [WINDOWS_RID...]
set -euo pipefail
dir=$(cd "$1" && pwd) project_version=$2 sim=$3
shift 3
version=$(cat "$dir/version.txt")
[[ "$version" == "$project_version" || "$version" =~ ^${project_version//./\\.}-dev\.[1-9][0-9]*$ ]] ||
  { echo "package version $version does not follow the project's $project_version"; exit 1; }
nupkg=$dir/ZarvoAC.$version.nupkg
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

files=$(unzip -Z1 "$nupkg")
for file in README.md lib/netstandard2.0/ZarvoAC.Net.dll lib/netstandard2.0/ZarvoAC.Net.xml \
            lib/net10.0/ZarvoAC.Net.dll buildTransitive/net462/ZarvoAC.targets \
            runtimes/linux-x64/native/libzarvoac.so; do
  grep -qx "$file" <<<"$files" || { echo "missing from the package: $file"; exit 1; }
done

# The machine field of a DLL's PE header: 8664 for x64, 014c for x86.
pe_machine() {
  local header
  header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx2 -j$((header + 4)) -N2 "$1" | tr -d ' '
}
for rid in "$@"; do
  dll=runtimes/$rid/native/ZarvoAC.dll
  grep -qx "$dll" <<<"$files" || { echo "missing from the package: $dll"; exit 1; }
  unzip -q -o "$nupkg" "$dll" -d "$work/unpacked"
  want=8664
  [ "$rid" = win-x86 ] && want=014c
  got=$(pe_machine "$work/unpacked/$dll")
  [ "$got" = "$want" ] || { echo "$dll is for machine $got, not $want"; exit 1; }
done
echo "package files: ok ($(grep -c '^runtimes/.*/native/' <<<"$files") native libraries)"

if [ $# -eq 2 ]; then
  mkdir "$work/framework"
  cat >"$work/framework/NuGet.config" <<XML
<?xml version="1.0" encoding="utf-8"?>
<configuration><packageSources><add key="built" value="$dir" /></packageSources></configuration>
XML
  cat >"$work/framework/framework.csproj" <<XML
<Project Sdk="Microsoft.NET.Sdk">
  <PropertyGroup><OutputType>Exe</OutputType><TargetFramework>net48</TargetFramework></PropertyGroup>
  <ItemGroup><PackageReference Include="ZarvoAC" Version="$version" /></ItemGroup>
</Project>
XML
  echo 'static class Program { static void Main() { new ZarvoAC.Line().Dispose(); } }' >"$work/framework/Program.cs"
  for platform in x86:014c x64:8664; do
    out=$work/framework/out-${platform%:*}
    (cd "$work/framework" && NUGET_PACKAGES="$work/packages" DOTNET_NOLOGO=1 \
       dotnet build -nologo -v quiet -p:PlatformTarget=${platform%:*} -o "$out" >/dev/null)
    got=$(pe_machine "$out/ZarvoAC.dll")
    [ -f "$out/ZarvoAC.Net.dll" ] && [ "$got" = "${platform#*:}" ] ||
      { echo ".NET Framework ${platform%:*}: ZarvoAC.dll is for machine $got"; exit 1; }
  done
  echo ".NET Framework x86 and x64 programs: ok"
fi

mkdir "$work/app"
cat >"$work/app/NuGet.config" <<XML
<?xml version="1.0" encoding="utf-8"?>
<configuration>
  <packageSources><clear /><add key="built" value="$dir" /></packageSources>
</configuration>
XML
cat >"$work/app/app.csproj" <<XML
<Project Sdk="Microsoft.NET.Sdk">
  <PropertyGroup><OutputType>Exe</OutputType><TargetFramework>net10.0</TargetFramework></PropertyGroup>
  <ItemGroup><PackageReference Include="ZarvoAC" Version="$version" /></ItemGroup>
</Project>
XML
cat >"$work/app/Program.cs" <<'CS'
using var line = new ZarvoAC.Line(args[0]);
System.Console.WriteLine(line.Probe(1) ? "version " + line.GetVersion(1) : "no reply");
CS

coproc SIM { exec "$sim" --address 1 2>/dev/null; }
trap 'kill $SIM_PID 2>/dev/null; rm -rf "$work"' EXIT
read -r device <&"${SIM[0]}"
output=$(cd "$work/app" && env -u ZARVOAC_LIBRARY NUGET_PACKAGES="$work/packages" DOTNET_NOLOGO=1 \
         DOTNET_CLI_TELEMETRY_OPTOUT=1 dotnet run -- "$device" 2>&1) || { echo "$output"; exit 1; }
echo "$output"
grep -q "^version ZAC-4" <<<"$output"

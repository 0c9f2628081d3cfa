#pragma once

#include <sys/types.h>

// Reads what the benchmarks report about a running process from /proc.
namespace ProcessProbe {

// Peak resident memory (VmHWM) in KiB, or -1.
long peakResidentKiB(pid_t pid);

// Current resident memory (VmRSS) in KiB, or -1.
long residentKiB(pid_t pid);

// Descendants of pid whose command name starts with QtWebEngineProc.
int webEngineHelpers(pid_t pid, long *residentSumKiB = nullptr);

// Prints "ms=<ms> peak_kib=<KiB> helpers=<n> helpers_kib=<KiB>" for this process.
void printPortalFigures(long long ms);

} // namespace ProcessProbe

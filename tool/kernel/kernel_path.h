// Which segment kernel a process uses: the widest vector path that both the
// processor and the operating system support, chosen once per process from
// CPUID and XGETBV, never from the compiler's target. The Windows build is
// compiled for SSE2 alone, so it runs on any processor the plug-in supports
// and takes AVX2 or AVX-512 only where they are present and the operating
// system saves their registers on a task switch.
#pragma once

#include <cstdint>

enum class KernelPath : std::uint8_t {
  points,  // displacePoint on every point (no x86 vector unit)
  sse2,    // four segments at a time
  avx2,    // eight segments at a time
  avx512,  // sixteen segments at a time
};

// What the processor and the operating system report.
struct CpuReport {
  std::uint32_t maxLeaf;   // CPUID leaf 0: EAX, the highest standard leaf
  std::uint32_t leaf1Ecx;  // CPUID leaf 1
  std::uint32_t leaf1Edx;
  std::uint32_t leaf7Ebx;  // CPUID leaf 7, subleaf 0 (0 when maxLeaf < 7)
  std::uint64_t xcr0;      // XGETBV(0): the register state the OS saves (0 without OSXSAVE)
};

// The path for a report (a pure function of it):
// - AVX-512 needs AVX-512F and AVX-512DQ, and the OS saving the opmask and
//   ZMM state, besides everything AVX2 needs;
// - AVX2 needs AVX and AVX2, OSXSAVE, and the OS saving the XMM and YMM
//   state;
// - otherwise SSE2 (CPUID leaf 1 EDX bit 26), and the point loop without it.
KernelPath chooseKernelPath(const CpuReport& report);

// This processor's report; all zero where CPUID does not exist (not x86),
// SSE2 alone where SSE2 is translated to another vector unit (WebAssembly).
CpuReport readCpuReport();

// The path this process uses: chosen on the first call, kept after.
KernelPath activeKernelPath();

// For tests and benchmarks: make every later displace() use `path`. Refused
// (false, nothing changed) when this processor and OS cannot run it.
bool forceKernelPath(KernelPath path);

// The path's name: "points", "sse2", "avx2" or "avx512".
const char* kernelPathName(KernelPath path);

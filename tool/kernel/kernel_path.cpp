// The kernel path's choice (kernel_path.h): the processor's and the operating
// system's report read once, the widest path both support, and the forcing
// the tests and benchmarks use.
#include "tool/kernel/kernel_path.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

constexpr std::uint32_t kSse2 = 1u << 26;     // leaf 1 EDX
constexpr std::uint32_t kOsxsave = 1u << 27;  // leaf 1 ECX
constexpr std::uint32_t kAvx = 1u << 28;      // leaf 1 ECX
constexpr std::uint32_t kAvx2 = 1u << 5;      // leaf 7 EBX
constexpr std::uint32_t kAvx512F = 1u << 16;  // leaf 7 EBX
constexpr std::uint32_t kAvx512Dq = 1u << 17;

// XCR0 bits: XMM and YMM state; opmask, the upper halves of ZMM0-15, and
// ZMM16-31 (which only 64-bit code can reach).
constexpr std::uint64_t kYmmState = 0x6;
#if defined(__x86_64__)
constexpr std::uint64_t kZmmState = 0xE0;
#else
constexpr std::uint64_t kZmmState = 0x60;
#endif

bool all(std::uint64_t value, std::uint64_t bits) { return (value & bits) == bits; }

bool runsOn(KernelPath path, const CpuReport& report) {
  return static_cast<int>(path) <= static_cast<int>(chooseKernelPath(report));
}

KernelPath detected() {
  static const KernelPath path = chooseKernelPath(readCpuReport());
  return path;
}

KernelPath gForced = KernelPath::points;
bool gIsForced = false;

}  // namespace

KernelPath chooseKernelPath(const CpuReport& report) {
  if (report.maxLeaf < 1 || !all(report.leaf1Edx, kSse2)) return KernelPath::points;
  const bool osSavesYmm = all(report.leaf1Ecx, kOsxsave) && all(report.xcr0, kYmmState);
  if (!osSavesYmm || !all(report.leaf1Ecx, kAvx) || report.maxLeaf < 7) return KernelPath::sse2;
  if (!all(report.leaf7Ebx, kAvx2)) return KernelPath::sse2;
  if (all(report.leaf7Ebx, kAvx512F | kAvx512Dq) && all(report.xcr0, kZmmState)) return KernelPath::avx512;
  return KernelPath::avx2;
}

CpuReport readCpuReport() {
  CpuReport report{};
#if defined(__i386__) || defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) == 0) return report;  // no CPUID (a 486)
  report.maxLeaf = eax;
  if (report.maxLeaf >= 1) {
    __cpuid(1, eax, ebx, ecx, edx);
    report.leaf1Ecx = ecx;
    report.leaf1Edx = edx;
  }
  if (report.maxLeaf >= 7) {
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    report.leaf7Ebx = ebx;
  }
  // XGETBV exists only where the OS has enabled XSAVE (OSXSAVE).
  if (all(report.leaf1Ecx, kOsxsave)) {
    std::uint32_t low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    report.xcr0 = (std::uint64_t{high} << 32) | low;
  }
#elif defined(__SSE2__)
  // SSE2 translated to another vector unit (WebAssembly SIMD): the SSE2
  // blocks run there with the same bits, and nothing wider exists.
  report.maxLeaf = 1;
  report.leaf1Edx = kSse2;
#endif
  return report;
}

KernelPath activeKernelPath() { return gIsForced ? gForced : detected(); }

bool forceKernelPath(KernelPath path) {
  if (!runsOn(path, readCpuReport())) return false;
  gForced = path;
  gIsForced = true;
  return true;
}

const char* kernelPathName(KernelPath path) {
  switch (path) {
    case KernelPath::sse2:
      return "sse2";
    case KernelPath::avx2:
      return "avx2";
    case KernelPath::avx512:
      return "avx512";
    default:
      return "points";
  }
}

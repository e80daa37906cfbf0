// The choice of the segment kernel's path from what the processor and the
// operating system report: a path is taken only when both support it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "tool/kernel/kernel_path.h"

namespace {

constexpr std::uint32_t kSse2 = 1u << 26;  // leaf 1 EDX
constexpr std::uint32_t kOsxsave = 1u << 27;
constexpr std::uint32_t kAvx = 1u << 28;  // leaf 1 ECX
constexpr std::uint32_t kAvx2 = 1u << 5;  // leaf 7 EBX
constexpr std::uint32_t kAvx512F = 1u << 16;
constexpr std::uint32_t kAvx512Dq = 1u << 17;
constexpr std::uint64_t kXmmYmm = 0x7;   // x87, XMM, YMM
constexpr std::uint64_t kAllZmm = 0xE7;  // and opmask, ZMM0-15 upper halves, ZMM16-31
constexpr std::uint32_t kAvxCpu = kOsxsave | kAvx;
constexpr std::uint32_t kAvx512Cpu = kAvx2 | kAvx512F | kAvx512Dq;

TEST(KernelPath, ChosenFromWhatBothTheProcessorAndTheSystemSupport) {
  struct Case {
    const char* what;
    CpuReport report;
    KernelPath expected;
  } cases[] = {
      {"no CPUID", {0, 0, 0, 0, 0}, KernelPath::points},
      {"no SSE2", {13, kAvxCpu, 0, kAvx512Cpu, kAllZmm}, KernelPath::points},
      {"SSE2 only", {1, 0, kSse2, 0, 0}, KernelPath::sse2},
      {"AVX2, but no leaf 7", {6, kAvxCpu, kSse2, kAvx512Cpu, kAllZmm}, KernelPath::sse2},
      {"AVX2, but the OS has no XSAVE", {13, kAvx, kSse2, kAvx512Cpu, kAllZmm}, KernelPath::sse2},
      {"AVX2, but the OS saves no YMM", {13, kAvxCpu, kSse2, kAvx2, 0x3}, KernelPath::sse2},
      {"AVX2 without AVX", {13, kOsxsave, kSse2, kAvx2, kXmmYmm}, KernelPath::sse2},
      {"AVX without AVX2", {13, kAvxCpu, kSse2, 0, kXmmYmm}, KernelPath::sse2},
      {"AVX2", {13, kAvxCpu, kSse2, kAvx2, kXmmYmm}, KernelPath::avx2},
      {"AVX-512, but the OS saves no ZMM", {13, kAvxCpu, kSse2, kAvx512Cpu, kXmmYmm}, KernelPath::avx2},
      {"AVX-512, but no opmask state", {13, kAvxCpu, kSse2, kAvx512Cpu, 0xC7}, KernelPath::avx2},
      {"AVX-512F without DQ", {13, kAvxCpu, kSse2, kAvx2 | kAvx512F, kAllZmm}, KernelPath::avx2},
      {"AVX-512", {13, kAvxCpu, kSse2, kAvx512Cpu, kAllZmm}, KernelPath::avx512},
      {"AVX-512 state, but no YMM state", {13, kAvxCpu, kSse2, kAvx512Cpu, 0xE3}, KernelPath::sse2},
  };
  for (const Case& c : cases) EXPECT_EQ(chooseKernelPath(c.report), c.expected) << c.what;
}

TEST(KernelPath, ForcingIsRefusedForWhatThisMachineCannotRun) {
  const KernelPath best = chooseKernelPath(readCpuReport());
  EXPECT_EQ(activeKernelPath(), best);
  for (const KernelPath path : {KernelPath::points, KernelPath::sse2, KernelPath::avx2, KernelPath::avx512}) {
    const bool runs = static_cast<int>(path) <= static_cast<int>(best);
    const KernelPath before = activeKernelPath();
    EXPECT_EQ(forceKernelPath(path), runs) << kernelPathName(path);
    EXPECT_EQ(activeKernelPath(), runs ? path : before) << kernelPathName(path);
  }
  ASSERT_TRUE(forceKernelPath(best));
  std::printf("this machine's kernel path: %s\n", kernelPathName(best));
}

}  // namespace

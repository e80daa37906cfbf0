// The wide vector paths of the segment kernel (see segment_displacer.h), each
// in its own file, compiled for the base target with its instructions enabled
// per function (target attributes), so that nothing shared can come out of
// those files built for a wider unit than the processor has.
#pragma once

#include <cstddef>

#include "bridge/host_api.h"

// One drag event's values, as the blocks use them.
struct KernelValues {
  float a, b, c;     // the axis line
  float sideFactor;  // the factor, negated when the axis's normal points away from the drag
  float sizeOffset;  // |start.x| + |start.y| + |c| plus the margin's floor
  float cosTheta, sinTheta;
};

// Each moves whole blocks of 8 (AVX2) or 16 (AVX-512) segments from the
// start of `segments`, as the SSE2 blocks do, and stops before the first
// block with a point outside the envelope (that block is left untouched) or
// when fewer than a block's segments remain. Returns the number of segments
// moved, a multiple of the block. Only to be called where the processor and
// the OS support the instructions (activeKernelPath()).
std::size_t moveBlocksAvx2(const KernelValues& values, hostapi::PathSegment* segments, std::size_t count);
std::size_t moveBlocksAvx512(const KernelValues& values, hostapi::PathSegment* segments, std::size_t count);

inline constexpr std::size_t kAvx2Block = 8;
inline constexpr std::size_t kAvx512Block = 16;

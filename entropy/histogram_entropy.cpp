// Entropy of one normalised histogram, in the one summation order that fixes
// its bits: ascending bins, single precision throughout.
#include "entropy/histogram_entropy.h"

#include "common/natural_log.h"
#include "entropy/angular_bins.h"

float histogram_entropy(float* histogram, int32_t angular_size) {
  // C^2 in 64 bits: the same single-precision divisor as a 32-bit product
  // wherever that product fits, and no signed overflow for the negative or
  // huge C that varnel accepts (its histograms are then empty).
  const float block = static_cast<float>(int64_t{angular_size} * angular_size);
  for (int b = 0; b < kBins; ++b) histogram[b] = histogram[b] / block;
  float sum = 0.0f;
  for (int b = 0; b < kBins; ++b) {
    const float p = histogram[b];
    // Zero and NaN shares (0 / 0 when C = 0) add nothing.
    if (p > 0.0f) sum = sum + natural_log(p) * p;
  }
  return sum * -1.0f;
}

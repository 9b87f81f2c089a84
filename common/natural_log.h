// Single-precision natural logarithm with the same bits on every platform.
#pragma once

// Bit for bit the logf of glibc 2.27 and later as it runs on x86-64 CPUs with
// FMA and on AArch64, for every input: -inf at zero, NaN below it, subnormals
// and infinity as logf.
float natural_log(float x);

// The exponentials of a block of doubles, each the same double that std::exp gives for it.
#pragma once

#include <cstddef>

namespace ExtLib {

// out[i] = std::exp(in[i]) bit for bit, for i < count (in and out may be the same array). Where the processor has
// four-lane fused arithmetic and the C library's exp is found to be the table method below, the exponentials are
// worked out here four at a time; otherwise, and for arguments outside the method's plain range, std::exp is called.
void Exponentials(const double* in, double* out, std::size_t count);

// Whether Exponentials works them out itself on this machine (for tests and benchmarks).
bool ExponentialsWorkedOutHere();

} // namespace ExtLib

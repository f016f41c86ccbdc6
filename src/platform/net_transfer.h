#pragma once

#include "platform/net.h"

namespace lanqi {

// The transfer behind fetchPage, one per build (net_linux.cpp, net_win32.cpp): `address` is not empty, has
// no fragment, and the fetch was not cancelled before it began.
FetchOutcome transferAddress(const Text& address, const FetchLimits& limits, const CancelToken* cancel);

}  // namespace lanqi

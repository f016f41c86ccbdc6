#pragma once

#include <functional>

namespace lanqi {

// Runs `work` on a thread of its own that nothing joins: it ends when the work does, and at program exit it is
// simply abandoned. False when no thread could be made (the work then never runs).
//
// On Windows this is a thread of the system's own rather than a detached std::thread: winpthreads may hand the
// record of a detached thread that ends at once to the next std::thread, whose join then returns early or
// fails, so a search worker would go on after its run was torn down.
bool startDetachedThread(std::function<void()> work);

}  // namespace lanqi

#pragma once

#include <vector>

#include "platform/text.h"

namespace lanqi {

// Creates the file at `path` (GBK), or truncates it when it exists, and writes the blocks in order; empty
// blocks add nothing. False for an empty path or one that is not GBK, when the file cannot be opened, and when
// a block cannot be written whole or the file cannot be closed. Other programs are not locked out meanwhile.
bool writeFileBlocks(const Text& path, const std::vector<Bytes>& blocks);

}  // namespace lanqi

#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace kivo {

// One step of an edit script.
enum class EditStep : uint8_t { Keep, Remove, Add };

// The shortest edit script that turns `before` into `after`, two sequences
// of interned symbols, computed by dtl. The work is bounded: `budget` is
// the number of symbol comparisons still allowed, and each call spends from
// it. A pair that would need more, or that dtl gives up on at its own limit
// of two million search steps, gives nullopt and leaves no budget. The lower
// bound on the differences refuses most such pairs before any search.
std::optional<std::vector<EditStep>> DiffSequences(const std::vector<uint32_t>& before,
                                                   const std::vector<uint32_t>& after,
                                                   int64_t& budget);

}  // namespace kivo

#include "engine/rules/write_order.h"

#include <algorithm>

#include "engine/rules/part_plan.h"

namespace setup {

std::optional<int> WriteOrder::OnPartDone(int index) {
    if (index < 0 || index >= PART_COUNT || finished_) return std::nullopt;
    if (index == next_) return index;
    pending_.push_back(index);
    return std::nullopt;
}

WriteOrder::Written WriteOrder::OnPartWritten(int index) {
    if (finished_ || index != next_) return Written{Written::WrongIndex, next_};
    if (next_ == PART_COUNT - 1) {
        finished_ = true;
        return Written{Written::Finished, next_};
    }
    ++next_;
    const auto found = std::find(pending_.begin(), pending_.end(), next_);
    if (found == pending_.end()) return Written{Written::WaitForNext, next_};
    pending_.erase(found);
    return Written{Written::StartNext, next_};
}

void WriteOrder::Reset() {
    next_ = 0;
    finished_ = false;
    pending_.clear();
}

}  // namespace setup

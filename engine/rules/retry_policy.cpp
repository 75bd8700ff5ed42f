#include "engine/rules/retry_policy.h"

#include "engine/rules/part_plan.h"

namespace setup {
namespace {

// Restarts allowed while the count is at most this value: 41 in a row.
constexpr int kRestartBudget = 40;

bool IsPartIndex(int tag) { return tag >= 0 && tag < PART_COUNT; }

}  // namespace

ErrorAction RetryPolicy::ShowError(ErrorAction box) {
    ++errorShown_;
    return box;
}

ErrorAction RetryPolicy::OnError(int tag) {
    if (errorShown_ > 0) return ErrorAction::Ignore;
    if (tag == DOWN_TAG_URL) return ShowError(ErrorAction::ShowUrlError);
    if (tag == DOWN_TAG_SYSTEM) return ShowError(ErrorAction::ShowSystemError);

    if (retryCount_ <= kRestartBudget) {
        ErrorAction action;
        if (tag == DOWN_TAG_PROBE) {
            action = ErrorAction::RestartProbe;
        } else if (IsPartIndex(tag)) {
            action = ErrorAction::RestartPart;
        } else {
            return ErrorAction::Ignore;
        }
        ++retryCount_;
        return action;
    }

    if (tag == DOWN_TAG_PROBE) {
        return useWinHttp_ ? ShowError(ErrorAction::ShowNetworkError)
                           : ErrorAction::SwitchToWinHttp;
    }
    if (!IsPartIndex(tag)) return ErrorAction::Ignore;
    parked_.push_back(tag);
    if (static_cast<int>(parked_.size()) + doneCount_ >= PART_COUNT) {
        return ShowError(ErrorAction::ShowNetworkError);
    }
    return ErrorAction::Park;
}

std::vector<int> RetryPolicy::OnProgress() {
    retryCount_ = 0;
    std::vector<int> restart;
    restart.swap(parked_);
    return restart;
}

void RetryPolicy::OnPartDone() { ++doneCount_; }

void RetryPolicy::OnSwitchToWinHttp() {
    useWinHttp_ = true;
    retryCount_ = 0;
    doneCount_ = 0;
}

}  // namespace setup

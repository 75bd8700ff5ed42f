#include "controls/rules/progress_fill.h"

namespace setup {

int ProgressFillRight(int left, int right, int lower, int upper, int position) {
    if (upper == lower) return left;
    const double width = static_cast<double>(right - left) / (upper - lower) * position;
    return static_cast<int>(width);
}

}  // namespace setup

// Where the progress bar's fill ends.
#pragma once

namespace setup {

// (right - left) / (upper - lower) * position, truncated toward zero: 540 pixels at
// 1 % fill 5, never 6. A range whose limits are equal shows no fill.
int ProgressFillRight(int left, int right, int lower, int upper, int position);

}  // namespace setup

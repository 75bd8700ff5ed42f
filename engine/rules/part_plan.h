#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace setup {

inline constexpr int PART_COUNT = 40;
inline constexpr std::uint32_t READ_BLOCK_SIZE = 102400;

// The part arithmetic and the Range lines use 32 bits and the whole file is
// held in memory, so only sizes from 1 byte to 2^31 - 1 bytes can be
// downloaded; anything else must end with an error before a table exists
// (0 would also make the progress divisor 0).
bool IsSupportedInstallerSize(std::uint64_t size);

struct PartSpan {
    std::uint32_t offset;
    std::uint32_t length;
};

// Equal parts of size / 40 bytes; the last part also takes the remainder,
// so it is between p and p + 39 bytes long. Below 40 bytes every part but
// the last is empty: such parts are complete without any request.
std::array<PartSpan, PART_COUNT> PlanParts(std::uint32_t size);

// A part still needs bytes; empty and complete parts must not send a request,
// since their Range would be empty or reversed.
bool PartNeedsRequest(const PartSpan& part, std::uint32_t received);

// L"Range:bytes=<first>-<last>" for the bytes the part still lacks, so a
// restarted attempt resumes where the previous one stopped. Returns an empty
// text when the part needs no request.
std::wstring RangeHeader(const PartSpan& part, std::uint32_t received);

// Position of the progress bar while downloading: the download fills the
// bar only to 80, leaving 90 and 100 for the installer steps. Computed in
// double from a 64-bit divisor so sizes near 2^31 cannot wrap. 0 when the
// divisor is 0; never above 80, also for files of a few bytes where the
// rounded-down divisor would otherwise overshoot.
int ProgressPercent(std::uint64_t receivedTotal, std::uint32_t fileSize);

// Text of the percentage label: digits, "%", one blank (L"37% ").
std::wstring PercentText(int percent);

}  // namespace setup

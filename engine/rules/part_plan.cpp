#include "engine/rules/part_plan.h"

namespace setup {
namespace {

constexpr int kDownloadEndPercent = 80;

}  // namespace

bool IsSupportedInstallerSize(std::uint64_t size) {
    return size >= 1 && size <= 0x7FFFFFFFull;
}

std::array<PartSpan, PART_COUNT> PlanParts(std::uint32_t size) {
    const std::uint32_t p = size / PART_COUNT;
    std::array<PartSpan, PART_COUNT> parts{};
    std::uint32_t offset = 0;
    for (PartSpan& part : parts) {
        part = PartSpan{offset, p};
        offset += p;
    }
    parts.back().length = size - parts.back().offset;
    return parts;
}

bool PartNeedsRequest(const PartSpan& part, std::uint32_t received) {
    return received < part.length;
}

std::wstring RangeHeader(const PartSpan& part, std::uint32_t received) {
    if (!PartNeedsRequest(part, received)) return std::wstring();
    const std::uint64_t first = std::uint64_t{part.offset} + received;
    const std::uint64_t last = std::uint64_t{part.offset} + part.length - 1;
    return L"Range:bytes=" + std::to_wstring(first) + L"-" + std::to_wstring(last);
}

int ProgressPercent(std::uint64_t receivedTotal, std::uint32_t fileSize) {
    const std::uint64_t divisor = std::uint64_t{fileSize} * 10 / 8;
    if (divisor == 0) return 0;
    const double percent =
        static_cast<double>(receivedTotal) / static_cast<double>(divisor) * 100.0;
    // Rounding the divisor down lets tiny files pass 80 (3 of 3 bytes would
    // be 100, then the bar would fall back to 90 for the installer).
    if (percent >= kDownloadEndPercent) return kDownloadEndPercent;
    return static_cast<int>(percent);
}

std::wstring PercentText(int percent) {
    return std::to_wstring(percent) + L"% ";
}

}  // namespace setup

#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace setup {

// The size probe is believed only on a plain 200 with a Content-Length: an
// error page carries a length too, and that length is not the installer's.
bool ProbeResponseUsable(unsigned status, bool hasContentLength);

// A parsed Content-Range value of a 206 response.
struct ContentRange {
    std::uint64_t first;
    std::uint64_t last;
    std::uint64_t total;  // 0 when the server wrote "*"
    bool totalKnown;
};

// Parses "bytes <first>-<last>/<total>" or "bytes <first>-<last>/*".
// Blanks and tabs around the whole value are ignored and the unit is
// matched without regard to case; everything else must be exact: one blank
// after the unit, decimal digits only, first <= last, last < total when the
// total is known. The unsatisfied form "bytes */<total>" names no range and
// fails.
std::optional<ContentRange> ParseContentRange(std::wstring_view header);

// A part attempt may store bytes only when the server answered 206 with
// exactly the range that was asked for, out of a file of the size the parts
// were planned for; a 200 (Range ignored, whole file), an error page, a
// shifted range or a file that changed since the size probe would put
// foreign bytes into the part. A total of "*" is taken on trust.
bool PartResponseUsable(unsigned status, std::wstring_view contentRange,
                        std::uint32_t firstAsked, std::uint32_t lastAsked,
                        std::uint32_t fileSize);

}  // namespace setup

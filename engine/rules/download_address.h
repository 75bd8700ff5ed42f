#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace setup {

enum class Scheme { Http, Https };

// The download address cut into what a connection and a request need.
// The scheme decides TLS and the default port; a port written in the
// address is taken out of the host, because the HTTP stacks want the bare
// host name and the port as a number.
struct DownloadAddress {
    Scheme scheme;
    std::wstring host;
    std::uint16_t port;
    // Text after the first "/" that follows the host, without that "/":
    // the request target is formed from it by the HTTP layer.
    std::wstring object;
};

// Splits "http://host[:port]/object" or "https://host[:port]/object".
// The scheme is matched without regard to ASCII case. Anything the stacks
// could not connect to fails here, so the user gets the URL error at the
// Install command instead of a long run of doomed retries:
//   - any other scheme (including none),
//   - no "/" after the host,
//   - an empty host, or a host holding characters that no host name has
//     (user info "@", brackets, "?", "#", "\", blanks, control characters),
//   - a port that is empty, not all digits, 0 or above 65535.
std::optional<DownloadAddress> SplitDownloadAddress(std::wstring_view url);

}  // namespace setup

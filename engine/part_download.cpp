// One part's download: a ranged GET whose body fills the part's buffer from where the
// last attempt stopped.
#include <algorithm>

#include "engine/http_request.h"
#include "engine/rules/http_checks.h"
#include "engine/rules/part_plan.h"
#include "engine/transport.h"
#include "ui/main_dlg.h"

namespace {

// An answer that is not exactly the asked range (an error page, the whole file, another
// range, a redirect away from https) fails the attempt: no byte of it reaches the part.
bool AnswersRange(HttpRequest& request, std::uint32_t first, std::uint32_t last) {
    if (!setup::PartResponseUsable(request.Status(), request.ContentRange(), first, last, InstallerSize)) return false;
    const auto length = request.ContentLength();
    if (length && *length != std::uint64_t{last} - first + 1) return false;
    return request.StayedSecure();
}

DWORD WINAPI PartThread(void* argument) {
    DownloadChunk& chunk = *static_cast<DownloadChunk*>(argument);
    const int index = chunk.index;
    const setup::PartSpan span{chunk.offset, chunk.length};
    auto fail = [index](DWORD code) { PostToSetupWindow(WM_DOWN_ERROR, code, index); };

    auto request = MakeHttpRequest();
    if (!request->Connect(RememberedProxyUse()) || !request->Open(L"GET", setup::RangeHeader(span, chunk.received))) {
        fail(0);
        return 0;
    }
    if (const DWORD error = request->Send()) {
        fail(error);
        return 0;
    }
    if (!AnswersRange(*request, chunk.offset + chunk.received, chunk.offset + chunk.length - 1)) {
        fail(kInvalidServerResponse);
        return 0;
    }

    while (chunk.received < chunk.length) {
        // Straight into the part's buffer, never more than the part still needs: the
        // buffer holds exactly its length.
        const DWORD wanted = std::min<DWORD>(setup::READ_BLOCK_SIZE, chunk.length - chunk.received);
        DWORD read = 0;
        if (const DWORD error = request->Read(chunk.buffer + chunk.received, wanted, read)) {
            fail(error);
            return 0;
        }
        if (read == 0 || read > wanted) {  // the body ended early, or the stack misbehaved
            fail(kInvalidServerResponse);
            return 0;
        }
        chunk.received += read;
        PostToSetupWindow(WM_DOWN_PROGRESS, 0, static_cast<LPARAM>(read));
    }
    PostToSetupWindow(WM_CHUNK_DONE, 0, index);
    return 0;
}

}  // namespace

bool StartPartThread(DownloadChunk* chunk) { return StartDetachedThread(&PartThread, chunk); }

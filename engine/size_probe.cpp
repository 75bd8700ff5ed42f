// The size probe: the headers of the download object, for its Content-Length.
#include "engine/http_request.h"
#include "engine/rules/http_checks.h"
#include "engine/rules/part_plan.h"
#include "engine/transport.h"
#include "ui/main_dlg.h"

namespace {

// 0 and sizes of 2 GiB or more cannot be held by the part table: refused at once.
DWORD Unsupported(std::uint64_t size) { return size == 0 ? ERROR_INVALID_DATA : ERROR_FILE_TOO_LARGE; }

DWORD WINAPI SizeProbeThread(void*) {
    auto request = MakeHttpRequest();
    if (!request->Connect(AskProxyUse()) || !request->Open(UseWinHttp ? L"HEAD" : L"GET", L"")) {
        PostToSetupWindow(WM_DOWN_ERROR, ::GetLastError(), DOWN_TAG_PROBE);
        return 0;
    }
    if (const DWORD error = request->Send()) {
        PostToSetupWindow(WM_DOWN_ERROR, error, DOWN_TAG_PROBE);
        return 0;
    }
    const auto length = request->ContentLength();
    if (!setup::ProbeResponseUsable(request->Status(), length.has_value()) || !request->StayedSecure()) {
        PostToSetupWindow(WM_DOWN_ERROR, kInvalidServerResponse, DOWN_TAG_PROBE);
        return 0;
    }
    if (!setup::IsSupportedInstallerSize(*length)) {
        PostToSetupWindow(WM_DOWN_ERROR, Unsupported(*length), DOWN_TAG_SYSTEM);
        return 0;
    }
    PostToSetupWindow(WM_DOWN_SIZE, 0, static_cast<LPARAM>(*length));
    return 0;  // the GET's body is dropped when the request closes
}

}  // namespace

bool StartSizeProbe() { return StartDetachedThread(&SizeProbeThread, nullptr); }

#include "controls/down_progress_bar.h"

#include <commctrl.h>

#include "controls/rules/progress_fill.h"
#include "winlib/handles.h"

bool CDownProgressBarCtrl::ProcessWindowMessage(HWND, UINT msg, WPARAM, LPARAM, LRESULT& result) {
    switch (msg) {
    case WM_PAINT: return Answer(result, OnPaint());
    }
    return false;  // range, position and erasing stay with the standard control
}

LRESULT CDownProgressBarCtrl::OnPaint() {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(Handle(), &paint);
    RECT client{};
    ::GetClientRect(Handle(), &client);

    winlib::UniqueBrush track(::CreateSolidBrush(TRACK_COLOUR));
    ::FillRect(dc, &client, track.get());

    PBRANGE range{};
    ::SendMessageW(Handle(), PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    const int position = static_cast<int>(::SendMessageW(Handle(), PBM_GETPOS, 0, 0));
    RECT fill = client;
    fill.right = setup::ProgressFillRight(client.left, client.right, range.iLow, range.iHigh, position);

    winlib::UniqueBrush filled(::CreateSolidBrush(FILL_COLOUR));
    ::FillRect(dc, &fill, filled.get());
    filled.reset();
    track.reset();
    ::EndPaint(Handle(), &paint);
    return 0;
}

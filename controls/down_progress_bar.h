// The progress bar of the installing page: the standard control, painted as a flat
// light-blue track with a blue fill.
#pragma once
#include "winlib/window_impl.h"

class CDownProgressBarCtrl : public winlib::CWindowImplBase {
public:
    static constexpr COLORREF TRACK_COLOUR = RGB(197, 219, 255);
    static constexpr COLORREF FILL_COLOUR = RGB(64, 136, 255);

    bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

private:
    LRESULT OnPaint();
};

// The installation-folder box: a standard edit control without a context menu.
#pragma once
#include "winlib/window_impl.h"

class CEditImpl : public winlib::CWindowImplBase {
public:
    bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;
};

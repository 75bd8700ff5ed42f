// The skinned check box: one image per state, flipped at every press of the left button.
#pragma once
#include "controls/skin_image.h"
#include "winlib/window_impl.h"

class CSelectStateButton : public winlib::CWindowImplBase {
public:
    CSelectStateButton();
    ~CSelectStateButton() override;

    // Who receives the click, and the images for state 0 and state 1.
    void SetImages(HWND notifyWindow, ImageList images);
    // The brush of the page beneath the button, as for the image button.
    void SetBackground(HBRUSH pageBrush) { background_ = pageBrush; }
    int GetSelectState();
    const ImageList& Images() const { return images_; }

    bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

private:
    LRESULT OnDrawItem(const DRAWITEMSTRUCT& item);
    LRESULT OnLButtonDown();
    LRESULT OnSetCursor();

    int state_ = 0;  // guarded by lock_
    ImageList images_;
    HWND notifyWindow_ = nullptr;
    HBRUSH background_ = nullptr;
    CRITICAL_SECTION lock_{};
};

// The skinned push button: its face is the normal, hover or pressed image, it follows
// the cursor with a short polling timer and reports a click like a standard button.
#pragma once
#include <functional>

#include "controls/skin_image.h"
#include "winlib/window_impl.h"

class COwnerDrawButton : public winlib::CWindowImplBase {
public:
    enum State { STATE_NORMAL = 0, STATE_HOVER = 1, STATE_PRESSED = 2 };
    static constexpr UINT_PTR HOVER_TIMER_ID = 3295;
    static constexpr UINT HOVER_TIMER_PERIOD_MS = 20;

    // Who receives the click, and the images in the order normal, hover, pressed.
    void SetImages(HWND notifyWindow, ImageList images);
    // The brush of the page beneath the button (not owned). Every repaint erases the
    // button with the colour its parent answers to WM_CTLCOLORBTN, which the parent
    // reflects here; with this brush the transparent parts of the images show the page
    // instead of the system's button face colour. Without one the default colours apply.
    void SetBackground(HBRUSH pageBrush) { background_ = pageBrush; }
    int GetState() const { return state_; }
    const ImageList& Images() const { return images_; }

    bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

protected:
    virtual void OnMouseOver() {}
    virtual void OnButtonDown() {}
    virtual void OnClicked();
    virtual void OnMouseOut() {}

private:
    LRESULT OnDrawItem(const DRAWITEMSTRUCT& item);
    LRESULT OnMouseMove();
    LRESULT OnLButtonDown();
    LRESULT OnLButtonUp();
    LRESULT OnHoverTick();
    LRESULT OnSetCursor();
    void Repaint();

    RECT itemRect_{};
    ImageList images_;
    int state_ = STATE_NORMAL;
    HWND notifyWindow_ = nullptr;
    HBRUSH background_ = nullptr;
};

// Fills a skinned button's item with the brush its parent answers to WM_CTLCOLORBTN (the
// page beneath) before a face is drawn. Not every repaint erases first (the standard
// procedure repaints without erasing when the cursor comes and goes or the focus moves),
// so without this a face's translucent edges would blend over the previous face.
void FillBeneath(HWND button, HDC dc, const RECT& item);

// The reflected colour request of a skinned button's erase: the page brush, if it has one.
inline constexpr UINT OCM_CTLCOLORBTN = winlib::OCM_BASE + WM_CTLCOLORBTN;
bool AnswerBackground(HBRUSH pageBrush, LRESULT& result);

// What both skinned buttons answer to the requests their parent reflects to them: the
// draw request goes to `drawFace`, the other owner-draw requests get their defaults, the
// colour request gets the page brush, and anything else the platform's default answer.
bool AnswerReflectedRequest(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, HBRUSH pageBrush,
                            const std::function<LRESULT(const DRAWITEMSTRUCT&)>& drawFace, LRESULT& result);

// Shows the system hand cursor over a control. Loads it once; false when it cannot be
// had, so the caller leaves the message to the standard cursor processing.
bool SetHandCursor();

// Sends the click notification a standard button sends: WM_COMMAND with the control's
// id and BN_CLICKED, sent (not posted) so the handler has run when this returns.
void SendClick(HWND notifyWindow, HWND button);

// Invalidates the whole control with erasing and paints it at once.
void RepaintNow(HWND control);

#include "controls/edit_impl.h"

bool CEditImpl::ProcessWindowMessage(HWND, UINT msg, WPARAM, LPARAM, LRESULT& result) {
    switch (msg) {
    case WM_CONTEXTMENU: return Answer(result, 0);  // no menu: cut and paste stay on the keys
    }
    return false;
}

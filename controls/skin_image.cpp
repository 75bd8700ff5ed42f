#include "controls/skin_image.h"

#include <objbase.h>

#include <cstring>

#include "ui/messages.h"
#include "winlib/handles.h"

namespace {

// A copy of a decoded image that owns its pixels: GDI+ may otherwise read the source
// stream lazily, long after the resource copy behind it is gone.
Gdiplus::Bitmap* DetachedCopy(Gdiplus::Bitmap& decoded) {
    const UINT width = decoded.GetWidth();
    const UINT height = decoded.GetHeight();
    auto* copy = new Gdiplus::Bitmap(static_cast<INT>(width), static_cast<INT>(height),
                                                    PixelFormat32bppARGB);
    if (!copy) return nullptr;
    if (copy->GetLastStatus() != Gdiplus::Ok || width == 0 || height == 0) return copy;
    Gdiplus::Rect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData source{}, target{};
    if (decoded.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &source) != Gdiplus::Ok) {
        return copy;  // undecodable: an empty image that draws transparent
    }
    if (copy->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &target) == Gdiplus::Ok) {
        for (UINT row = 0; row < height; ++row) {
            std::memcpy(static_cast<BYTE*>(target.Scan0) + row * target.Stride,
                        static_cast<const BYTE*>(source.Scan0) + row * source.Stride, width * 4);
        }
        copy->UnlockBits(&target);
    }
    decoded.UnlockBits(&source);
    return copy;
}

}  // namespace

bool LoadSkinImage(HWND reportTo, int id, const wchar_t* type, Gdiplus::Image*& image) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!resource) return false;
    const DWORD size = ::SizeofResource(module, resource);
    HGLOBAL loaded = ::LoadResource(module, resource);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes) {
        ::PostMessageW(reportTo, WM_DOWN_ERROR, ::GetLastError(), DOWN_TAG_SYSTEM);
        return false;
    }

    HGLOBAL block = ::GlobalAlloc(GMEM_FIXED, size);
    if (!block) {
        image = nullptr;
        return true;
    }
    std::memcpy(::GlobalLock(block), bytes, size);
    ::GlobalUnlock(block);

    Gdiplus::Image* made = nullptr;
    IStream* stream = nullptr;
    if (SUCCEEDED(::CreateStreamOnHGlobal(block, FALSE, &stream)) && stream) {
        {
            Gdiplus::Bitmap decoded(stream);
            made = DetachedCopy(decoded);
        }
        stream->Release();
    }
    ::GlobalFree(block);
    image = made;
    return true;
}

void DrawSkinImage(HDC dc, Gdiplus::Image* image, int x, int y, int width, int height) {
    if (!image) return;
    Gdiplus::Graphics graphics(dc);
    graphics.DrawImage(image, x, y, width, height);
}

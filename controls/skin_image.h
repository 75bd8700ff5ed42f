// Skin images: PNG resources of the program decoded into GDI+ images, and the one
// drawing operation the window and its controls use for them.
#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <vector>

using ImageList = std::vector<Gdiplus::Image*>;

// Decodes PNG resource `id` of `type` completely, so the image owns its pixels and keeps
// nothing of the resource or of a stream. Returns false when the resource is missing
// (nothing reported) or cannot be loaded or locked (WM_DOWN_ERROR with the system error
// and DOWN_TAG_SYSTEM is posted to `reportTo`). On true, `image` is the new image, or
// null when no image object could be made.
bool LoadSkinImage(HWND reportTo, int id, const wchar_t* type, Gdiplus::Image*& image);

// Draws the whole image scaled into the rectangle, blended over what the context holds.
// A null image draws nothing.
void DrawSkinImage(HDC dc, Gdiplus::Image* image, int x, int y, int width, int height);

// The skin set in the program's resources against the skin table, what the loader makes
// of it, and how the decoded images blend over what lies beneath them.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <tuple>

#include "skin_support.h"

using namespace harness;
using namespace skin;

namespace {

BOOL CALLBACK CollectId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
    if (IS_INTRESOURCE(name)) {
        reinterpret_cast<std::set<int>*>(found)->insert(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    }
    return TRUE;
}

// Every resource of type "PNG" in the test program (which carries the setup's resources).
std::set<int> PngResourceIds() {
    std::set<int> ids;
    ::EnumResourceNamesW(::GetModuleHandleW(nullptr), L"PNG", &CollectId, reinterpret_cast<LONG_PTR>(&ids));
    return ids;
}

std::string ResourceBytes(int id) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!found) return {};
    const void* bytes = ::LockResource(::LoadResource(module, found));
    return bytes ? std::string(static_cast<const char*>(bytes), ::SizeofResource(module, found)) : std::string();
}

UINT32 BigEndian(const std::string& bytes, size_t at) {
    return (UINT32(BYTE(bytes[at])) << 24) | (UINT32(BYTE(bytes[at + 1])) << 16) | (UINT32(BYTE(bytes[at + 2])) << 8) |
           UINT32(BYTE(bytes[at + 3]));
}

// What the PNG file itself says.
struct PngHeader {
    int width = 0, height = 0, bitDepth = 0, colourType = 0, interlace = -1;
    bool trns = false;
};

PngHeader ReadHeader(const std::string& bytes) {
    PngHeader header;
    if (bytes.size() < 33 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0) {
        return header;
    }
    header.width = static_cast<int>(BigEndian(bytes, 16));
    header.height = static_cast<int>(BigEndian(bytes, 20));
    header.bitDepth = BYTE(bytes[24]);
    header.colourType = BYTE(bytes[25]);
    header.interlace = BYTE(bytes[28]);
    for (size_t at = 8; at + 8 <= bytes.size();) {
        const UINT32 length = BigEndian(bytes, at);
        if (bytes.compare(at + 4, 4, "tRNS") == 0) header.trns = true;
        at += 12 + length;
    }
    return header;
}

// The stored size of each picture by its base id (the window's skin and image tables).
std::pair<int, int> LayoutSize(int baseId, const std::string& language) {
    switch (baseId) {
    case 202: case 215: return {11, 11};
    case 207: return {323, 32};
    case 213: return {229, 51};
    case 214: return {260, 155};
    case 239: case 240: case 243: case 244: return {20, 20};
    case 263: case 273: return {90, 32};
    case 283: case 293: return {180, 12};
    case 303: case 313: return {57, 26};
    case 323: case 333: case 343: case 393: case 403: case 413: return {168, 46};
    case 353: case 363: case 373: return language == "en" ? std::pair{885, 373} : std::pair{650, 290};
    case 383: return {390, 15};
    default: return {0, 0};
    }
}

}  // namespace

TEST(SkinResources, EveryImageMatchesTheSkinTableAndDecodes) {
    const std::vector<SkinRow>& table = SkinTable();
    ASSERT_EQ(table.size(), 105u);

    // The ids: nine single images and sixteen localised bases at +0, 3, 4, 5, 8, 9.
    std::set<int> expectedIds = {202, 207, 213, 214, 215, 239, 240, 243, 244};
    for (int base = 263; base <= 413; base += 10) {
        for (int offset : {0, 3, 4, 5, 8, 9}) expectedIds.insert(base + offset);
    }
    std::set<int> tableIds;
    for (const SkinRow& row : table) tableIds.insert(row.id);
    EXPECT_EQ(tableIds, expectedIds);
    EXPECT_EQ(PngResourceIds(), expectedIds) << "the program's PNG resources are exactly the skin table's";

    std::set<std::tuple<int, int, bool>> forms;
    for (const SkinRow& row : table) {
        SCOPED_TRACE("image " + std::to_string(row.id) + " (" + row.role + ")");
        EXPECT_EQ(LayoutSize(row.baseId, row.language), std::pair(row.width, row.height)) << "table against the window's layout";

        const PngHeader header = ReadHeader(ResourceBytes(row.id));
        EXPECT_EQ(header.width, row.width);
        EXPECT_EQ(header.height, row.height);
        EXPECT_EQ(header.colourType, row.colourType);
        EXPECT_EQ(header.bitDepth, row.bitDepth);
        EXPECT_EQ(header.trns, row.trns);
        EXPECT_EQ(header.interlace, 0) << "none is interlaced";
        forms.emplace(header.colourType, header.bitDepth, header.trns);

        Gdiplus::Image* image = nullptr;
        ASSERT_TRUE(::LoadSkinImage(nullptr, row.id, L"PNG", image));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->GetLastStatus(), Gdiplus::Ok);
        EXPECT_EQ(static_cast<int>(image->GetWidth()), row.width);
        EXPECT_EQ(static_cast<int>(image->GetHeight()), row.height);
        const Argb pixels = Decode(image);
        ASSERT_EQ(pixels.width, row.width) << "decodable";
        ASSERT_EQ(pixels.height, row.height);
        delete image;

        // Transparency as the file declares it, and a picture rather than a blank.
        int transparent = 0, translucent = 0;
        std::set<UINT32> colours;
        for (UINT32 pixel : pixels.data) {
            const UINT32 alpha = pixel >> 24;
            if (alpha == 0) ++transparent;
            else if (alpha < 255) ++translucent;
            if (colours.size() < 3) colours.insert(pixel);
        }
        const bool hasAlpha = row.colourType == 4 || row.colourType == 6;
        if (row.trns) {
            EXPECT_GT(transparent, 0) << "the tRNS entries must decode as transparent";
        } else if (!hasAlpha) {
            EXPECT_EQ(transparent + translucent, 0) << "an image without alpha or tRNS is opaque";
        }
        EXPECT_GE(colours.size(), 2u) << "a picture, not a flat fill";

        // A localised image is a real translation of its English one, not a copy.
        if (row.language != "en" && row.language != "-") {
            EXPECT_NE(Decode(TestImage(row.id)), Decode(TestImage(row.baseId)));
        }
    }
    // Every PNG form the loader must read is used somewhere, so the decoder is exercised on all.
    const std::set<std::tuple<int, int, bool>> partForms = {
        {6, 8, false}, {0, 8, false}, {4, 8, false}, {2, 8, false},
        {3, 4, false}, {3, 4, true},  {3, 8, false}, {3, 8, true}};
    for (const auto& form : partForms) {
        EXPECT_TRUE(forms.count(form)) << "colour type " << std::get<0>(form) << ", depth " << std::get<1>(form)
                                       << (std::get<2>(form) ? " with" : " without") << " tRNS";
    }
}

TEST(SkinImages, LoaderKeepsNoCacheAndImagesBlendOverWhatLiesBeneath) {
    // A missing id: false, nothing reported to the window that would get the error report.
    HWND reportTo = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(reportTo, nullptr);
    auto* untouched = reinterpret_cast<Gdiplus::Image*>(0x1234);
    Gdiplus::Image* image = untouched;
    EXPECT_FALSE(::LoadSkinImage(reportTo, 9999, L"PNG", image));
    EXPECT_EQ(image, untouched) << "left as it was when the call fails";
    EXPECT_FALSE(::LoadSkinImage(reportTo, 239, L"NOPE", image));
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, reportTo, WM_DOWN_ERROR, WM_DOWN_ERROR, PM_REMOVE)) << "nothing is posted";

    Gdiplus::Image* first = nullptr;
    Gdiplus::Image* second = nullptr;
    ASSERT_TRUE(::LoadSkinImage(reportTo, 239, L"PNG", first));
    ASSERT_TRUE(::LoadSkinImage(reportTo, 239, L"PNG", second));
    EXPECT_NE(first, second) << "two loads, two independent images";
    EXPECT_EQ(Decode(first), Decode(second));
    delete first;
    EXPECT_EQ(Decode(second).width, 20) << "an image lives on its own";
    delete second;
    ::DestroyWindow(reportTo);

    // Palette transparency and alpha, drawn over a coloured background.
    const COLORREF background = RGB(30, 160, 90);
    struct Case { int id; const char* form; bool expectTranslucent; };
    const Case cases[] = {
        {243, "4-bit palette with tRNS", false}, {240, "8-bit palette with tRNS", true},
        {207, "greyscale with tRNS", false},     {214, "RGB with tRNS", false},
        {239, "greyscale with alpha", true},     {323, "RGBA", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + ", " + c.form);
        Gdiplus::Image* image = TestImage(c.id);
        ASSERT_NE(image, nullptr);
        const Argb face = Decode(image);
        int transparent = 0, translucent = 0;
        for (UINT32 pixel : face.data) {
            if ((pixel >> 24) == 0) ++transparent;
            else if ((pixel >> 24) < 255) ++translucent;
        }
        ASSERT_GT(transparent, 0) << "the image must have see-through pixels, or this proves nothing";
        if (c.expectTranslucent) ASSERT_GT(translucent, 0);

        // Drawn at its own size, at an offset, over the colour: pixel for pixel the blend.
        Surface surface(face.width + 10, face.height + 10, background);
        DrawSkinImage(surface.dc(), image, 5, 5, face.width, face.height);
        const Pixels drawn = surface.Read();
        const RECT where{5, 5, 5 + face.width, 5 + face.height};
        EXPECT_EQ(FaceMismatches(drawn, where, image, background), 0);
        int showsBackground = 0;
        for (int y = 0; y < face.height; ++y) {
            for (int x = 0; x < face.width; ++x) {
                if ((face.at(x, y) >> 24) == 0 && drawn.at(5 + x, 5 + y) == background) ++showsBackground;
            }
        }
        EXPECT_EQ(showsBackground, transparent) << "transparent pixels leave the background exactly as it was";
        EXPECT_EQ(CountOther(drawn, RECT{0, 0, drawn.width, 5}, background), 0) << "nothing outside the rectangle";
    }

    // A null image draws nothing.
    Surface surface(20, 20, background);
    DrawSkinImage(surface.dc(), nullptr, 0, 0, 20, 20);
    const Pixels drawn = surface.Read();
    EXPECT_EQ(CountOther(drawn, RECT{0, 0, 20, 20}, background), 0);
}

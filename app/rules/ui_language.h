#pragma once

#include <cstdint>

namespace setup {

// Offset from a skin image's base id to its variant for the UI language.
// The skin ships variants only for these exact language ids (Italian,
// French, Japanese, German, Traditional Chinese); every other id, other
// sub-languages of those languages included, uses the English images (0).
int ImageLangOffset(std::uint16_t uiLanguage);

// Resource id of the localised variant of a localised skin image.
int LocalisedImageId(int baseId, std::uint16_t uiLanguage);

struct PixelRect {
    int x, y, width, height;
};

// Place of the "Installation Path:" label: wider where that label tends to
// be long (Italian, French), narrower for Traditional Chinese. The right
// edge stays at x = 142 in every case, just left of the path box.
PixelRect PathLabelGeometry(std::uint16_t uiLanguage);

}  // namespace setup

#include "app/rules/ui_language.h"

namespace setup {

int ImageLangOffset(std::uint16_t uiLanguage) {
    switch (uiLanguage) {
        case 1040: return 3;  // Italian (Italy)
        case 1036: return 4;  // French (France)
        case 1041: return 5;  // Japanese (Japan)
        case 1031: return 8;  // German (Germany)
        case 1028: return 9;  // Chinese, Traditional (Taiwan)
        default: return 0;
    }
}

int LocalisedImageId(int baseId, std::uint16_t uiLanguage) {
    return baseId + ImageLangOffset(uiLanguage);
}

PixelRect PathLabelGeometry(std::uint16_t uiLanguage) {
    switch (uiLanguage) {
        case 1040:
        case 1036: return PixelRect{12, 388, 130, 32};
        case 1028: return PixelRect{82, 388, 60, 32};
        default: return PixelRect{42, 388, 100, 32};
    }
}

}  // namespace setup

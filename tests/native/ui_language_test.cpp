#include "app/rules/ui_language.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

TEST(UiLanguage, ExactLanguageIdsPickTheirImageVariant) {
    const struct {
        std::uint16_t language;
        int id;
    } cases[] = {
        {1040, 326}, {1036, 327}, {1041, 328}, {1031, 331}, {1028, 332},
        {1033, 323}, {2052, 323}, {2055, 323}, {3084, 323}, {0, 323},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LocalisedImageId(323, c.language), c.id) << c.language;
    }
}

TEST(UiLanguage, PathLabelMovesWithTheLanguage) {
    const struct {
        std::uint16_t language;
        PixelRect rect;
    } cases[] = {
        {1040, {12, 388, 130, 32}},
        {1036, {12, 388, 130, 32}},
        {1028, {82, 388, 60, 32}},
        {1041, {42, 388, 100, 32}},
        {1031, {42, 388, 100, 32}},
        {1033, {42, 388, 100, 32}},
    };
    for (const auto& c : cases) {
        const PixelRect got = PathLabelGeometry(c.language);
        EXPECT_EQ(got.x, c.rect.x) << c.language;
        EXPECT_EQ(got.y, c.rect.y) << c.language;
        EXPECT_EQ(got.width, c.rect.width) << c.language;
        EXPECT_EQ(got.height, c.rect.height) << c.language;
    }
}

}  // namespace
}  // namespace setup

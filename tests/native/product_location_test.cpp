#include "ui/rules/product_location.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

TEST(ProductLocation, JoinsWithSingleSeparators) {
    const std::wstring folder =
        ProductFolder(L"C:\\Program Files (x86)", L"Quorvane", L"Talvenor");
    EXPECT_EQ(folder, L"C:\\Program Files (x86)\\Quorvane\\Talvenor");
    EXPECT_EQ(ProductProgram(folder, L"Talvenor.exe"),
              L"C:\\Program Files (x86)\\Quorvane\\Talvenor\\Talvenor.exe");
}

TEST(ProductLocation, KeepsTheFolderAsTyped) {
    EXPECT_EQ(ProductFolder(L"D:\\", L"Quorvane", L"Talvenor"), L"D:\\\\Quorvane\\Talvenor");
    EXPECT_EQ(ProductFolder(L"", L"", L""), L"\\\\");
}

}  // namespace
}  // namespace setup

#include "ui/rules/product_location.h"

namespace setup {

std::wstring ProductFolder(std::wstring_view installFolder, std::wstring_view company,
                           std::wstring_view project) {
    std::wstring folder(installFolder);
    folder += L'\\';
    folder += company;
    folder += L'\\';
    folder += project;
    return folder;
}

std::wstring ProductProgram(std::wstring_view productFolder, std::wstring_view processName) {
    std::wstring program(productFolder);
    program += L'\\';
    program += processName;
    return program;
}

}  // namespace setup

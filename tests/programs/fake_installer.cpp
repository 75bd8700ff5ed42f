// A stand-in for the product's full installer, served by the tests' download servers
// (padded with extra bytes at its end, which a Windows program may carry).
//
// Started as the setup starts an installer, with the command line
//     "  /Quorvane /verysilent /path="<folder>""
// it writes a report to the file named by SETUP_FAKE_REPORT (UTF-8, one "key=value"
// per line): the command line it received, whether that line had the expected form,
// the folder after "/path=", and the size and SHA-256 of its own file, i.e. of the file
// the installer process really ran. Then it places the product program at
// <folder>\Quorvane\Talvenor\Talvenor.exe (the file SETUP_FAKE_PRODUCT names, else its
// own program without the padding) and ends with 0. When SETUP_FAKE_EXIT holds a
// number it installs nothing and ends with that code, as a failing installer does.
// A command line of another form ends with 2 after the report.
//
// Installers too small to be programs are served as batch files. The system starts a
// batch file given as the program by running the command interpreter that COMSPEC
// names with "/s/c", the quoted command line and nothing else; the tests name this
// program there. It then reports on the file SETUP_FAKE_BATCH names (the installer
// the setup started, which it may not learn otherwise) and on the quoted command line.
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t value[32768];
    const DWORD length = ::GetEnvironmentVariableW(name, value, 32768);
    return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                          nullptr);
    return out;
}

std::vector<unsigned char> ReadWholeFile(const std::wstring& path) {
    std::vector<unsigned char> bytes;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size{};
    ::GetFileSizeEx(file, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    DWORD read = 0;
    while (done < bytes.size() &&
           ::ReadFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read, nullptr) && read) {
        done += read;
    }
    bytes.resize(done);
    ::CloseHandle(file);
    return bytes;
}

std::string Sha256Hex(const std::vector<unsigned char>& bytes) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    std::string hex;
    if (::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
        ::CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash)) {
        const size_t step = 1 << 24;
        bool ok = true;
        for (size_t at = 0; ok && at < bytes.size(); at += step) {
            const DWORD part = static_cast<DWORD>(bytes.size() - at < step ? bytes.size() - at : step);
            ok = ::CryptHashData(hash, bytes.data() + at, part, 0) != FALSE;
        }
        BYTE digest[32];
        DWORD length = sizeof digest;
        if (ok && ::CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0)) {
            char text[3];
            for (DWORD i = 0; i < length; ++i) {
                std::snprintf(text, sizeof text, "%02x", digest[i]);
                hex += text;
            }
        }
    }
    if (hash) ::CryptDestroyHash(hash);
    if (provider) ::CryptReleaseContext(provider, 0);
    return hex;
}

// The folder of "  /Quorvane /verysilent /path="<folder>"", read the way the usual
// argument rules read it: a run of 2n backslashes before the closing quote is n.
bool ParseCommandLine(const std::wstring& line, std::wstring& folder) {
    const std::wstring head = L"  /Quorvane /verysilent /path=\"";
    if (line.size() < head.size() + 1 || line.compare(0, head.size(), head) != 0 || line.back() != L'"') {
        return false;
    }
    folder = line.substr(head.size(), line.size() - head.size() - 1);
    if (folder.find(L'"') != std::wstring::npos) return false;
    size_t trailing = 0;
    while (trailing < folder.size() && folder[folder.size() - 1 - trailing] == L'\\') ++trailing;
    if (trailing % 2 != 0) return false;  // the closing quote would be escaped
    folder.resize(folder.size() - trailing / 2);
    return !folder.empty();
}

// The program's own bytes without anything appended after its last section.
std::vector<unsigned char> WithoutPadding(std::vector<unsigned char> image) {
    if (image.size() < sizeof(IMAGE_DOS_HEADER)) return image;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image.data() + dos->e_lfanew);
    const auto* section = IMAGE_FIRST_SECTION(nt);
    size_t end = 0;
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        end = std::max<size_t>(end, section[0].PointerToRawData + section[0].SizeOfRawData);
    }
    if (end > 0 && end < image.size()) image.resize(end);
    return image;
}

bool WriteWholeFile(const std::wstring& path, const void* data, size_t size) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
    ::CloseHandle(file);
    return ok;
}

bool PlaceProduct(const std::wstring& folder, const std::vector<unsigned char>& ownImage) {
    std::wstring target = folder;
    for (const wchar_t* part : {L"\\Quorvane", L"\\Talvenor"}) {
        target += part;
        ::CreateDirectoryW(target.c_str(), nullptr);
    }
    target += L"\\Talvenor.exe";
    const std::wstring product = Environment(L"SETUP_FAKE_PRODUCT");
    if (!product.empty()) return ::CopyFileW(product.c_str(), target.c_str(), FALSE) != FALSE;
    const std::vector<unsigned char> program = WithoutPadding(ownImage);
    return WriteWholeFile(target, program.data(), program.size());
}

// "<interpreter> /s/c "<line>"": the line the batch file was started with.
bool AsInterpreter(const std::wstring& ownLine, std::wstring& line) {
    const std::wstring marker = L" /s/c \"";
    const size_t at = ownLine.find(marker);
    if (at == std::wstring::npos || ownLine.back() != L'"') return false;
    line = ownLine.substr(at + marker.size(), ownLine.size() - at - marker.size() - 1);
    return true;
}

}  // namespace

int wmain() {
    std::wstring commandLine = ::GetCommandLineW();
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::vector<unsigned char> ownImage = ReadWholeFile(self);
    std::wstring installer = self;
    std::wstring batchLine;
    const std::wstring batch = Environment(L"SETUP_FAKE_BATCH");
    if (!batch.empty() && AsInterpreter(commandLine, batchLine)) {
        installer = batch;
        commandLine = batchLine;
    }
    const std::vector<unsigned char> image = installer == self ? ownImage : ReadWholeFile(installer);

    std::wstring folder;
    const bool wellFormed = ParseCommandLine(commandLine, folder);
    const std::wstring exitText = Environment(L"SETUP_FAKE_EXIT");
    bool placed = false;
    if (wellFormed && exitText.empty()) placed = PlaceProduct(folder, ownImage);

    std::string report;
    report += "command=" + Utf8(commandLine) + "\n";
    report += std::string("well-formed=") + (wellFormed ? "yes" : "no") + "\n";
    report += "folder=" + Utf8(folder) + "\n";
    report += "image=" + Utf8(installer) + "\n";
    report += "size=" + std::to_string(image.size()) + "\n";
    report += "sha256=" + Sha256Hex(image) + "\n";
    report += std::string("product=") + (placed ? "placed" : "none") + "\n";
    const std::wstring reportPath = Environment(L"SETUP_FAKE_REPORT");
    if (!reportPath.empty()) WriteWholeFile(reportPath, report.data(), report.size());

    if (!wellFormed) return 2;
    if (!exitText.empty()) return _wtoi(exitText.c_str());
    return placed ? 0 : 3;
}

// The version block, manifest and icon of the built Velumin.exe, read back as Windows reads them.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A path of the host as a Wine path: the host's root is drive Z:.
std::wstring WinePath(const std::string& host) {
    std::wstring path = L"Z:";
    for (const char c : host) {
        path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    }
    return path;
}

std::wstring ProgramPath() {
    return WinePath(VELUMIN_EXE);
}

TEST(VeluminResources, VersionOneZeroZeroOneInJapaneseWithTheManifestAndIcon) {
    const DWORD size = GetFileVersionInfoSizeW(ProgramPath().c_str(), nullptr);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(ProgramPath().c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 1200);
    const std::pair<const wchar_t*, const wchar_t*> values[] = {
        {L"FileVersion", L"1, 0, 0, 1"},
        {L"ProductVersion", L"1, 0, 0, 1"},
        {L"FileDescription", L"Velumin"},
        {L"ProductName", L"Velumin"},
        {L"OriginalFilename", L"Velumin.EXE"}};
    for (const auto& [name, expected] : values) {
        void* text = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\041104b0\\") + name;
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), &text, &length)) << name;
        EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(text)), expected);
    }

    HMODULE program = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr);
    HRSRC manifest = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(program, manifest))),
                           SizeofResource(program, manifest));
    EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    EXPECT_NE(text.find("asInvoker"), std::string::npos);
    EXPECT_NE(FindResourceW(program, MAKEINTRESOURCEW(128), MAKEINTRESOURCEW(14)), nullptr)
        << "application icon group 128";

    // Menu, dialogs, icons, version block and manifest: every one Japanese.
    std::vector<WORD> languages;
    EnumResourceTypesW(
        program,
        [](HMODULE module, LPWSTR type, LONG_PTR found) -> BOOL {
            return EnumResourceNamesW(
                module, type,
                [](HMODULE m, LPCWSTR t, LPWSTR name, LONG_PTR f) -> BOOL {
                    return EnumResourceLanguagesW(
                        m, t, name,
                        [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list) -> BOOL {
                            reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
                            return TRUE;
                        },
                        f);
                },
                found);
        },
        reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_GE(languages.size(), 14U);
    for (const WORD language : languages) {
        EXPECT_EQ(language, MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    }
    FreeLibrary(program);
}

// Each lamp picture's icon is the image of its file in res/icons.
TEST(VeluminResources, EachIconIsTheFileOfItsPicture) {
    HMODULE program = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const auto resource = [program](int id, LPCWSTR type) {
        HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(id), type);
        return std::string(static_cast<const char*>(LockResource(LoadResource(program, found))),
                           found != nullptr ? SizeofResource(program, found) : 0);
    };
    const std::pair<int, const char*> icons[] = {
        {128, "velumin"}, {129, "send"}, {130, "idle"}, {133, "receive"}, {134, "both"}};
    for (const auto& [id, name] : icons) {
        std::ifstream in(std::filesystem::path(WinePath(
                             std::string(VELUMIN_SOURCE_DIR "/res/icons/") + name + ".ico")),
                         std::ios::binary);
        const std::string file{std::istreambuf_iterator<char>(in), {}};
        // The group's first entry names its image; the file's first entry gives its offset.
        const std::string group = resource(id, MAKEINTRESOURCEW(14));
        ASSERT_GE(group.size(), 20u) << name;
        const std::string image =
            resource(*reinterpret_cast<const WORD*>(&group[18]), MAKEINTRESOURCEW(3));
        ASSERT_GE(file.size(), 22u) << name;
        EXPECT_EQ(image, file.substr(*reinterpret_cast<const DWORD*>(&file[18]), image.size()))
            << name;
    }
    FreeLibrary(program);
}

}  // namespace

// The version block, manifest and icons of the built Velumin.exe, read back as Windows reads them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
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

TEST(VeluminResources, VersionManifestAndIconsAsBuiltAllInJapanese) {
    const std::wstring exe = WinePath(VELUMIN_EXE);
    std::vector<char> block(GetFileVersionInfoSizeW(exe.c_str(), nullptr));
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, DWORD(block.size()), block.data()));
    const auto query = [&block](const wchar_t* path) {
        void* value = nullptr;
        UINT length = 0;
        return VerQueryValueW(block.data(), path, &value, &length) ? value : nullptr;
    };
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(L"\\"));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(std::vector({fixed->dwFileVersionMS, fixed->dwFileVersionLS,
                           fixed->dwProductVersionMS, fixed->dwProductVersionLS}),
              std::vector<DWORD>({0x10000, 1, 0x10000, 1}));
    const auto* translation = static_cast<const WORD*>(query(L"\\VarFileInfo\\Translation"));
    ASSERT_NE(translation, nullptr);
    EXPECT_EQ(translation[0] * 0x10000 + translation[1], 0x0411 * 0x10000 + 1200);
    for (const auto& [name, expected] : {std::pair{L"FileVersion", L"1, 0, 0, 1"},
                                         {L"ProductName", L"Velumin"},
                                         {L"OriginalFilename", L"Velumin.EXE"}}) {
        const auto* text = static_cast<const wchar_t*>(
            query((std::wstring(L"\\StringFileInfo\\041104b0\\") + name).c_str()));
        EXPECT_EQ(std::wstring(text != nullptr ? text : L"(none)"), expected);
    }

    HMODULE program = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr);
    const auto resource = [program](int id, int type) {
        HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
        return std::string(static_cast<const char*>(LockResource(LoadResource(program, found))),
                           found != nullptr ? SizeofResource(program, found) : 0);
    };
    const std::string manifest = resource(1, 24);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    EXPECT_NE(manifest.find("asInvoker"), std::string::npos);
    // Each icon group's first entry names its image, which is the image of its
    // file in res/icons (whose first entry gives its offset).
    for (const auto& [id, name] : {std::pair{128, "velumin"},
                                   {129, "send"},
                                   {130, "idle"},
                                   {133, "receive"},
                                   {134, "both"}}) {
        std::ifstream in(std::filesystem::path(WinePath(
                             std::string(VELUMIN_SOURCE_DIR "/res/icons/") + name + ".ico")),
                         std::ios::binary);
        const std::string file{std::istreambuf_iterator<char>(in), {}};
        const std::string group = resource(id, 14);
        ASSERT_TRUE(group.size() >= 20 && file.size() >= 22) << name;
        const std::string image = resource(*reinterpret_cast<const WORD*>(&group[18]), 3);
        EXPECT_EQ(image, file.substr(*reinterpret_cast<const DWORD*>(&file[18]), image.size()))
            << name;
    }

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
    EXPECT_EQ(
        std::count(languages.begin(), languages.end(), MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)),
        std::ptrdiff_t(languages.size()));
    FreeLibrary(program);
}

}  // namespace

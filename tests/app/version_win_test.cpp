// The version block and the manifest of the built Velumin.exe, read back as Windows reads them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The build tree's path as a Wine path: the host's root is drive Z:.
std::wstring ProgramPath() {
    std::wstring path = L"Z:";
    for (const char c : std::string(VELUMIN_EXE)) {
        path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    }
    return path;
}

class VeluminVersion : public testing::Test {
  protected:
    void SetUp() override {
        const std::wstring path = ProgramPath();
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
        ASSERT_GT(size, 0U) << "no version block in " << VELUMIN_EXE;
        m_block.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, m_block.data()));
    }

    std::wstring Value(const std::wstring& name) {
        void* text = nullptr;
        UINT length = 0;
        const std::wstring query = L"\\StringFileInfo\\041104b0\\" + name;
        if (!VerQueryValueW(m_block.data(), query.c_str(), &text, &length) || length == 0) {
            return L"(missing)";
        }
        return static_cast<const wchar_t*>(text);
    }

    std::vector<char> m_block;
};

TEST_F(VeluminVersion, GivesOneZeroZeroOneInJapaneseUnicodeWithTheProductNames) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(m_block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000U);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001U);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000U);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001U);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(m_block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4U);
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 1200);

    EXPECT_EQ(Value(L"FileVersion"), L"1, 0, 0, 1");
    EXPECT_EQ(Value(L"ProductVersion"), L"1, 0, 0, 1");
    EXPECT_EQ(Value(L"FileDescription"), L"Velumin");
    EXPECT_EQ(Value(L"InternalName"), L"Velumin");
    EXPECT_EQ(Value(L"ProductName"), L"Velumin");
    EXPECT_EQ(Value(L"OriginalFilename"), L"Velumin.EXE");
}

TEST(VeluminResources, CarryTheManifestAndTheApplicationIcon) {
    HMODULE program = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr);
    HRSRC manifest = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(program, manifest))),
                           SizeofResource(program, manifest));
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
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

}  // namespace

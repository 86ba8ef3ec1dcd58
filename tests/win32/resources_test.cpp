// What the built roses.scr carries besides code: the name the platform lists, the icon
// groups, the manifest, the version, and the two resources that the code asks for but must
// not find.
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

namespace {

class Resources : public ::testing::Test {
  protected:
    void SetUp() override {
        module = LoadLibraryExA(ROSES_SCR_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << ROSES_SCR_PATH << " error " << GetLastError();
    }
    void TearDown() override { FreeLibrary(module); }

    std::string resource_text(HRSRC found) {
        HGLOBAL loaded = LoadResource(module, found);
        return std::string(static_cast<const char*>(LockResource(loaded)),
                           SizeofResource(module, found));
    }

    HMODULE module = nullptr;
};

TEST_F(Resources, NameForThePlatformsList) {
    char name[64] = {};
    ASSERT_GT(LoadStringA(module, 1, name, sizeof name), 0);
    EXPECT_STREQ(name, "Roses");
}

// An icon group starts with reserved, type and count (16 bits each), then one 14-byte entry
// per image: width, height, colours, reserved, planes, bit count, size, id.
TEST_F(Resources, TwoIconGroupsOfNineImages) {
    for (int group : {107, 108}) {
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(group), RT_GROUP_ICON);
        ASSERT_NE(found, nullptr) << group;
        const std::string data = resource_text(found);
        WORD count = 0;
        std::memcpy(&count, data.data() + 4, 2);
        ASSERT_EQ(count, 9);
        int seen[3][3] = {};
        for (int i = 0; i < count; ++i) {
            const char* entry = data.data() + 6 + 14 * i;
            const int size = static_cast<unsigned char>(entry[0]);
            WORD bits = 0;
            std::memcpy(&bits, entry + 6, 2);
            const int size_index = size == 16 ? 0 : size == 32 ? 1 : size == 48 ? 2 : -1;
            const int bits_index = bits == 4 ? 0 : bits == 8 ? 1 : bits == 32 ? 2 : -1;
            ASSERT_GE(size_index, 0) << size;
            ASSERT_GE(bits_index, 0) << bits;
            ++seen[size_index][bits_index];
        }
        for (auto& row : seen) {
            for (int times : row) {
                EXPECT_EQ(times, 1);
            }
        }
    }
}

TEST_F(Resources, ManifestRunsAsTheInvokerWithoutUiAccess) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);
    const std::string manifest = resource_text(found);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos);
    EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
    EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
}

// Read as Explorer and installers read it. The version functions live in version.dll, which
// the test looks up at run time rather than linking another import library.
TEST(VersionResource, CarriesTheProjectsVersionAndNames) {
    HMODULE library = LoadLibraryA("version.dll");
    ASSERT_NE(library, nullptr);
    auto size_of = reinterpret_cast<decltype(&GetFileVersionInfoSizeA)>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetFileVersionInfoSizeA")));
    auto read = reinterpret_cast<decltype(&GetFileVersionInfoA)>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetFileVersionInfoA")));
    auto query = reinterpret_cast<decltype(&VerQueryValueA)>(
        reinterpret_cast<void*>(GetProcAddress(library, "VerQueryValueA")));
    ASSERT_TRUE(size_of && read && query);

    DWORD ignored = 0;
    std::string info(size_of(ROSES_SCR_PATH, &ignored), '\0');
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(read(ROSES_SCR_PATH, 0, static_cast<DWORD>(info.size()), info.data()));

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(query(info.data(), "\\", &value, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%d.%d.%d", HIWORD(fixed->dwFileVersionMS),
                  LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(std::string(numbers), ROSES_VERSION_TEXT);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);

    auto text = [&](const char* name) {
        const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
        char* found = nullptr;
        UINT chars = 0;
        if (!query(info.data(), path.c_str(), reinterpret_cast<void**>(&found), &chars)) {
            return std::string("(missing)");
        }
        return std::string(found);
    };
    EXPECT_EQ(text("FileDescription"), "Roses");
    EXPECT_EQ(text("ProductName"), "Roses");
    EXPECT_EQ(text("FileVersion"), ROSES_VERSION_TEXT);
    EXPECT_EQ(text("ProductVersion"), ROSES_VERSION_TEXT);
    EXPECT_NE(text("LegalCopyright").find("MIT"), std::string::npos);
    FreeLibrary(library);
}

TEST_F(Resources, NeitherTheClassIconNorTheSettingsDialogExists) {
    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(100), RT_GROUP_ICON), nullptr);
    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(2003), RT_DIALOG), nullptr);
}

} // namespace

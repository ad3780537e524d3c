// What Windows itself reads from VRT58DSPUpdater.exe (the icon Explorer
// shows, the version on the file's property page, the manifest the loader
// acts on) is the program's own resource data, byte for byte.
#include "platform/IconBitmap.h"
#include "platform/win32/Win32Text.h"
#include "resources/Resources.h"

#include "platform/win32/Win32Api.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using platform::win32::Utf8;

// The program beside the tests folder this test runs from.
std::filesystem::path ProgramPath()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::filesystem::path(self).parent_path().parent_path() / L"VRT58DSPUpdater.exe";
}

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_module = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(m_module, nullptr) << "cannot load " << ProgramPath().string();
    }
    void TearDown() override
    {
        if (m_module != nullptr) {
            FreeLibrary(m_module);
        }
    }

    std::vector<std::uint8_t> Resource(const wchar_t* type, int id) const
    {
        const HRSRC found = FindResourceW(m_module, MAKEINTRESOURCEW(id), type);
        if (found == nullptr) {
            return {};
        }
        const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(m_module, found)));
        return {data, data + SizeofResource(m_module, found)};
    }

    HMODULE m_module = nullptr;
};

#pragma pack(push, 2)
struct GroupEntry {  // GRPICONDIRENTRY
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST_F(ProgramResources, IconIsTheIconDataAtEachSize)
{
    const std::vector<std::uint8_t> group = Resource(RT_GROUP_ICON, IDR_MAINFRAME);
    ASSERT_GE(group.size(), 6u) << "no icon " << IDR_MAINFRAME;
    const int count = group[4] | (group[5] << 8);
    const platform::IconResource& icon = *resources::FindIcon(IDR_MAINFRAME);
    ASSERT_EQ(count, static_cast<int>(icon.images.size()));
    ASSERT_EQ(group.size(), 6 + count * sizeof(GroupEntry));
    for (int i = 0; i < count; ++i) {
        GroupEntry entry;
        std::memcpy(&entry, group.data() + 6 + i * sizeof(GroupEntry), sizeof entry);
        const platform::IconImage& image = icon.images[static_cast<std::size_t>(i)];
        SCOPED_TRACE(image.width);
        EXPECT_EQ(entry.width, image.width);
        EXPECT_EQ(entry.height, image.height);
        EXPECT_EQ(entry.colours, 16);
        EXPECT_EQ(entry.bitCount, 4);
        // The picture itself: colours and transparency mask as drawn.
        EXPECT_EQ(Resource(RT_ICON, entry.id), platform::IconDib(image).value());
    }
    // And the system makes an icon of it.
    const HICON loaded = static_cast<HICON>(
        LoadImageW(m_module, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    EXPECT_NE(loaded, nullptr);
    if (loaded != nullptr) {
        DestroyIcon(loaded);
    }
}

TEST_F(ProgramResources, VersionIsTheVersionData)
{
    const std::wstring path = ProgramPath().wstring();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_NE(size, 0u);
    std::vector<std::uint8_t> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    const resources::VersionInfo& version = resources::VersionResource();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(version.fileVersion[0] << 16 | version.fileVersion[1]));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(version.fileVersion[2] << 16 | version.fileVersion[3]));
    EXPECT_EQ(fixed->dwProductVersionMS,
              static_cast<DWORD>(version.productVersion[0] << 16 | version.productVersion[1]));
    EXPECT_EQ(fixed->dwProductVersionLS,
              static_cast<DWORD>(version.productVersion[2] << 16 | version.productVersion[3]));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], version.language);
    EXPECT_EQ(translation[1], version.codePage);

    const auto text = [&](const wchar_t* key) {
        wchar_t query[128];
        swprintf(query, 128, L"\\StringFileInfo\\%04X%04X\\%ls", version.language, version.codePage, key);
        wchar_t* value = nullptr;
        UINT chars = 0;
        if (!VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&value), &chars) || value == nullptr) {
            return std::string("(none)");
        }
        return Utf8(value);
    };
    EXPECT_EQ(text(L"FileVersion"), "0.0.1.4");
    EXPECT_EQ(text(L"ProductVersion"), "0.0.1.4");
    EXPECT_EQ(text(L"ProductName"), version.productName);
    EXPECT_EQ(text(L"FileDescription"), version.fileDescription);
    EXPECT_EQ(text(L"InternalName"), version.internalName);
    EXPECT_EQ(text(L"OriginalFilename"), version.originalFilename);
    EXPECT_EQ(text(L"LegalCopyright"), version.legalCopyright);
}

TEST_F(ProgramResources, ManifestAsksForCommonControlsSixPerMonitorDpiAndNoElevation)
{
    const std::vector<std::uint8_t> bytes = Resource(RT_MANIFEST, 1);  // the process's own
    ASSERT_FALSE(bytes.empty());
    const std::string manifest(bytes.begin(), bytes.end());
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find(">PerMonitorV2"), std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find("version=\"0.0.1.4\""), std::string::npos);
}

}  // namespace

// What Explorer and a file's properties read from Tempix.exe: the icon group and the version.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

const std::wstring kExe = L"" TEMPIX_EXE;

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE Width, Height, Colours, Reserved;
    WORD Planes, BitCount;
    DWORD BytesInRes;
    WORD Id;
};
struct GroupIconDir {
    WORD Reserved, Type, Count;
    GroupIconEntry Entries[1];
};
#pragma pack(pop)

std::wstring VersionString(const std::vector<BYTE>& info, const wchar_t* name) {
    void* value = nullptr;
    UINT len = 0;
    std::wstring key = std::wstring(L"\\StringFileInfo\\041504E2\\") + name;
    if (!VerQueryValueW(info.data(), key.c_str(), &value, &len) || len == 0) return L"?";
    return std::wstring(static_cast<const wchar_t*>(value));
}

}  // namespace

TEST(ExeResources, the_first_icon_group_holds_32_and_16_pixel_pictures_with_alpha) {
    HMODULE exe = LoadLibraryExW(kExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr) << GetLastError();
    HRSRC res = FindResourceW(exe, L"AAAA", MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
    ASSERT_NE(res, nullptr) << GetLastError();
    auto* dir = static_cast<const GroupIconDir*>(LockResource(LoadResource(exe, res)));
    ASSERT_NE(dir, nullptr);
    ASSERT_EQ(dir->Count, 2);
    EXPECT_EQ(dir->Entries[0].Width, 32);
    EXPECT_EQ(dir->Entries[1].Width, 16);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(dir->Entries[i].BitCount, 32);

    // The picture itself loads as an icon of that size.
    HICON icon = static_cast<HICON>(LoadImageW(exe, L"AAAA", IMAGE_ICON, 32, 32, 0));
    EXPECT_NE(icon, nullptr) << GetLastError();
    if (icon) DestroyIcon(icon);
    FreeLibrary(exe);
}

TEST(ExeResources, the_version_is_the_projects_in_numbers_and_in_polish_strings) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(kExe.c_str(), &handle);
    ASSERT_GT(size, 0u) << GetLastError();
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(kExe.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(TEMPIX_VERSION_MINOR, TEMPIX_VERSION_MAJOR));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    EXPECT_EQ(VersionString(info, L"ProductVersion"), L"" TEMPIX_VERSION);
    EXPECT_EQ(VersionString(info, L"OriginalFilename"), L"Tempix.exe");
    EXPECT_EQ(VersionString(info, L"FileDescription"), L"Tempix - stoper UTC");
}

// The Windows program's version information and application manifest, read back from
// the .exe the way Explorer's Details tab, installers and the loader read them.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The program lies three folders up from this test (build/windows/tests/app/win32).
std::wstring programPath() {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    for (int up = 0; up < 4; ++up) path.erase(path.find_last_of(L"\\/"));
    return path + L"\\Kest_Redirect_Serial_to_KB.exe";
}

std::wstring widened(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

TEST(WindowsResources, VersionInformationNamesTheProductAndTheProjectsVersion) {
    const std::wstring exe = programPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version information in the program";
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, data.data()));
    const auto text = [&](const std::wstring& name) {
        void* value = nullptr;
        UINT length = 0;
        const std::wstring path = L"\\StringFileInfo\\040904B0\\" + name;
        if (!VerQueryValueW(data.data(), path.c_str(), &value, &length) || length == 0)
            return std::wstring();
        return std::wstring(static_cast<const wchar_t*>(value), length - 1);
    };
    EXPECT_EQ(text(L"ProductName"), L"Kest Redirect");
    EXPECT_EQ(text(L"FileDescription"), L"Kest Redirect");
    EXPECT_EQ(text(L"ProductVersion"), widened(KEST_VERSION));
    EXPECT_EQ(text(L"FileVersion"), widened(KEST_VERSION));
    EXPECT_EQ(text(L"OriginalFilename"), L"Kest_Redirect_Serial_to_KB.exe");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const std::wstring numbers = std::to_wstring(HIWORD(fixed->dwProductVersionMS)) + L"." +
                                 std::to_wstring(LOWORD(fixed->dwProductVersionMS));
    EXPECT_EQ(numbers, widened(KEST_VERSION));
}

TEST(WindowsResources, TheManifestAsksForNoElevationAndKnowsWindows10And11) {
    HMODULE program = LoadLibraryExW(programPath().c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr);
    HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr) << "no application manifest";
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(program, found)));
    const std::string manifest(bytes, SizeofResource(program, found));
    FreeLibrary(program);
    for (const char* part :
         {"level=\"asInvoker\"", "uiAccess=\"false\"", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
          ">true</longPathAware>", ">PerMonitorV2</dpiAwareness>"}) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part << " missing in\n" << manifest;
    }
}

}  // namespace

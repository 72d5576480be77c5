// The Windows forms of the DOS names, as text.

#include <gtest/gtest.h>

#include "FakeWin32Calls.h"
#include "platform/win32/Win32Paths.h"

namespace kest::win32 {
namespace {

TEST(Win32Paths, BaseDirectoryIsInTheLocalApplicationDataFolder) {
    const QString fallback = QStringLiteral("C:/Users/ann/AppData/Local");
    EXPECT_EQ(baseDirectoryFrom(QStringLiteral("D:\\Profiles\\ann\\Local\\"), fallback),
              QStringLiteral("D:/Profiles/ann/Local/kest-redirect"));
    EXPECT_EQ(baseDirectoryFrom(QStringLiteral("\\\\server\\ann"), fallback),
              QStringLiteral("//server/ann/kest-redirect"));
    // Unset or not absolute: Qt's own idea of the folder.
    for (const QString& odd : {QString(), QStringLiteral("Local"), QStringLiteral("C:")})
        EXPECT_EQ(baseDirectoryFrom(odd, fallback), fallback + QStringLiteral("/kest-redirect"))
            << odd.toStdString();
}

TEST(Win32Paths, DosPathsAreTheNativePaths) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\TALVEN.CFG_Scanner_001", "C:/TALVEN.CFG_Scanner_001"},
        {"c:/FILE_IN.TXT", "c:/FILE_IN.TXT"},
        {"C:", "C:/"},
        {"sub\\FILE.TXT", "sub/FILE.TXT"},
        {"\\\\server\\share\\in.txt", "//server/share/in.txt"}};
    for (const auto& [dos, native] : cases) EXPECT_EQ(nativePathOf(dos), QString(native)) << dos;
}

TEST(Win32Paths, EveryComPortOpensThroughTheDeviceNamespace) {
    for (const int n : {1, 10, 255})
        EXPECT_EQ(comDeviceName(n), QStringLiteral("\\\\.\\COM") + QString::number(n));
    for (const int n : {-1, 0, 256}) EXPECT_EQ(comDeviceName(n), QString()) << n;
}

// A Bluetooth port is found in the system's list without being opened; a port that is
// not there is not listed, and an unreadable list lists nothing.
TEST(Win32Paths, SerialPortsAreFoundInTheSystemsListWithoutOpeningThem) {
    testing::FakeWin32Calls calls;
    EXPECT_FALSE(serialPortListed(calls, QStringLiteral("\\\\.\\COM1")));
    calls.registry[{RegistryRoot::LocalMachine, L"HARDWARE\\DEVICEMAP\\SERIALCOMM"}] = {
        {L"\\Device\\Serial0", L"COM1"}, {L"\\Device\\BthModem0", L"COM12"}};
    EXPECT_TRUE(serialPortListed(calls, QStringLiteral("\\\\.\\COM12")));
    EXPECT_TRUE(serialPortListed(calls, QStringLiteral("\\\\.\\com1")));
    EXPECT_FALSE(serialPortListed(calls, QStringLiteral("\\\\.\\COM2")));
    calls.registryErrors.push_back(kErrorAccessDenied);
    EXPECT_FALSE(serialPortListed(calls, QStringLiteral("\\\\.\\COM12")));
    EXPECT_TRUE(calls.fileHandles.empty());
}

}  // namespace
}  // namespace kest::win32

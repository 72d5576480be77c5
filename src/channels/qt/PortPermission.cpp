#include "channels/qt/PortPermission.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <vector>

namespace kest {

namespace {

// The groups this process runs with: fixed when the login session began.
bool sessionHasGroup(gid_t gid) {
    if (getegid() == gid) return true;
    const int count = getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int got = getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// The groups the system now lists the user in, joined since the login or not.
bool userListedInGroup(const passwd& user, gid_t gid) {
    int count = 32;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    // A first call that is too small says how many there are.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (getgrouplist(user.pw_name, user.pw_gid, groups.data(), &count) >= 0)
            return std::find(groups.begin(), groups.begin() + count, gid) != groups.begin() + count;
        groups.resize(static_cast<size_t>(count));
    }
    return false;
}

}  // namespace

QString portPermissionAdvice(const QString& device) {
    const QString askAdministrator =
        QStringLiteral("ask the administrator for read and write access to %1").arg(device);
    struct stat info {};
    if (::stat(QFile::encodeName(device).constData(), &info) != 0) return askAdministrator;
    // Joining the group helps only when the group may read and write the device.
    constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
    if ((info.st_mode & kGroupReadWrite) != kGroupReadWrite || sessionHasGroup(info.st_gid))
        return askAdministrator;
    const group* owner = getgrgid(info.st_gid);
    const QString groupName =
        owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(info.st_gid);
    const passwd* user = getpwuid(geteuid());
    if (user && userListedInGroup(*user, info.st_gid))
        return QStringLiteral(
                   "you are in group %1, but this login began before you joined it: log out "
                   "and log in again")
            .arg(groupName);
    const QString userName = user ? QString::fromLocal8Bit(user->pw_name) : QStringLiteral("$USER");
    return QStringLiteral(
               "the device belongs to group %1, which you are not in: join it (on Debian: sudo "
               "adduser %2 %1), then log out and log in again")
        .arg(groupName, userName);
}

}  // namespace kest

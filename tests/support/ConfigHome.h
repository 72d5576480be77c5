#pragma once
// A fresh, empty XDG_CONFIG_HOME for the lifetime of the object, for tests that run the
// program's own code in their process; the base directory B lies inside it. The
// previous value comes back at the end, so no test leaks its home into the next.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

namespace kest::test {

class ConfigHome {
  public:
    ConfigHome()
        : hadPrevious_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")),
          previous_(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
    }
    ~ConfigHome() {
        if (hadPrevious_)
            qputenv("XDG_CONFIG_HOME", previous_);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    ConfigHome(const ConfigHome&) = delete;
    ConfigHome& operator=(const ConfigHome&) = delete;

    bool isValid() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }
    QString base() const { return dir_.path() + QStringLiteral("/kest-redirect"); }

  private:
    QTemporaryDir dir_;
    bool hadPrevious_;
    QByteArray previous_;
};

}  // namespace kest::test

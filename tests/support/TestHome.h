#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <optional>
#include <utility>
#include <vector>

// A fresh temporary HOME with XDG folders inside it for one test function. The settings store is
// reset on entry and on exit, so nothing leaks between test functions; the previous environment is
// restored on destruction.
class TestHome {
public:
    TestHome();
    ~TestHome();
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    bool isValid() const { return dir.isValid(); }
    QString path() const { return dir.path(); } // the HOME folder
    QString filePath(const QString& relative) const { return dir.filePath(relative); }

private:
    QTemporaryDir dir;
    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> savedEnv;
};

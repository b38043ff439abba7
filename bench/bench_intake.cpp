// File intake on big folders: a folder within the 5,000-file allowance is collected, one far
// beyond it must be refused after counting one file past the allowance, not after walking it all.
#include "app/FileIntake.h"
#include "util/PathUtil.h"
#include "util/Tool.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

class Host : public FileIntakeHost {
public:
    QStringList selection;
    OrderTab selectedTab() const override { return OrderTab::Etc; }
    bool kineloWindowOpen() const override { return false; }
    bool resizeExeChecked() const override { return false; }
    QStringList listFilePaths(FileListKind) const override { return {}; }
    void appendListRows(FileListKind, const QStringList&) override {}
    void reloadList(FileListKind) override {}
    QStringList selectFiles() const override { return selection; }
    void setSelectFiles(const QStringList& files) override { selection = files; }
    void setSelectInfo(const QString&) override {}
    void comViewRefresh() override {}
    void dragDropOff() override {}
    void dragDropOn() override {}
};

void makeFiles(const QString& folder, int count) {
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        QFile file(QStringLiteral("%1/IMG_%2.jpg").arg(folder).arg(i, 6, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot create files in %s\n", qPrintable(folder));
            std::exit(1);
        }
    }
}

long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int huge = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    Tool::setAlertResponder([](const AlertRequest&) { return AlertAnswer{}; });
    const QString fits = dir.filePath(QStringLiteral("fits"));
    const QString flat = dir.filePath(QStringLiteral("flat"));
    makeFiles(fits, 5000);
    makeFiles(flat, huge);

    Host host;
    FileIntake intake(host);
    QElapsedTimer timer;
    timer.start();
    intake.dragDropFolderAndFiles({fits});
    const qint64 acceptMs = timer.elapsed();
    std::printf("5,000-file folder taken: %lld files, %lld ms\n",
                static_cast<long long>(host.selection.size()), static_cast<long long>(acceptMs));

    timer.restart();
    intake.dragDropFolderAndFiles({flat});
    const qint64 refuseMs = timer.elapsed();
    timer.restart();
    const qint64 all = orbel::fileCount(flat);
    const qint64 fullMs = timer.elapsed();
    std::printf("%d-file folder refused in %lld ms; counting all %lld files takes %lld ms\n", huge,
                static_cast<long long>(refuseMs), static_cast<long long>(all),
                static_cast<long long>(fullMs));
    std::printf("peak resident set: %ld MB\n", peakKb() / 1024);
    return 0;
}

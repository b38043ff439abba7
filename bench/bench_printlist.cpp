// Print list benchmark: how the per-file order list copes with a studio's 5,000-file drop.
//   (1) intake of 5,000 dropped paths until the list view has painted its rows (goal 0.3 s);
//   (2) the thumbnail of a 6000 × 4000 JPEG: decode at a reduced scale against a full decode and
//       a scale, in the same run (goal at most 0.25×);
//   (3) 5,000 rows scrolled from top to bottom with thumbnails on: the longest stall of the main
//       thread, seen as the lateness of a 5 ms timer (goal under 50 ms).
//
//   bench_printlist [--runs N]
//
// Runs in a temporary home (its own settings and work area) on the offscreen platform unless a
// display is given. The 5,000 files are hard links of one photo: real decodes, little disk.
#include "app/AppCtrl.h"
#include "settings/UserDef.h"
#include "ui/DragDropScrollView.h"
#include "ui/FileListTabPage.h"
#include "ui/MainWindow.h"
#include "ui/PrintFileListCtrl.h"
#include "ui/PrintFileListDataSource.h"
#include "ui/ThumbnailLoader.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// A photo-like JPEG: smooth gradients under noise, so the decoder works as on a real photo.
bool writePhoto(const QString& path, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator noise(7);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = int(noise.bounded(24));
            line[x] = qRgb((x * 255 / width + n) & 0xff, (y * 255 / height + n) & 0xff,
                           ((x + y) / 16 + n) & 0xff);
        }
    }
    return image.save(path, "JPEG", 90);
}

// The same photo with an EXIF block carrying a 240 × 160 copy, as a camera writes it.
bool writeWithExifThumbnail(const QString& source, const QString& path) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        return false;
    }
    QByteArray data = in.readAll();
    QByteArray small;
    {
        QBuffer buffer(&small);
        buffer.open(QIODevice::WriteOnly);
        QImage(source)
            .scaled(240, 160, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .save(&buffer, "JPEG", 85);
    }
    const auto be16 = [](QByteArray& b, quint32 v) { b.append(char(v >> 8)).append(char(v)); };
    const auto be32 = [&](QByteArray& b, quint32 v) {
        be16(b, v >> 16);
        be16(b, v & 0xffff);
    };
    QByteArray tiff("MM\x00\x2A", 4);
    be32(tiff, 8);  // IFD0 at 8
    be16(tiff, 0);  // IFD0: no entries
    be32(tiff, 14); // IFD1 at 14
    be16(tiff, 2);  // IFD1: offset and length of the small JPEG
    const quint32 offset = 14 + 2 + 2 * 12 + 4;
    be16(tiff, 0x0201), be16(tiff, 4), be32(tiff, 1), be32(tiff, offset);
    be16(tiff, 0x0202), be16(tiff, 4), be32(tiff, 1), be32(tiff, quint32(small.size()));
    be32(tiff, 0);
    tiff += small;
    QByteArray app1("\xFF\xE1", 2);
    be16(app1, quint32(tiff.size() + 8));
    app1 += QByteArray("Exif\x00\x00", 6) + tiff;
    data.insert(2, app1);
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(data) == data.size();
}

QStringList linkedCopies(const QString& source, const QString& folder, int count) {
    QDir().mkpath(folder);
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = QStringLiteral("%1/IMG_%2.jpg").arg(folder).arg(i, 5, 10, QChar(u'0'));
        if (::link(QFile::encodeName(source).constData(), QFile::encodeName(path).constData()) !=
            0) {
            return {};
        }
        paths.append(path);
    }
    return paths;
}

void studio() {
    UserDef::setObject(QStringLiteral("ベンチ写真館"), QStringLiteral("PhotoStudioName"));
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("bench@example.jp"), QStringLiteral("CustomerEmail"));
    UserDef::setObject(QStringLiteral("ON"), QStringLiteral("ThumbnailView"));
}

// (1): from the drop to the painted rows, through the real intake and the real window.
double intakeSeconds(const QStringList& paths) {
    AppCtrl ctrl(QStringList{QStringLiteral("halvix2")});
    MainWindow window(ctrl);
    window.resize(1024, 700);
    window.show();
    window.selectTab(OrderTab::Print);
    ctrl.setSelectedTab(OrderTab::Print);
    QCoreApplication::processEvents();
    PrintTabPage* page = window.printPage();
    QTableView* view = page->fileListCtrl()->tableView();

    QElapsedTimer timer;
    timer.start();
    Q_EMIT page->dragDropView()->filesDropped(paths);
    view->viewport()->repaint();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (page->fileListCtrl()->fileCount() != paths.size()) {
        std::fprintf(stderr, "intake took %lld rows of %lld\n",
                     static_cast<long long>(page->fileListCtrl()->fileCount()),
                     static_cast<long long>(paths.size()));
        return -1;
    }
    page->fileListCtrl()->dataSource().thumbnailLoader().cancelAll();
    return seconds;
}

// (3): the scroll bar moved every 16 ms (a frame) over the whole list; a 5 ms timer notes how
// late it fires.
double scrollStallMs(const QStringList& paths, bool thumbnails, int* decoded) {
    UserDef::setObject(thumbnails ? QStringLiteral("ON") : QStringLiteral("OFF"),
                       QStringLiteral("ThumbnailView"));
    PrintFileListCtrl list(QStringLiteral("Print"), nullptr);
    list.resize(1000, 560);
    list.show();
    list.dataSource().appendFilePaths(paths);
    QCoreApplication::processEvents();
    QScrollBar* bar = list.tableView()->verticalScrollBar();

    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 worst = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last - 5'000'000);
        last = now;
    });
    QTimer stepper;
    stepper.setTimerType(Qt::PreciseTimer);
    stepper.setInterval(16);
    const int step = std::max(1, bar->maximum() / 400); // about 6.5 s from top to bottom
    QEventLoop loop;
    QObject::connect(&stepper, &QTimer::timeout, [&] {
        if (bar->value() >= bar->maximum()) {
            loop.quit();
            return;
        }
        bar->setValue(std::min(bar->maximum(), bar->value() + step));
    });
    probe.start();
    stepper.start();
    loop.exec();
    // The last screen settles and its thumbnails arrive.
    QTimer::singleShot(1500, &loop, &QEventLoop::quit);
    loop.exec();
    probe.stop();
    *decoded = 0;
    for (int row = 0; row < list.dataSource().fileCount(); ++row) {
        *decoded += list.dataSource().hasThumbnail(row) ? 1 : 0;
    }
    return double(worst) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    int runs = 5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--runs") {
            runs = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    QTemporaryDir home;
    if (!home.isValid()) {
        return 1;
    }
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral(".local/share"))));
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qputenv("HALVIX_UNATTENDED", "1");
    QApplication app(argc, argv);
    studio();

    const QString photo = home.filePath(QStringLiteral("photo.jpg"));
    const QString big = home.filePath(QStringLiteral("big.jpg"));
    if (!writePhoto(photo, 1600, 1067) || !writePhoto(big, 6000, 4000)) {
        std::fprintf(stderr, "could not write the photos\n");
        return 1;
    }

    const QString camera = home.filePath(QStringLiteral("camera.jpg"));
    if (!writeWithExifThumbnail(big, camera)) {
        std::fprintf(stderr, "could not write the camera photo\n");
        return 1;
    }

    // (2) first, while the machine is quiet.
    std::vector<double> scaled;
    std::vector<double> embedded;
    std::vector<double> full;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QImage a = ThumbnailLoader::makeThumbnail(big);
        scaled.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.restart();
        const QImage c = ThumbnailLoader::makeThumbnail(camera);
        embedded.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.restart();
        const QImage b =
            QImage(big).scaledToHeight(ThumbnailLoader::kThumbnailHeight, Qt::SmoothTransformation);
        full.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (a.size() != b.size()) {
            std::fprintf(stderr, "sizes differ: %dx%d and %dx%d\n", a.width(), a.height(),
                         b.width(), b.height());
        }
    }
    const double ratio = median(scaled) / median(full);
    const double ratioEmbedded = median(embedded) / median(full);
    std::printf(
        "(2) thumbnail of 6000x4000 JPEG: scaled decode %.1f ms, full load + scale %.1f ms, "
        "ratio %.3f (goal <= 0.25) %s\n",
        median(scaled), median(full), ratio, ratio <= 0.25 ? "OK" : "MISSED");
    std::printf("    the same photo with a camera's EXIF thumbnail: %.1f ms, ratio %.3f %s\n",
                median(embedded), ratioEmbedded, ratioEmbedded <= 0.25 ? "OK" : "MISSED");

    std::vector<double> intake;
    for (int i = 0; i < runs; ++i) {
        const QStringList paths =
            linkedCopies(photo, home.filePath(QStringLiteral("drop%1").arg(i)), 5000);
        if (paths.size() != 5000) {
            std::fprintf(stderr, "could not link the files\n");
            return 1;
        }
        intake.push_back(intakeSeconds(paths));
    }
    const double intakeMedian = median(intake);
    std::printf("(1) intake of 5000 paths until the rows are painted: median %.3f s, best %.3f s, "
                "worst %.3f s over %d runs (goal <= 0.3 s) %s\n",
                intakeMedian, *std::min_element(intake.begin(), intake.end()),
                *std::max_element(intake.begin(), intake.end()), runs,
                intakeMedian <= 0.3 ? "OK" : "MISSED");

    const QStringList rows = linkedCopies(photo, home.filePath(QStringLiteral("scroll")), 5000);
    std::vector<double> stalls;
    std::vector<double> baseline;
    int decoded = 0;
    int none = 0;
    for (int i = 0; i < std::min(runs, 3); ++i) {
        stalls.push_back(scrollStallMs(rows, true, &decoded));
        baseline.push_back(scrollStallMs(rows, false, &none));
    }
    const double worstStall = *std::max_element(stalls.begin(), stalls.end());
    std::printf("    control, the same scroll with thumbnails off: longest stall %.1f ms\n",
                *std::max_element(baseline.begin(), baseline.end()));
    std::printf("(3) scrolling 5000 rows with thumbnails: longest main-thread stall %.1f ms "
                "(worst of %zu runs; %d thumbnails made in the last) (goal < 50 ms) %s\n",
                worstStall, stalls.size(), decoded, worstStall < 50 ? "OK" : "MISSED");
    return 0;
}

// The image tool's resample: the vector road across a row gives the plain road's bytes at every
// size step, and the filter keeps flat areas flat and gradients straight.
#include "RowResample.h"

#include <QRandomGenerator>
#include <QTest>
#include <vector>

namespace {

std::vector<unsigned char> noiseRow(int pixels, int channels, quint32 seed) {
    QRandomGenerator random(seed);
    std::vector<unsigned char> row(std::size_t(pixels) * std::size_t(channels));
    for (unsigned char& sample : row) {
        sample = static_cast<unsigned char>(random.bounded(256));
    }
    return row;
}

} // namespace

class TestRowResample : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void vectorRoadGivesThePlainRoadsBytes_data() {
        QTest::addColumn<int>("in");
        QTest::addColumn<int>("out");
        QTest::addColumn<int>("channels");
        // The usual photo after the DCT shrink, either way round, and odd neighbours of it.
        QTest::newRow("3000 to 2998 colour") << 3000 << 2998 << 3;
        QTest::newRow("2000 to 1999 colour") << 2000 << 1999 << 3;
        QTest::newRow("3001 to 2999 grey") << 3001 << 2999 << 1;
        QTest::newRow("same size") << 600 << 600 << 3;
        // Short stretches: the plain road does it.
        QTest::newRow("1200 to 1000") << 1200 << 1000 << 3;
        QTest::newRow("enlarged") << 500 << 1000 << 3;
        QTest::newRow("tiny") << 7 << 5 << 3;
    }
    void vectorRoadGivesThePlainRoadsBytes() {
        QFETCH(int, in);
        QFETCH(int, out);
        QFETCH(int, channels);
        const AxisWeights axis = axisWeights(in, out);
        const AcrossResampler across(in, out, channels);
        for (quint32 seed = 1; seed <= 3; ++seed) {
            const std::vector<unsigned char> row = noiseRow(in, channels, seed);
            std::vector<unsigned char> plain(std::size_t(out) * std::size_t(channels));
            std::vector<unsigned char> vector(plain.size());
            resampleRow(row.data(), plain.data(), channels, axis, out);
            across.resample(row.data(), vector.data());
            for (std::size_t x = 0; x < plain.size(); ++x) {
                if (plain[x] != vector[x]) {
                    QFAIL(qPrintable(QStringLiteral("sample %1: %2 against %3")
                                         .arg(x)
                                         .arg(vector[x])
                                         .arg(plain[x])));
                }
            }
        }
    }

    // A flat row stays exactly flat, a ramp stays a ramp through the same values, across and
    // down alike: no shift, no drift at the ends.
    void flatStaysFlatAndRampsStayStraight() {
        const int in = 3000;
        const int out = 2998;
        const AcrossResampler across(in, out, 3);
        std::vector<unsigned char> flat(std::size_t(in) * 3, 137);
        std::vector<unsigned char> result(std::size_t(out) * 3);
        across.resample(flat.data(), result.data());
        QVERIFY(
            std::all_of(result.begin(), result.end(), [](unsigned char v) { return v == 137; }));

        // Slowly rising: 0 at the left edge to 255 at the right, in every channel.
        std::vector<unsigned char> ramp(std::size_t(in) * 3);
        for (int x = 0; x < in; ++x) {
            for (int c = 0; c < 3; ++c) {
                ramp[std::size_t(x) * 3 + std::size_t(c)] =
                    static_cast<unsigned char>(x * 255 / (in - 1));
            }
        }
        across.resample(ramp.data(), result.data());
        for (int o = 0; o < out; ++o) {
            // The ramp read between its pixels where the output pixel's centre falls.
            const double centre = std::clamp((o + 0.5) * double(in) / out - 0.5, 0.0, in - 1.0);
            const int left = std::min(int(centre), in - 2);
            const double right = centre - left;
            const double expected =
                ramp[std::size_t(left) * 3] * (1 - right) + ramp[std::size_t(left + 1) * 3] * right;
            QVERIFY2(std::abs(result[std::size_t(o) * 3 + 1] - expected) <= 1.0,
                     qPrintable(QString::number(o)));
        }

        // Down: three rows of a ramp in height, weighed for one output row.
        const AxisWeights down = axisWeights(2000, 1999);
        const int y = 1000;
        std::vector<std::vector<unsigned char>> rows(std::size_t(down.taps));
        std::vector<const unsigned char*> pointers;
        for (int k = 0; k < down.taps; ++k) {
            const int source = down.first[std::size_t(y)] + k;
            rows[std::size_t(k)].assign(100, static_cast<unsigned char>(source / 8));
            pointers.push_back(rows[std::size_t(k)].data());
        }
        std::vector<unsigned char> downRow(100);
        resampleColumn(pointers.data(), &down.weights[std::size_t(y) * std::size_t(down.taps)],
                       down.taps, downRow.data(), downRow.size());
        const double centre = (y + 0.5) * 2000.0 / 1999 - 0.5;
        QVERIFY2(std::abs(downRow[99] - centre / 8) <= 1.0,
                 qPrintable(QString::number(downRow[99])));
        QCOMPARE(downRow[0], downRow[99]);
    }
};

QTEST_GUILESS_MAIN(TestRowResample)
#include "tst_RowResample.moc"

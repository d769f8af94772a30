// Shot-switch benchmark of the table viewer: the median time from a click on
// a navigation button to the filled table, for shots of several sizes, beside
// a bare baseline measured in the same run (drop the previous model, fill a
// detached QStandardItemModel of the same size with one QStandardItem per
// cell, attach it to a table view). Prints both, their ratio and the peak
// resident memory. Runs on the offscreen platform unless told otherwise.

#include "benchmemory.h"
#include "benchtiming.h"
#include <fbfile/fblayout.h>
#include "fbfileinfo.h"
#include "fbtabledialog.h"
#include <fbfile/shotindex.h>

#include <QCommandLineParser>
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <vector>

#include <time.h>

using namespace FbFile;

using BenchTiming::median;

namespace {

struct Size
{
    int picks;
    int repeats;
};

// Two shots of each size, next to each other, so that the benchmark can
// step between two shots of equal size.
const Size sizes[] = {{240, 41}, {2000, 21}, {10000, 15}, {50000, 7}};
constexpr int ShotsPerSize = 2;

FbRecord pick(int ffid, int channel, int fbNo)
{
    FbRecord r;
    r.ffid = ffid;
    r.channel = channel;
    r.fb_no = fbNo;
    r.offset = 25 * channel - 6000;
    r.g_elev = 310 + channel % 37;
    r.s_elev = 305;
    r.s_depth = 15;
    r.source_x = 512345.75f;
    r.source_y = 4198765.25f;
    r.group_x = 510000.0f + 12.5f * channel;
    r.group_y = 4198000.0f + 0.5f * (channel % 200);
    r.s_line = 1001;
    r.s_stat = -12;
    r.g_line = 2001 + channel / 400;
    r.g_stat = channel % 23 - 11;
    r.fb_time = 0.05f + 0.000731f * channel;
    r.fb_status = channel % 17 == 0 ? 1 : (channel % 53 == 0 ? 2 : 0);
    return r;
}

bool writeBenchFile(const QString &path, int *records)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    int total = 0;
    for (const Size &s : sizes)
        total += ShotsPerSize * s.picks;
    FbFileHeader header;
    header.fb_count = total;
    header.polarity = 1;
    header.min_offset = -6000;
    header.max_offset = 6000;
    char head[FbLayout::HeaderSize];
    FbLayout::encodeHeader(header, head);
    file.write(head, sizeof head);

    int ffid = 1001;
    int fbNo = 0;
    QByteArray block;
    for (const Size &s : sizes) {
        for (int shot = 0; shot < ShotsPerSize; ++shot, ++ffid) {
            block.resize(int(FbLayout::RecordSize) * s.picks);
            for (int c = 0; c < s.picks; ++c)
                FbLayout::encodeRecord(pick(ffid, c + 1, fbNo++), block.data() + FbLayout::RecordSize * c);
            if (file.write(block) != block.size())
                return false;
        }
    }
    *records = total;
    return true;
}

double threadCpuMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Timing
{
    double wallMs;
    double cpuMs;
};

// Wall time is what the user waits; the thread's CPU time is also kept,
// because on a shared machine it is the steadier of the two.
Timing timeStep(const std::function<void()> &step)
{
    QElapsedTimer timer;
    const double cpuStart = threadCpuMs();
    timer.start();
    step();
    // Let the view lay out and paint what it was given, as the user would
    // see it; both sides pay this the same way.
    QCoreApplication::processEvents();
    return {timer.nsecsElapsed() / 1e6, threadCpuMs() - cpuStart};
}

QString procStatus(const char *key)
{
    const qint64 kib = BenchMemory::statusKiB(key);
    return kib < 0 ? QStringLiteral("n/a") : QStringLiteral("%1 kB").arg(kib);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The time from a navigation click to the filled table, for shots of 240 to 50,000 picks, beside a bare "
        "model fill."));
    parser.addHelpOption();
    parser.process(app);
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.fb"));
    int records = 0;
    if (!dir.isValid() || !writeBenchFile(path, &records)) {
        out << "cannot write " << path << '\n';
        return 1;
    }
    ShotIndexScanner scanner(path);
    if (!scanner.open()) {
        out << "cannot open " << path << ": " << scanner.errorString() << '\n';
        return 1;
    }
    const QVector<ShotIndexEntry> index = scanner.scan();

    FbFileInfo info;
    info.fbName = path;
    info.totalFBs = records;
    info.totalShots = index.size();
    info.minOffset = scanner.header().min_offset;
    info.maxOffset = scanner.header().max_offset;
    info.polarity = scanner.header().polarity;
    info.fastStep = 1;

    fbTableDialog viewer(info, index);
    viewer.show();
    auto *combo = viewer.findChild<QComboBox *>(QStringLiteral("ffidCombo"));
    auto *up = viewer.findChild<QAbstractButton *>(QStringLiteral("upButton"));
    auto *down = viewer.findChild<QAbstractButton *>(QStringLiteral("downButton"));
    auto *viewerTable = viewer.findChild<QTableView *>(QStringLiteral("tableView"));
    if (!combo || !up || !down || !viewerTable) {
        out << "viewer widgets not found\n";
        return 1;
    }

    // The baseline view is set up and sized like the viewer's table, with
    // columns of the viewer's mean width, so that both paint about as much.
    QCoreApplication::processEvents();
    QTableView baseView;
    baseView.horizontalHeader()->setDefaultSectionSize(86);
    baseView.verticalHeader()->hide();
    baseView.setEditTriggers(QAbstractItemView::NoEditTriggers);
    baseView.setSelectionBehavior(QAbstractItemView::SelectRows);
    baseView.setAlternatingRowColors(true);
    baseView.resize(viewerTable->size());
    baseView.show();
    QStandardItemModel *baseModel = nullptr;
    const QString baseText = QStringLiteral("1234.50");
    auto baseline = [&](int rows) {
        delete baseModel;
        baseModel = new QStandardItemModel(rows, 16);
        for (int c = 0; c < 16; ++c) {
            for (int r = 0; r < rows; ++r)
                baseModel->setItem(r, c, new QStandardItem(baseText));
        }
        baseView.setModel(baseModel);
    };
    QCoreApplication::processEvents();

    out << "FB file: " << records << " records, " << index.size() << " shots\n";
    out << "median ms from a click to the filled table; wall clock, then the thread's CPU time\n";
    out << qSetFieldWidth(10) << Qt::right << "picks"
        << "viewer"
        << "baseline"
        << "ratio"
        << "viewer"
        << "baseline"
        << "ratio" << qSetFieldWidth(0) << '\n';

    int group = 0;
    bool allWithin = true;
    for (const Size &s : sizes) {
        const int first = group * ShotsPerSize;
        ++group;
        combo->setCurrentIndex(first);
        baseline(s.picks);
        QCoreApplication::processEvents();

        std::vector<double> viewerMs, baseMs, viewerCpu, baseCpu;
        // One untimed round first, so that both sides start warm.
        for (int k = -1; k < s.repeats; ++k) {
            QAbstractButton *button = combo->currentIndex() == first ? up : down;
            const Timing v = timeStep([button] { button->click(); });
            const Timing b = timeStep([&] { baseline(s.picks); });
            if (viewerTable->model()->rowCount() != s.picks) {
                out << "viewer shows " << viewerTable->model()->rowCount() << " rows, expected " << s.picks << '\n';
                return 1;
            }
            if (k >= 0) {
                viewerMs.push_back(v.wallMs);
                baseMs.push_back(b.wallMs);
                viewerCpu.push_back(v.cpuMs);
                baseCpu.push_back(b.cpuMs);
            }
        }
        const double mv = median(viewerMs), mb = median(baseMs);
        const double cv = median(viewerCpu), cb = median(baseCpu);
        allWithin = allWithin && mv / mb <= 1.2;
        out << qSetFieldWidth(10) << Qt::right << s.picks << QString::number(mv, 'f', 1) << QString::number(mb, 'f', 1)
            << QString::number(mv / mb, 'f', 2) << QString::number(cv, 'f', 1) << QString::number(cb, 'f', 1)
            << QString::number(cv / cb, 'f', 2) << qSetFieldWidth(0) << '\n';
        out.flush();
    }
    delete baseModel;

    out << "peak memory (VmHWM): " << procStatus("VmHWM") << ", now (VmRSS): " << procStatus("VmRSS") << '\n';
    out << (allWithin ? "wall clock: all within 1.2x of the baseline\n" : "wall clock: over 1.2x of the baseline\n");
    return 0;
}

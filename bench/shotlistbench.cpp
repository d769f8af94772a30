// Shot-list benchmark of the table viewer: how the viewer copes with the
// number of shots. For files of 10^3 to 10^7 one-record shots it prints the
// time to open the viewer (construct and show), to pop up the shot list, to
// move to the last shot, and the memory the viewer holds beyond the index
// (resident growth while it is open, and the peak). A flat curve is the goal:
// the times should not grow with the number of shots.
//
// The index is built in memory, one entry per record, over a small real
// file; records past its end read as zeros, as in a file that was cut. The
// pop-up is what the user gets from a click on the combo box. Given an FB
// file instead, the bench indexes it, prints the index time and measures the
// viewer on it, printing any warning the viewer shows.
//
//   QT_QPA_PLATFORM=offscreen build/bin/shotlistbench [MAX_SHOTS | FILE]

#include "benchmemory.h"
#include "fbfileinfo.h"
#include "fbtabledialog.h"
#include <fbfile/fblayout.h>
#include <fbfile/shotindex.h>

#include <QCommandLineParser>
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

using namespace FbFile;

namespace {

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toDouble() * 4096 / (1024.0 * 1024.0) : 0;
}

double msSince(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// A real file of a few one-record shots behind the first entries.
bool writeSmallFile(const QString &path, int records)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    FbFileHeader header;
    header.fb_count = records;
    QByteArray bytes(int(FbLayout::HeaderSize + FbLayout::RecordSize * records), '\0');
    FbLayout::encodeHeader(header, bytes.data());
    for (int i = 0; i < records; ++i) {
        FbRecord r;
        r.ffid = 1000 + i;
        r.channel = 1;
        r.fb_no = i;
        r.fb_time = 0.125f;
        FbLayout::encodeRecord(r, bytes.data() + FbLayout::recordPosition(i));
    }
    return file.write(bytes) == bytes.size();
}

struct Row
{
    double openMs, popupMs, lastMs, heldMiB, peakMiB;
    bool atLast;
};

// Opens a viewer on index, pops up its shot list, moves to the last shot.
Row measure(QApplication &app, const FbFileInfo &info, const QVector<ShotIndexEntry> &index)
{
    Row row;
    BenchMemory::resetPeak();
    const double residentBefore = residentMiB();
    QElapsedTimer timer;
    timer.start();
    auto *viewer = new fbTableDialog(info, index);
    viewer->show();
    app.processEvents();
    row.openMs = msSince(timer);

    auto *combo = viewer->findChild<QComboBox *>(QStringLiteral("ffidCombo"));
    timer.restart();
    combo->showPopup();
    app.processEvents();
    row.popupMs = msSince(timer);
    combo->hidePopup();
    app.processEvents();

    timer.restart();
    viewer->findChild<QAbstractButton *>(QStringLiteral("toEndButton"))->click();
    app.processEvents();
    row.lastMs = msSince(timer);
    row.atLast = combo->currentIndex() == index.size() - 1;

    row.heldMiB = residentMiB() - residentBefore;
    row.peakMiB = qMax(0.0, BenchMemory::peakKiB() / 1024.0 - residentBefore);
    delete viewer;
    app.processEvents();
    return row;
}

void print(QTextStream &out, qint64 shots, const Row &row)
{
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7%8\n")
               .arg(shots, 10)
               .arg(shots * qint64(sizeof(ShotIndexEntry)) / (1024.0 * 1024.0), 10, 'f', 1)
               .arg(row.openMs, 9, 'f', 1)
               .arg(row.popupMs, 9, 'f', 1)
               .arg(row.lastMs, 9, 'f', 1)
               .arg(row.heldMiB, 8, 'f', 1)
               .arg(row.peakMiB, 8, 'f', 1)
               .arg(row.atLast ? QString() : QStringLiteral("  (did not reach the last shot)"));
    out.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The viewer's open, shot-list pop-up, move to the last shot and memory, for 10^3 to 10^7 one-record "
        "shots, or for FILE."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("An FB file to measure instead."),
                                 QStringLiteral("[FILE]"));
    parser.process(app);
    QTextStream out(stdout);
    const QString argument = parser.positionalArguments().value(0);
    const QString heading = QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                                .arg("shots", 10)
                                .arg("index MiB", 10)
                                .arg("open", 9)
                                .arg("pop-up", 9)
                                .arg("to last", 9)
                                .arg("held", 8)
                                .arg("peak", 8);

    FbFileInfo info;
    if (QFileInfo(argument).isFile()) {
        info.fbName = argument;
        QElapsedTimer timer;
        timer.start();
        ShotIndexScanner scanner(argument);
        if (!scanner.open()) {
            out << argument << ": " << scanner.errorString() << "\n";
            return 1;
        }
        const QVector<ShotIndexEntry> index = scanner.scan();
        out << argument << ": index of " << index.size() << " shots in " << msSince(timer) << " ms\n";
        info.totalFBs = int(scanner.recordCount());
        info.totalShots = index.size();
        // A shot too large to show brings a warning; it is answered at once
        // and named here, so that a zero-filled file can be measured too.
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&out] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                out << "warning: " << box->text().section(QLatin1Char('\n'), 0, 0) << "\n";
                box->accept();
            }
        });
        answer.start(5);
        out << "times in ms, memory in MiB beyond the index\n" << heading;
        print(out, index.size(), measure(app, info, index));
        return 0;
    }

    const qint64 maxShots = argument.isEmpty() ? 10000000 : argument.toLongLong();
    QTemporaryDir dir;
    info.fbName = dir.filePath(QStringLiteral("shots.fb"));
    if (!writeSmallFile(info.fbName, 1000)) {
        out << "cannot write " << info.fbName << "\n";
        return 1;
    }
    out << "one-record shots; times in ms, memory in MiB beyond the index (12 bytes a shot)\n" << heading;
    for (qint64 n = 1000; n <= maxShots; n *= 10) {
        QVector<ShotIndexEntry> index;
        index.reserve(int(n));
        for (int i = 0; i < n; ++i)
            index.append({1000 + i, i, i});
        info.totalShots = int(n);
        info.totalFBs = int(n);
        print(out, n, measure(app, info, index));
    }
    return 0;
}

// Shot-list benchmark of the table viewer: how the viewer copes with the
// number of shots. For files of 10^3 to 10^7 one-record shots it prints the
// time to open the viewer (construct and show), to pop up the shot list, to
// move to the last shot, and the memory the viewer holds beyond the index
// (resident growth while it is open, and the peak). A flat curve is the goal:
// the times should not grow with the number of shots.
//
// The index is built in memory, one entry per record, over a small real
// file; records past its end read as zeros, as in a file that was cut. The
// pop-up is what the user gets from a click on the combo box.
//
//   QT_QPA_PLATFORM=offscreen build/bin/shotlistbench [MAX_SHOTS]

#include "fbfileinfo.h"
#include "fbtabledialog.h"
#include "fblayout.h"
#include "shotindex.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

namespace {

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toDouble() * 4096 / (1024.0 * 1024.0) : 0;
}

double peakMiB()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
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

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const qint64 maxShots = argc > 1 ? QByteArray(argv[1]).toLongLong() : 10000000;

    QTemporaryDir dir;
    FbFileInfo info;
    info.fbName = dir.filePath(QStringLiteral("shots.fb"));
    if (!writeSmallFile(info.fbName, 1000)) {
        out << "cannot write " << info.fbName << "\n";
        return 1;
    }

    out << "one-record shots; times in ms, memory in MiB beyond the index (12 bytes a shot)\n";
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
               .arg("shots", 10).arg("index MiB", 10).arg("open", 9).arg("pop-up", 9).arg("to last", 9)
               .arg("held", 8).arg("peak", 8);
    for (qint64 n = 1000; n <= maxShots; n *= 10) {
        QVector<ShotIndexEntry> index;
        index.reserve(int(n));
        for (int i = 0; i < n; ++i)
            index.append({1000 + i, i, i});
        info.totalShots = int(n);
        info.totalFBs = int(n);

        const double residentBefore = residentMiB(), peakBefore = peakMiB();
        QElapsedTimer timer;
        timer.start();
        auto *viewer = new fbTableDialog(info, index);
        viewer->show();
        app.processEvents();
        const double openMs = msSince(timer);

        auto *combo = viewer->findChild<QComboBox *>(QStringLiteral("ffidCombo"));
        timer.restart();
        combo->showPopup();
        app.processEvents();
        const double popupMs = msSince(timer);
        combo->hidePopup();
        app.processEvents();

        timer.restart();
        viewer->findChild<QAbstractButton *>(QStringLiteral("toEndButton"))->click();
        app.processEvents();
        const double lastMs = msSince(timer);
        const bool atLast = combo->currentIndex() == n - 1;

        const double held = residentMiB() - residentBefore, peak = peakMiB() - qMax(peakBefore, residentBefore);
        delete viewer;
        app.processEvents();

        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7%8\n")
                   .arg(n, 10).arg(n * qint64(sizeof(ShotIndexEntry)) / (1024.0 * 1024.0), 10, 'f', 1)
                   .arg(openMs, 9, 'f', 1).arg(popupMs, 9, 'f', 1).arg(lastMs, 9, 'f', 1)
                   .arg(held, 8, 'f', 1).arg(qMax(0.0, peak), 8, 'f', 1)
                   .arg(atLast ? QString() : QStringLiteral("  (did not reach the last shot)"));
        out.flush();
    }
    return 0;
}

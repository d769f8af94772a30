// triggeraccuracy: are mis-triggered shots found from picks made on the raw
// records? Each line is generated with its records (`fbtool gen --traces`),
// one to three of its shots fired late or early against the recorder's start
// (--shift: the records carry it), picked with `fbtool pick` and judged with
// `fbtool qc`, whole processes as a user runs them. The lines vary what field
// surveys bring: the seed, S/N 3 to 30, the wavelet's frequency and first
// motion, emergent onsets, clipped near traces, hum, an air wave, source
// delays, hills, station statics, split and end-on spreads.
//
// A shot's true error is its shift plus its own source delay, less the
// line's median of those (a check can only tell shots apart, most are on
// time): the picks of a twin line without shifts and source delays give
// it. Printed: the lines whose mis-triggered shots are named exactly (no
// more, no fewer, each within 1 ms), the mis-triggered shots named, the
// largest error of a named one, the shots named that were on time, and the
// traces whose first break lies before the record's first sample that got a
// confident pick (a wrong time, as nothing of the onset was recorded).
//
//   triggeraccuracy [--lines N] [--fbtool PATH] [--reciprocity-ms T] [--list]

#include <fbfile/fblayout.h>

#include "benchrandom.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>

using namespace FbFile;

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

constexpr int Shots = 24;
constexpr double WithinMs = 1.0;

struct Line
{
    QString name;             // what the line brings, for the listing
    QStringList twin;         // gen options of the line without shifts and source delays
    QStringList field;        // the same with them
    QMap<int, double> shifts; // shot (from 1) -> ms
};

Line makeLine(int number)
{
    BenchRandom random{quint64(number) * 7919 + 17};
    Line line;
    const bool endOn = random.integer(0, 3) == 0;
    const double snr = random.pick({3.0, 5.0, 10.0, 30.0});
    const int hz = random.pick({25, 40, 60});
    const bool reversed = random.integer(0, 1) == 1;
    const double emergent = random.pick({0.0, 0.0, 0.3});
    const int trap = random.integer(0, 3);
    const double sourceDelay = random.pick({0.0, 3.0});
    const bool hills = random.integer(0, 2) == 0;
    const double statics = random.pick({0.0, 2.0});
    line.twin = QStringList{QStringLiteral("--shots"),     QString::number(Shots),
                            QStringLiteral("--channels"),  QString::number(endOn ? 60 : 96),
                            QStringLiteral("--seed"),      QString::number(number + 1),
                            QStringLiteral("--snr"),       QString::number(snr),
                            QStringLiteral("--frequency"), QString::number(hz)};
    line.name = QStringLiteral("seed %1 S/N %2 %3 Hz").arg(number + 1).arg(snr).arg(hz);
    if (endOn) {
        line.twin << QStringLiteral("--spread") << QStringLiteral("end-on");
        line.name += QStringLiteral(" end-on");
    }
    if (reversed) {
        line.twin << QStringLiteral("--trace-polarity") << QStringLiteral("reversed");
        line.name += QStringLiteral(" reversed");
    }
    if (emergent > 0) {
        line.twin << QStringLiteral("--emergent") << QString::number(emergent);
        line.name += QStringLiteral(" emergent");
    }
    switch (trap) {
    case 1:
        line.twin << QStringLiteral("--clip-near") << QStringLiteral("60");
        line.name += QStringLiteral(" clipped");
        break;
    case 2:
        line.twin << QStringLiteral("--hum") << QStringLiteral("50");
        line.name += QStringLiteral(" hum");
        break;
    case 3:
        line.twin << QStringLiteral("--air-wave");
        line.name += QStringLiteral(" air wave");
        break;
    default:
        break;
    }
    if (hills) {
        line.twin << QStringLiteral("--elevation-velocity") << QStringLiteral("1200");
        line.name += QStringLiteral(" hills");
    }
    if (statics > 0) {
        line.twin << QStringLiteral("--station-statics") << QString::number(statics);
        line.name += QStringLiteral(" statics");
    }
    line.field = line.twin;
    if (sourceDelay > 0) {
        line.field << QStringLiteral("--source-delay") << QString::number(sourceDelay);
        line.name += QStringLiteral(" source delays");
    }
    const int count = random.integer(1, 3);
    while (line.shifts.size() < count) {
        const int shot = random.integer(1, Shots);
        const double ms = random.integer(0, 1) ? random.uniform(3, 20) : -random.uniform(3, 10);
        line.shifts.insert(shot, std::round(ms * 10) / 10);
    }
    for (auto it = line.shifts.cbegin(); it != line.shifts.cend(); ++it)
        line.field << QStringLiteral("--shift") << QStringLiteral("%1:%2").arg(it.key()).arg(it.value());
    return line;
}

struct Picks
{
    QVector<qint32> ffid;
    QVector<float> time;
    QVector<qint32> status;
};

bool readPicks(const QString &fileName, Picks *picks)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    const qint64 count = FbLayout::recordCount(bytes.size());
    for (qint64 k = 0; k < count; ++k) {
        const FbRecord r = FbLayout::decodeRecord(FbLayout::recordAt(bytes.constData() + FbLayout::HeaderSize, k));
        picks->ffid.append(r.ffid);
        picks->time.append(r.fb_time);
        picks->status.append(r.fb_status);
    }
    return count > 0;
}

double median(QVector<double> values)
{
    if (values.isEmpty())
        return NAN;
    std::sort(values.begin(), values.end());
    const int n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

QString fbtoolPath;
QStringList qcOptions;

bool run(const QStringList &args, QString *output = nullptr)
{
    QProcess process;
    process.start(fbtoolPath, args);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() == 2) {
        QTextStream(stderr) << "triggeraccuracy: fbtool " << args.join(QLatin1Char(' ')) << " failed:\n"
                            << process.readAllStandardError() << Qt::endl;
        return false;
    }
    if (output)
        *output = QString::fromLocal8Bit(process.readAllStandardOutput());
    return true;
}

struct Tally
{
    int lines = 0, exact = 0, misTriggered = 0, named = 0, falselyNamed = 0, cutOff = 0, cutOffConfident = 0;
    double largestError = 0;
};

bool judgeLine(int number, const QDir &dir, bool list, Tally *t)
{
    const Line line = makeLine(number);
    const QString field = dir.filePath(QStringLiteral("field.fb")), twin = dir.filePath(QStringLiteral("twin.fb"));
    const QString records = dir.filePath(QStringLiteral("field.sgy")), picked = dir.filePath(QStringLiteral("p.fb"));
    const QString csv = dir.filePath(QStringLiteral("qc"));
    if (!run(QStringList{QStringLiteral("gen"), field, QStringLiteral("--traces"), records} + line.field) ||
        !run(QStringList{QStringLiteral("gen"), twin} + line.twin) ||
        !run({QStringLiteral("pick"), QStringLiteral("--seismic"), records, QStringLiteral("-o"), picked,
              QStringLiteral("--geometry"), field}) ||
        !run(QStringList{QStringLiteral("qc"), picked, QStringLiteral("--csv"), csv} + qcOptions))
        return false;
    Picks truth, base, picks;
    if (!readPicks(field, &truth) || !readPicks(twin, &base) || !readPicks(picked, &picks) ||
        truth.time.size() != base.time.size() || truth.time.size() != picks.time.size())
        return false;

    // Each shot's true lateness, and the line's median of them.
    QMap<qint32, QVector<double>> lateBy;
    for (int k = 0; k < truth.time.size(); ++k) {
        lateBy[truth.ffid[k]].append(double(truth.time[k]) - base.time[k]);
        // A first break before the record's first sample: nothing of its
        // onset is there to pick.
        if (truth.time[k] <= 0.0f) {
            ++t->cutOff;
            if (picks.status[k] == 0 && picks.time[k] > 0.0f) {
                ++t->cutOffConfident;
                if (list)
                    out() << "    record " << k + 1 << " of ffid " << truth.ffid[k] << ": first break at "
                          << truth.time[k] << " ms picked confidently at " << picks.time[k] << " ms" << Qt::endl;
            }
        }
    }
    QVector<qint32> ffids = lateBy.keys().toVector();
    QVector<double> late;
    for (qint32 ffid : ffids)
        late.append(median(lateBy[ffid]));
    const double gauge = median(late);

    // The shots named, from the problems table: kind, shot, ffid, record,
    // ..., the error in ms.
    QMap<int, double> named;
    QFile problems(QDir(csv).filePath(QStringLiteral("problems.csv")));
    if (!problems.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!problems.atEnd()) {
        const QStringList cells = QString::fromUtf8(problems.readLine()).split(QLatin1Char(','));
        if (cells.size() > 6 && cells[0] == QLatin1String("timing-error"))
            named.insert(cells[1].toInt(), cells[6].toDouble());
    }

    bool exact = true;
    QStringList said;
    for (int shot = 1; shot <= ffids.size(); ++shot) {
        const bool shifted = line.shifts.contains(shot);
        const double truthMs = late[shot - 1] - gauge;
        if (shifted)
            ++t->misTriggered;
        if (!named.contains(shot)) {
            if (shifted) {
                exact = false;
                said << QStringLiteral("shot %1 %2 ms MISSED").arg(shot).arg(truthMs, 0, 'f', 1);
            }
            continue;
        }
        const double error = named[shot] - truthMs;
        if (!shifted) {
            ++t->falselyNamed;
            exact = false;
            said << QStringLiteral("shot %1 on time (%2 ms) named %3 ms")
                        .arg(shot)
                        .arg(truthMs, 0, 'f', 1)
                        .arg(named[shot], 0, 'f', 1);
            continue;
        }
        ++t->named;
        t->largestError = std::max(t->largestError, std::abs(error));
        if (std::abs(error) > WithinMs)
            exact = false;
        said << QStringLiteral("shot %1 %2 ms named %3").arg(shot).arg(truthMs, 0, 'f', 1).arg(named[shot], 0, 'f', 1);
    }
    ++t->lines;
    t->exact += exact ? 1 : 0;
    if (list || !exact)
        out() << (exact ? "  " : "! ") << line.name << ": " << said.join(QStringLiteral(", ")) << Qt::endl;
    if (list && !exact)
        out() << "    fbtool gen FILE --traces RECORDS " << line.field.join(QLatin1Char(' ')) << Qt::endl;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Mis-triggered shots named by fbtool qc from the picks fbtool pick makes on their records."));
    parser.addHelpOption();
    const QCommandLineOption linesOption(QStringLiteral("lines"), QStringLiteral("Lines to judge (default 40)."),
                                         QStringLiteral("N"), QStringLiteral("40"));
    const QCommandLineOption toolOption(QStringLiteral("fbtool"),
                                        QStringLiteral("The fbtool to run (default: the one beside the bench)."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption list(QStringLiteral("list"), QStringLiteral("Print every line, not only those missed."));
    const QCommandLineOption tolerance(QStringLiteral("reciprocity-ms"),
                                       QStringLiteral("The reciprocity tolerance qc judges with (default: qc's)."),
                                       QStringLiteral("T"));
    parser.addOptions({linesOption, toolOption, list, tolerance});
    parser.process(app);
    fbtoolPath = parser.isSet(toolOption) ? parser.value(toolOption)
                                          : QDir(app.applicationDirPath()).filePath(QStringLiteral("fbtool"));
    if (parser.isSet(tolerance))
        qcOptions << QStringLiteral("--reciprocity-ms") << parser.value(tolerance);
    bool ok = false;
    const int lines = parser.value(linesOption).toInt(&ok);
    if (!ok || lines < 1) {
        QTextStream(stderr) << "triggeraccuracy: --lines needs a whole number of at least 1" << Qt::endl;
        return 2;
    }
    QTemporaryDir temporary;
    if (!temporary.isValid())
        return 2;
    const QDir dir(temporary.path());
    out() << "Mis-triggered shots on " << lines << " lines of " << Shots
          << " shots, picked from their records (! a line not named exactly):" << Qt::endl;
    Tally t;
    for (int number = 0; number < lines; ++number) {
        if (!judgeLine(number, dir, parser.isSet(list), &t))
            return 1;
    }
    out() << "\nlines named exactly: " << t.exact << "/" << t.lines << "; mis-triggered shots named " << t.named << "/"
          << t.misTriggered << ", largest error of a named one " << QString::number(t.largestError, 'f', 2)
          << " ms (goal <= " << WithinMs << "); shots on time named " << t.falselyNamed
          << "; first breaks before the record's start " << t.cutOff << ", picked confidently " << t.cutOffConfident
          << Qt::endl;
    return t.exact == t.lines ? 0 : 1;
}

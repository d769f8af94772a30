#include <fbqc/qccsv.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <fbfile/fbcolumns.h>
#include <fbfile/fboutputfile.h>

#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using namespace FbFile;

namespace FbQc {

namespace QcCsv {

QString decimal(double value, int decimals)
{
    if (!std::isfinite(value))
        return QString();
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

char *writeDecimal(float value, int decimals, char *out)
{
    Q_ASSERT(decimals >= 0 && decimals <= 9);
    static constexpr quint64 powersOf10[] = {1ull,      10ull,      100ull,      1000ull,      10000ull,
                                             100000ull, 1000000ull, 10000000ull, 100000000ull, 1000000000ull};
    if (!std::isfinite(value))
        return out;
    // The exact value, m * 2^e: every rounding below is decided on it, never
    // on a decimal approximation, so that halfway cases are seen as such.
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = int(bits >> 23) & 0xff;
    const quint64 m = biased == 0 ? (bits & 0x7fffffu) : (bits & 0x7fffffu) | 0x800000u; // < 2^24
    const int e = biased == 0 ? -149 : biased - 150;
    const bool negative = bits >> 31;
    if (m == 0) {
        *out = '0';
        return out + 1;
    }
    if (e >= 0) {
        // An integer: its decimals are all zeros and none is shown.
        if (negative)
            *out++ = '-';
        if (e <= 39)
            return std::to_chars(out, out + 20, m << e).ptr; // < 2^63
        // From 2^63 on the library writes the exact digits (up to 39 of them).
        return std::to_chars(out, out + MaxDecimalBytes - 1, std::fabs(double(value)), std::chars_format::fixed, 0).ptr;
    }
    // units = |value| * 10^decimals, half a unit or more rounded up.
    const int shift = -e;                            // 1..149
    const quint64 scaled = m * powersOf10[decimals]; // < 2^24 * 10^9 < 2^54
    const quint64 units = shift >= 64 ? 0 : (scaled >> shift) + ((scaled >> (shift - 1)) & 1);
    if (units == 0) {
        *out = '0'; // no "-0" for a small negative value
        return out + 1;
    }
    if (negative)
        *out++ = '-';
    out = std::to_chars(out, out + 20, units / powersOf10[decimals]).ptr;
    quint64 fraction = units % powersOf10[decimals];
    if (fraction == 0)
        return out;
    int places = decimals;
    while (fraction % 10 == 0) {
        fraction /= 10;
        --places;
    }
    *out++ = '.';
    for (int k = places - 1; k >= 0; --k) { // with the zeros that lead the fraction
        out[k] = char('0' + fraction % 10);
        fraction /= 10;
    }
    return out + places;
}

namespace {

// One table on disk, its rows formatted into a buffer that goes out in
// blocks of about a megabyte.
//
//   TableFile t(name);
//   if (!t.open(header)) ...;
//   char *p = t.row(); ... p = write(p); if (!t.endRow(p)) break;
//   if (!t.close()) ... t.errorString();
class TableFile
{
public:
    static constexpr int BlockBytes = 1 << 20;
    static constexpr int MaxRowBytes = 1024; // the longest row, a quoted detail: under 700

    explicit TableFile(const QString &fileName) : m_file(fileName), m_buffer(BlockBytes + MaxRowBytes) { }

    bool open(const char *header)
    {
        // Unbuffered: the blocks are large already, and a failure shows at once.
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            return false;
        const size_t size = std::strlen(header);
        Q_ASSERT(size < size_t(MaxRowBytes));
        std::memcpy(m_buffer.data(), header, size);
        m_buffer[size] = '\n';
        m_used = int(size) + 1;
        return true;
    }
    // Where the next row goes; it may take up to MaxRowBytes.
    char *row() { return m_buffer.data() + m_used; }
    // The row ended at end. False once a write has failed: stop then.
    bool endRow(char *end)
    {
        *end = '\n';
        m_used = int(end + 1 - m_buffer.data());
        return m_used < BlockBytes || flush();
    }
    bool close()
    {
        const bool flushed = flush();
        m_file.close();
        return flushed && m_file.error() == QFileDevice::NoError;
    }
    QString errorString() const { return m_failed ? m_writeError : m_file.errorString(); }

private:
    bool flush()
    {
        if (m_failed)
            return false;
        // A disk that fills takes part of a block without a word; what is
        // left, written again, gets the reason.
        for (qint64 done = 0; done < m_used && !m_failed;) {
            const qint64 written = m_file.write(m_buffer.data() + done, m_used - done);
            m_failed = written <= 0;
            done += written;
        }
        if (m_failed)
            m_writeError = m_file.errorString(); // close() would forget it
        m_used = 0;
        return !m_failed;
    }

    QFile m_file;
    std::vector<char> m_buffer;
    int m_used = 0;
    bool m_failed = false;
    QString m_writeError;
};

// A detail text is cut to this many characters, so that a row fits the buffer.
constexpr int MaxDetailChars = 100;

char *field(char *p, qint64 value)
{
    p = std::to_chars(p, p + 20, value).ptr;
    *p = ',';
    return p + 1;
}

char *field(char *p, float value, int decimals)
{
    p = writeDecimal(value, decimals, p);
    *p = ',';
    return p + 1;
}

// A text field, quoted when it holds a comma, a quote or a line end.
char *textField(char *p, const QByteArray &text)
{
    const bool quote = text.contains(',') || text.contains('"') || text.contains('\n');
    if (quote)
        *p++ = '"';
    for (char c : text) {
        if (c == '"')
            *p++ = '"';
        *p++ = c == '\n' ? ' ' : c;
    }
    if (quote)
        *p++ = '"';
    *p = ',';
    return p + 1;
}

// Writes one table, its rows by writeRow(qint64 k, char *p) -> end, k in
// 0..rows-1; false with the reason in *error.
template<typename WriteRow>
bool writeTable(const QString &fileName, const char *header, qint64 rows, const WriteRow &writeRow, QString *error)
{
    TableFile table(fileName);
    if (table.open(header)) {
        for (qint64 k = 0; k < rows; ++k) {
            if (!table.endRow(writeRow(k, table.row())))
                break;
        }
        if (table.close())
            return true;
    }
    *error = QCoreApplication::translate("QcCsv", "cannot write %1: %2").arg(fileName, table.errorString());
    return false;
}

// A new file beside fileName, named after it, to write it under; false,
// with the reason in *error and *staged = fileName, when the folder takes
// no new file.
bool stage(const QString &fileName, QString *staged, QString *error)
{
    const QFileInfo info(fileName);
    for (int k = 0;; ++k) {
        *staged = info.dir().filePath(
            QStringLiteral(".%1.%2-%3").arg(info.fileName()).arg(QCoreApplication::applicationPid()).arg(k));
        // Made with the permissions a new table would get.
        const int fd = ::open(QFile::encodeName(*staged).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            // A table replaced keeps the permissions it had.
            if (info.exists())
                QFile::setPermissions(*staged, QFile::permissions(fileName));
            return true;
        }
        if (errno != EEXIST) {
            *error = QCoreApplication::translate("QcCsv", "cannot write %1: %2")
                         .arg(fileName, QString::fromLocal8Bit(std::strerror(errno)));
            *staged = fileName;
            return false;
        }
    }
}

} // namespace

namespace {
enum Table { Outliers, Reciprocity, Repeats, Shots, Problems, TableCount };
const char *const TableFiles[TableCount] = {"outliers.csv", "reciprocity.csv", "repeats.csv", "shots.csv",
                                            "problems.csv"};
} // namespace

QStringList Tables::fileNames()
{
    QStringList names;
    for (const char *name : TableFiles)
        names << QLatin1String(name);
    return names;
}

bool Tables::prepare(const QString &dirName, const QStringList &protect)
{
    m_error.clear();
    const QDir dir(dirName);
    for (const QString &name : fileNames()) {
        if (FbOutputFile::isProtected(dir.filePath(name), protect, &m_error))
            return false;
    }
    if (!QDir().mkpath(dirName)) {
        m_error = QCoreApplication::translate("QcCsv", "cannot make the folder %1").arg(dirName);
        return false;
    }
    // A table already there is opened for writing without cutting it, which
    // leaves it as it is; a new one needs a folder that takes files, which a
    // scratch file proves.
    for (const QString &name : fileNames()) {
        const QString path = dir.filePath(name);
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
        } else if (errno != ENOENT) {
            m_error = QCoreApplication::translate("QcCsv", "cannot write %1: %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    QTemporaryFile scratch(dir.filePath(QStringLiteral(".tables-XXXXXX")));
    if (!scratch.open()) {
        m_error = QCoreApplication::translate("QcCsv", "cannot write into the folder %1: %2")
                      .arg(dirName, scratch.errorString());
        return false;
    }
    return true;
}

bool Tables::write(const QString &dirName, const FbQc::Report &r, const QStringList &protect)
{
    QString *error = &m_error;
    if (!prepare(dirName, protect))
        return false;
    using namespace FbQc;
    const QDir dir(dirName);
    const auto ffid = [&r](qint32 shot) { return shot >= 0 && shot < r.index().size() ? r.index().at(shot).ffid : 0; };
    const auto shotField = [](char *p, qint32 shot) {
        if (shot < 0) {
            *p = ',';
            return p + 1;
        }
        return field(p, qint64(shot) + 1);
    };

    // Written under temporary names beside the tables and renamed over them
    // once all are written, so that a failure part-way (a full disk) leaves
    // the folder as it was. A table that is not a regular file (a device, a
    // pipe) cannot be replaced: it is written where it is.
    QString finalNames[TableCount], written[TableCount];
    bool staged = true;
    for (int t = 0; t < TableCount; ++t) {
        const QFileInfo info(dir.filePath(QLatin1String(TableFiles[t])));
        finalNames[t] = info.isFile() ? info.canonicalFilePath() : info.filePath();
        written[t] = finalNames[t];
        if (staged && (!info.exists() || info.isFile()))
            staged = stage(finalNames[t], &written[t], error);
    }
    const auto finish = [&](bool ok) {
        for (int t = 0; t < TableCount; ++t) {
            if (written[t] == finalNames[t])
                continue;
            // The reason names the table, not its temporary name.
            error->replace(written[t], finalNames[t]);
            if (ok && std::rename(QFile::encodeName(written[t]).constData(),
                                  QFile::encodeName(finalNames[t]).constData()) != 0) {
                *error = QCoreApplication::translate("QcCsv", "cannot write %1: %2")
                             .arg(finalNames[t], QString::fromLocal8Bit(std::strerror(errno)));
                ok = false;
            }
            if (!ok)
                QFile::remove(written[t]);
        }
        return ok;
    };
    if (!staged)
        return finish(false);

    // Each row writer ends on the comma after its last field; endRow()
    // puts the line end over it.
    FindingList::Reader outliers(r.findings(Kind::Outlier));
    const bool ok = writeTable(
                        written[Outliers], "shot,ffid,record,fb_no,channel,offset,fb_time,model_time,residual",
                        r.count(Kind::Outlier),
                        [&](qint64, char *p) {
                            const Finding &x = *outliers.next();
                            p = field(p, qint64(x.shot) + 1);
                            p = field(p, ffid(x.shot));
                            p = field(p, qint64(x.record) + 1);
                            p = field(p, x.fbNo);
                            p = field(p, x.channel);
                            p = field(p, x.offset);
                            p = field(p, x.a, 4);
                            p = field(p, x.b, 3);
                            return field(p, x.value, 3) - 1;
                        },
                        error) &&
                    writeTable(
                        written[Reciprocity],
                        "shot_a,ffid_a,shot_b,ffid_b,time_ab,time_ba,difference,flagged,explained_by", r.pairs().size(),
                        [&](qint64 k, char *p) {
                            const ReciprocalPair &x = r.pairs().at(int(k));
                            p = field(p, qint64(x.shotA) + 1);
                            p = field(p, ffid(x.shotA));
                            p = field(p, qint64(x.shotB) + 1);
                            p = field(p, ffid(x.shotB));
                            p = field(p, x.timeAB, 3);
                            p = field(p, x.timeBA, 3);
                            // The times as picked, their difference with the
                            // sources' depths taken into account.
                            const float d = r.depthCorrected(x);
                            p = field(p, d, 3);
                            const bool flagged = r.flagged(x);
                            p = field(p, flagged ? 1 : 0);
                            return shotField(p, flagged ? r.explainedBy(x.shotA, x.shotB, d) : -1) - 1;
                        },
                        error) &&
                    writeTable(
                        written[Repeats], "shot_a,ffid_a,shot_b,ffid_b,difference,receivers,flagged,explained_by",
                        r.repeats().size(),
                        [&](qint64 k, char *p) {
                            const RepeatPair &x = r.repeats().at(int(k));
                            p = field(p, qint64(x.shotA) + 1);
                            p = field(p, ffid(x.shotA));
                            p = field(p, qint64(x.shotB) + 1);
                            p = field(p, ffid(x.shotB));
                            const float d = r.depthCorrected(x);
                            p = field(p, d, 3);
                            p = field(p, x.receivers);
                            const bool flagged = std::abs(d) > r.settings.reciprocityMs;
                            p = field(p, flagged ? 1 : 0);
                            return shotField(p, flagged ? r.explainedBy(x.shotA, x.shotB, d) : -1) - 1;
                        },
                        error);
    if (!ok)
        return finish(false);
    int timing = 0;
    if (!writeTable(
            written[Shots],
            "shot,ffid,picks,outliers,rms_residual,velocity_negative_side,velocity_positive_side,"
            "intercept_negative_side,intercept_positive_side,not_picked,timing_error,timing_pairs",
            r.shots().size(),
            [&](qint64 k, char *p) {
                const ShotSummary s = r.shots().at(int(k));
                p = field(p, k + 1);
                p = field(p, ffid(qint32(k)));
                p = field(p, s.picks);
                p = field(p, s.outliers);
                p = field(p, s.rmsResidual, 3);
                // In m/s and ms whatever units the file holds.
                const Units &u = r.units;
                p = field(p, float(u.metresPerSecond(s.velocity[Negative])), 1);
                p = field(p, float(u.metresPerSecond(s.velocity[Positive])), 1);
                p = field(p, s.intercept[Negative], 3);
                p = field(p, s.intercept[Positive], 3);
                p = field(p, s.notPicked);
                // The estimates come in shot order, at most one a shot.
                const bool timed = timing < r.timing().size() && r.timing().at(timing).shot == k;
                p = field(p, timed ? r.timing().at(timing).delay : float(NaN), 2);
                p = field(p, timed ? r.timing().at(timing).pairs : 0);
                timing += timed ? 1 : 0;
                return p - 1;
            },
            error))
        return finish(false);

    // Every other kind in one table of the same columns, kind by kind.
    qint64 rows = 0;
    for (int k = 0; k < KindCount; ++k) {
        if (qstrcmp(kinds()[k].csvFile, TableFiles[Problems]) == 0)
            rows += r.count(Kind(k));
    }
    int kind = -1;
    std::unique_ptr<FindingList::Reader> reader;
    return finish(writeTable(
        written[Problems], "kind,shot,ffid,record,other_shot,field,value,count,detail", rows,
        [&](qint64, char *p) {
            const Finding *f = reader ? reader->next() : nullptr;
            while (!f) {
                do
                    ++kind;
                while (qstrcmp(kinds()[kind].csvFile, TableFiles[Problems]) != 0 || r.count(Kind(kind)) == 0);
                reader = std::make_unique<FindingList::Reader>(r.findings(Kind(kind)));
                f = reader->next();
            }
            const KindInfo &info = kinds()[kind];
            p = textField(p, info.key);
            p = shotField(p, f->shot);
            p = f->shot >= 0 ? field(p, ffid(f->shot)) : textField(p, QByteArray());
            p = f->record >= 0 ? field(p, qint64(f->record) + 1) : textField(p, QByteArray());
            p = shotField(p, f->otherShot);
            p = textField(p, f->column >= 0 ? QByteArray(FbColumns::titles[f->column]) : QByteArray());
            p = field(p, f->value, 3);
            p = field(p, f->count);
            return textField(p, info.describe(*f, r).left(MaxDetailChars).toUtf8()) - 1;
        },
        error));
}

} // namespace QcCsv

} // namespace FbQc

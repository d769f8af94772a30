#include <fbtrace/seg2reader.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <climits>
#include <limits>
#include <cmath>
#include <cstring>

using namespace FbFile;

namespace FbTrace {

namespace {

constexpr quint16 FileBlockId = 0x3A55;
constexpr quint16 TraceBlockId = 0x4422;
constexpr int FixedBlockBytes = 32;
// Strings before the first trace block beyond this are no descriptor.
constexpr qint64 MaxFileStringBytes = 1 << 20;

using Strings = QHash<QByteArray, QByteArray>;

struct Bytes
{
    const uchar *p;
    bool le;
    quint16 u16(int at) const { return le ? qFromLittleEndian<quint16>(p + at) : qFromBigEndian<quint16>(p + at); }
    quint32 u32(int at) const { return le ? qFromLittleEndian<quint32>(p + at) : qFromBigEndian<quint32>(p + at); }
};

// Each string: a 16-bit length counting itself, then "KEYWORD value"
// up to its terminator; a length of 0 ends the list.
bool parseStrings(const QByteArray &block, int from, bool le, Strings *out, QString *why)
{
    const Bytes b{reinterpret_cast<const uchar *>(block.constData()), le};
    int at = from;
    while (at + 2 <= block.size()) {
        const qint16 length = qint16(b.u16(at));
        if (length == 0)
            break;
        if (length < 0) {
            *why = QStringLiteral("the string at byte %1 has a negative length (%2)").arg(at).arg(length);
            return false;
        }
        if (length < 2 || at + length > block.size()) {
            *why = QStringLiteral("the string at byte %1 runs past the end of its block").arg(at);
            return false;
        }
        QByteArray text = block.mid(at + 2, length - 2);
        const int end = text.indexOf('\0');
        if (end >= 0)
            text.truncate(end);
        text = text.trimmed();
        const int space = text.indexOf(' ');
        const QByteArray key = (space < 0 ? text : text.left(space)).toUpper();
        if (!key.isEmpty())
            out->insert(key, space < 0 ? QByteArray() : text.mid(space + 1).trimmed());
        at += length;
    }
    return true;
}

QVector<double> numbers(const QByteArray &value)
{
    QVector<double> v;
    for (const QByteArray &word : value.simplified().split(' ')) {
        bool ok = false;
        const double x = word.toDouble(&ok);
        if (!ok || !std::isfinite(x))
            break;
        v.append(x);
    }
    return v;
}

qint64 dataBytes(int format, qint64 samples)
{
    switch (format) {
    case 1:
        return samples * 2;
    case 2:
    case 4:
        return samples * 4;
    case 3:
        return (samples + 3) / 4 * 10;
    case 5:
        return samples * 8;
    default:
        return -1;
    }
}

// The last run of digits in a file's name, or -1.
qint64 numberInName(const QString &name)
{
    static const QRegularExpression digits(QStringLiteral("(\\d+)(?!.*\\d)"));
    const QRegularExpressionMatch m = digits.match(QFileInfo(name).completeBaseName());
    if (!m.hasMatch())
        return -1;
    bool ok = false;
    const qint64 n = m.captured(1).toLongLong(&ok);
    return ok && n <= std::numeric_limits<qint32>::max() ? n : -1;
}

} // namespace

bool Seg2File::looksLike(const QByteArray &bytes)
{
    if (bytes.size() < 2)
        return false;
    const uchar *p = reinterpret_cast<const uchar *>(bytes.constData());
    return qFromLittleEndian<quint16>(p) == FileBlockId || qFromBigEndian<quint16>(p) == FileBlockId;
}

bool Seg2File::fail(const QString &why)
{
    error = why;
    return false;
}

bool Seg2File::parse(const QString &name)
{
    fileName = name;
    traces.clear();
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    const qint64 size = file.size();
    const QByteArray head = file.read(FixedBlockBytes);
    if (head.size() < FixedBlockBytes || !looksLike(head))
        return fail(QStringLiteral("not a SEG-2 file (no file descriptor block)"));
    littleEndian = qFromLittleEndian<quint16>(reinterpret_cast<const uchar *>(head.constData())) == FileBlockId;
    const Bytes h{reinterpret_cast<const uchar *>(head.constData()), littleEndian};
    revision = h.u16(2);
    const int pointerBytes = h.u16(4);
    const int count = h.u16(6);
    if (count * 4 > pointerBytes)
        return fail(
            QStringLiteral("%1 traces do not fit a trace pointer block of %2 bytes").arg(count).arg(pointerBytes));
    const QByteArray pointerBlock = file.read(pointerBytes);
    if (pointerBlock.size() < pointerBytes)
        return fail(QStringLiteral("the trace pointers run past the end of the file"));
    const Bytes pb{reinterpret_cast<const uchar *>(pointerBlock.constData()), littleEndian};
    QVector<quint32> pointers(count);
    quint32 firstBlock = quint32(qMin<qint64>(size, FixedBlockBytes + pointerBytes + MaxFileStringBytes));
    for (int i = 0; i < count; ++i) {
        pointers[i] = pb.u32(4 * i);
        if (qint64(pointers[i]) + FixedBlockBytes > size)
            return fail(QStringLiteral("the pointer of trace %1 (byte %2) lies past the end of the file (%3 bytes)")
                            .arg(i + 1)
                            .arg(pointers[i])
                            .arg(size));
        if (pointers[i] < quint32(FixedBlockBytes + pointerBytes))
            return fail(QStringLiteral("the pointer of trace %1 (byte %2) points into the file descriptor block")
                            .arg(i + 1)
                            .arg(pointers[i]));
        firstBlock = qMin(firstBlock, pointers[i]);
    }
    Strings fileStrings;
    QString why;
    const QByteArray stringBlock = file.read(firstBlock - (FixedBlockBytes + pointerBytes));
    if (!parseStrings(stringBlock, 0, littleEndian, &fileStrings, &why))
        return fail(QStringLiteral("file descriptor block: %1").arg(why));

    traces.resize(count);
    for (int i = 0; i < count; ++i) {
        Trace &t = traces[i];
        if (!file.seek(pointers[i]))
            return fail(file.errorString());
        QByteArray block = file.read(FixedBlockBytes);
        const Bytes tb{reinterpret_cast<const uchar *>(block.constData()), littleEndian};
        if (block.size() < FixedBlockBytes || tb.u16(0) != TraceBlockId)
            return fail(
                QStringLiteral("trace %1 has no trace descriptor block at byte %2").arg(i + 1).arg(pointers[i]));
        const int blockBytes = tb.u16(2);
        t.samples = int(qMin<quint32>(tb.u32(8), quint32(INT_MAX)));
        t.format = uchar(block.at(12));
        if (blockBytes < FixedBlockBytes || qint64(pointers[i]) + blockBytes > size)
            return fail(QStringLiteral("the descriptor block of trace %1 runs past the end of the file").arg(i + 1));
        block += file.read(blockBytes - FixedBlockBytes);
        t.dataAt = qint64(pointers[i]) + blockBytes;
        const qint64 need = dataBytes(t.format, t.samples);
        if (need < 0)
            return fail(QStringLiteral("trace %1 has data format code %2 (1 to 5 are known)").arg(i + 1).arg(t.format));
        if (t.dataAt + need > size)
            return fail(QStringLiteral("the samples of trace %1 run past the end of the file").arg(i + 1));

        Strings s;
        if (!parseStrings(block, FixedBlockBytes, littleEndian, &s, &why))
            return fail(QStringLiteral("trace %1: %2").arg(i + 1).arg(why));
        auto value = [&](const char *key) {
            const QByteArray k(key);
            return s.contains(k) ? numbers(s.value(k)) : numbers(fileStrings.value(k));
        };
        const QVector<double> channel = value("CHANNEL_NUMBER");
        t.channel = channel.isEmpty() ? i + 1 : qint32(qBound(-2147483648.0, channel.first(), 2147483647.0));
        const QVector<double> shot = value("SHOT_SEQUENCE_NUMBER");
        t.hasShotNumber = !shot.isEmpty();
        t.shotNumber = shot.isEmpty() ? 0 : qint32(qBound(-2147483648.0, shot.first(), 2147483647.0));
        const QVector<double> source = value("SOURCE_LOCATION"), receiver = value("RECEIVER_LOCATION");
        for (int k = 0; k < 3; ++k) {
            t.source[k] = k < source.size() ? source[k] : 0.0;
            t.receiver[k] = k < receiver.size() ? receiver[k] : 0.0;
        }
        const QVector<double> interval = value("SAMPLE_INTERVAL"), delay = value("DELAY");
        if (interval.isEmpty())
            return fail(QStringLiteral("trace %1 has no SAMPLE_INTERVAL").arg(i + 1));
        t.sampleIntervalMs = interval.first() * 1000.0;
        if (!(t.sampleIntervalMs > 0) || t.sampleIntervalMs > TraceLimits::MaxSampleIntervalMs)
            return fail(QStringLiteral("trace %1 has a sample interval of %2 s").arg(i + 1).arg(interval.first()));
        t.delayMs = delay.isEmpty() ? 0.0 : delay.first() * 1000.0;
    }
    return true;
}

bool Seg2File::readSamples(int i, float *out, int *replaced)
{
    const Trace &t = traces.at(i);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(t.dataAt))
        return fail(file.errorString());
    const qint64 need = dataBytes(t.format, t.samples);
    const QByteArray data = file.read(need);
    if (data.size() < need)
        return fail(QStringLiteral("the samples of trace %1 run past the end of the file").arg(i + 1));
    const Bytes b{reinterpret_cast<const uchar *>(data.constData()), littleEndian};
    for (int k = 0; k < t.samples; ++k) {
        double v = 0;
        switch (t.format) {
        case 1:
            v = qint16(b.u16(2 * k));
            break;
        case 2:
            v = qint32(b.u32(4 * k));
            break;
        case 3: {
            const int group = k / 4 * 10;
            const int exponent = (b.u16(group) >> (12 - 4 * (k % 4))) & 0xF;
            v = std::ldexp(double(qint16(b.u16(group + 2 + 2 * (k % 4)))), exponent);
            break;
        }
        case 4: {
            const quint32 w = b.u32(4 * k);
            float f;
            std::memcpy(&f, &w, 4);
            v = f;
            break;
        }
        case 5: {
            const quint64 w =
                littleEndian ? qFromLittleEndian<quint64>(b.p + 8 * k) : qFromBigEndian<quint64>(b.p + 8 * k);
            std::memcpy(&v, &w, 8);
            break;
        }
        }
        // Past the float range a sample is no more a number than NaN is.
        const bool finite = std::isfinite(v) && std::abs(v) <= std::numeric_limits<float>::max();
        out[k] = finite ? float(v) : 0.0f;
        *replaced += !finite;
    }
    return true;
}

Seg2Reader::Seg2Reader(const QString &path, const QHash<QString, qint32> &ffids, bool fileNumbers)
    : m_path(path), m_ffids(ffids), m_fileNumbers(fileNumbers)
{
    formatName = QStringLiteral("SEG-2");
}

bool Seg2Reader::fail(const QString &why)
{
    error = why;
    return false;
}

QString Seg2Reader::errorIn(const Seg2File &file) const
{
    // A folder's message names the file; a file's own name is said already.
    return QFileInfo(m_path).isDir() ? QStringLiteral("%1: %2").arg(QFileInfo(file.fileName).fileName(), file.error)
                                     : file.error;
}

bool Seg2Reader::index(const Progress &progress, Index *index)
{
    QStringList names;
    const QFileInfo info(m_path);
    if (info.isDir()) {
        QFileInfoList entries = QDir(m_path).entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
        std::stable_sort(entries.begin(), entries.end(), [](const QFileInfo &a, const QFileInfo &b) {
            const qint64 na = numberInName(a.fileName()), nb = numberInName(b.fileName());
            return (na < 0) != (nb < 0) ? na >= 0 : na < nb;
        });
        for (const QFileInfo &e : entries) {
            QFile f(e.absoluteFilePath());
            if (e.isFile() && f.open(QIODevice::ReadOnly) && Seg2File::looksLike(f.read(2)))
                names << e.absoluteFilePath();
            else
                index->warnings << QStringLiteral("%1 is not a SEG-2 file: skipped").arg(e.fileName());
        }
        if (names.isEmpty())
            return fail(QStringLiteral("the folder holds no SEG-2 file"));
    } else {
        names << m_path;
    }

    fileCount = names.size();
    Seg2File file;
    // What varies from trace to trace, said once: the data set's figures
    // are its first trace's.
    int fewest = INT_MAX, most = 0;
    double shortest = HUGE_VAL, longest = 0, earliest = HUGE_VAL, latest = -HUGE_VAL;
    for (int n = 0; n < names.size(); ++n) {
        if (!progress.report(n, names.size()))
            return fail(QStringLiteral("cancelled"));
        if (!file.parse(names[n]))
            return fail(errorIn(file));
        if (n == 0) {
            revision = file.revision;
            byteOrderName = file.littleEndian ? QStringLiteral("little-endian") : QStringLiteral("big-endian");
        }
        if (file.traces.isEmpty()) {
            index->warnings << QStringLiteral("%1 holds no trace").arg(QFileInfo(names[n]).fileName());
            continue;
        }
        const QString base = QFileInfo(names[n]).fileName();
        const qint64 inName = numberInName(base);
        m_files.append(FileEntry{names[n], index->keys.size()});
        for (int i = 0; i < file.traces.size(); ++i) {
            const Seg2File::Trace &t = file.traces[i];
            if (index->keys.isEmpty()) {
                index->samplesPerTrace = t.samples;
                index->sampleIntervalMs = t.sampleIntervalMs;
                index->firstSampleMs = t.delayMs;
                static const char *const formats[] = {"", "int16", "int32", "20-bit float", "float32", "float64"};
                sampleFormatName = QLatin1String(formats[t.format]);
            }
            fewest = qMin(fewest, t.samples);
            most = qMax(most, t.samples);
            shortest = qMin(shortest, t.sampleIntervalMs);
            longest = qMax(longest, t.sampleIntervalMs);
            earliest = qMin(earliest, t.delayMs);
            latest = qMax(latest, t.delayMs);
            TraceKey key;
            key.ffid = m_ffids.contains(base)         ? m_ffids.value(base)
                       : m_fileNumbers && inName >= 0 ? qint32(inName)
                       : t.hasShotNumber              ? t.shotNumber
                       : inName >= 0                  ? qint32(inName)
                                                      : n + 1;
            key.channel = t.channel;
            key.sourceX = t.source[0];
            key.sourceY = t.source[1];
            key.receiverX = t.receiver[0];
            key.receiverY = t.receiver[1];
            index->add(key, i == 0);
        }
    }
    if (index->keys.isEmpty())
        return fail(QStringLiteral("no SEG-2 file holds a trace"));
    if (fewest != most)
        index->warnings << QStringLiteral("traces hold %1 to %2 samples").arg(fewest).arg(most);
    if (shortest != longest)
        index->warnings << QStringLiteral("sample intervals run from %1 to %2 ms").arg(shortest).arg(longest);
    if (earliest != latest)
        index->warnings << QStringLiteral("the first samples lie from %1 to %2 ms").arg(earliest).arg(latest);
    progress.report(names.size(), names.size());
    return true;
}

bool Seg2Reader::readShot(const TraceShot &shot, ShotGather *g, QString *error) const
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const auto it = std::upper_bound(m_files.cbegin(), m_files.cend(), shot.firstTrace,
                                     [](qint64 trace, const FileEntry &f) { return trace < f.firstTrace; });
    if (it == m_files.cbegin())
        return fail(QStringLiteral("no file holds shot %1").arg(shot.ffid));
    const FileEntry &entry = *(it - 1);
    Seg2File file;
    if (!file.parse(entry.path))
        return fail(errorIn(file));
    const int first = int(shot.firstTrace - entry.firstTrace);
    if (first + shot.traceCount > file.traces.size())
        return fail(QStringLiteral("%1 has changed since it was opened").arg(QFileInfo(entry.path).fileName()));

    int samples = 0;
    const Seg2File::Trace &t0 = file.traces[first];
    for (int t = 0; t < shot.traceCount; ++t) {
        const Seg2File::Trace &t1 = file.traces[first + t];
        if (std::abs(t1.sampleIntervalMs - t0.sampleIntervalMs) > 1e-9 * t0.sampleIntervalMs)
            return fail(QStringLiteral("the traces of shot %1 differ in sample interval").arg(shot.ffid));
        samples = qMax(samples, t1.samples);
    }
    if (qint64(samples) * shot.traceCount > TraceLimits::MaxGatherSamples)
        return fail(QStringLiteral("shot %1 is too large to hold (%2 traces of %3 samples)")
                        .arg(shot.ffid)
                        .arg(shot.traceCount)
                        .arg(samples));
    g->ffid = shot.ffid;
    g->sampleIntervalMs = t0.sampleIntervalMs;
    g->firstSampleMs = t0.delayMs;
    g->samplesPerTrace = samples;
    g->replacedSamples = 0;
    g->headers.resize(shot.traceCount);
    g->samples.fill(0.0f, shot.traceCount * samples);
    for (int t = 0; t < shot.traceCount; ++t) {
        const Seg2File::Trace &s = file.traces[first + t];
        TraceHeader &h = g->headers[t];
        h.ffid = shot.ffid;
        h.channel = s.channel;
        h.sourceX = s.source[0];
        h.sourceY = s.source[1];
        h.sourceZ = s.source[2];
        h.receiverX = s.receiver[0];
        h.receiverY = s.receiver[1];
        h.receiverZ = s.receiver[2];
        const double dx = s.receiver[0] - s.source[0], dy = s.receiver[1] - s.source[1];
        h.offset = std::copysign(std::hypot(dx, dy), dx != 0 ? dx : dy);
        h.traceIndex = shot.firstTrace + t;
        if (!file.readSamples(first + t, g->trace(t), &g->replacedSamples))
            return fail(errorIn(file));
    }
    return true;
}

} // namespace FbTrace

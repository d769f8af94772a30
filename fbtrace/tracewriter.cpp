#include <fbtrace/tracewriter.h>

#include <QByteArray>
#include <QFileInfo>
#include <QtEndian>

#include <cmath>
#include <cstring>

namespace FbTrace {

namespace {

constexpr int TextBytes = 3200;
constexpr int BinaryBytes = 400;
constexpr int TraceHeaderBytes = 240;
constexpr int IeeeFloatCode = 5;
constexpr int CoordinateScalar = -100; // coordinates written in cm
// The trace pointers' block size is a 16-bit count of bytes.
constexpr int MaxSeg2Traces = 0xFFFF / 4;

// The EBCDIC code of the characters a textual header needs; others blank.
uchar ebcdic(char c)
{
    if (c >= 'a' && c <= 'z')
        c = char(c - 'a' + 'A');
    if (c >= 'A' && c <= 'I')
        return uchar(0xC1 + (c - 'A'));
    if (c >= 'J' && c <= 'R')
        return uchar(0xD1 + (c - 'J'));
    if (c >= 'S' && c <= 'Z')
        return uchar(0xE2 + (c - 'S'));
    if (c >= '0' && c <= '9')
        return uchar(0xF0 + (c - '0'));
    switch (c) {
    case '.':
        return 0x4B;
    case ',':
        return 0x6B;
    case ':':
        return 0x7A;
    case '-':
        return 0x60;
    case '/':
        return 0x61;
    case '=':
        return 0x7E;
    default:
        return 0x40;
    }
}

void put16(char *p, int at, qint32 v)
{
    qToBigEndian<qint16>(qint16(v), p + at - 1);
}
void put32(char *p, int at, qint32 v)
{
    qToBigEndian<qint32>(v, p + at - 1);
}

qint32 rounded(double v)
{
    return std::isfinite(v) ? qint32(qBound(-2147483648.0, std::round(v), 2147483647.0)) : 0;
}

} // namespace

bool SegyWriter::fail(const QString &why)
{
    m_error = QStringLiteral("cannot write %1: %2").arg(m_file.fileName(), why);
    return false;
}

bool SegyWriter::open(const QString &fileName, int samples, double intervalMs, int tracesPerShot, const QString &text)
{
    m_file.setFileName(fileName);
    m_samples = samples;
    m_intervalMs = intervalMs;
    m_written = 0;
    const QFileInfo target(fileName);
    if (target.exists() && !target.isFile())
        return fail(QStringLiteral("not a regular file"));
    if (samples < 1 || samples > 0xFFFF || !(intervalMs > 0) || intervalMs * 1000 > 0xFFFF)
        return fail(QStringLiteral("%1 samples at %2 ms do not fit a SEG-Y header").arg(samples).arg(intervalMs));
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(m_file.errorString());

    char head[TextBytes + BinaryBytes] = {};
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int line = 0; line < 40; ++line) {
        const QByteArray card =
            QStringLiteral("C%1 %2").arg(line + 1, 2).arg(lines.value(line)).toLatin1().leftJustified(80, ' ', true);
        for (int i = 0; i < 80; ++i)
            head[line * 80 + i] = char(ebcdic(card.at(i)));
    }
    char *b = head; // positions below count from the file's start
    put16(b, 3213, tracesPerShot);
    put16(b, 3217, qint32(std::lround(intervalMs * 1000)));
    put16(b, 3221, samples);
    put16(b, 3225, IeeeFloatCode);
    put16(b, 3227, tracesPerShot);
    put16(b, 3229, 1);      // as recorded
    put16(b, 3255, 1);      // metres
    put16(b, 3501, 0x0100); // revision 1
    put16(b, 3503, 1);      // fixed-length traces
    if (m_file.write(head, sizeof head) != qint64(sizeof head))
        return fail(m_file.errorString());
    return true;
}

bool SegyWriter::write(const ShotGather &g)
{
    if (g.samplesPerTrace != m_samples)
        return fail(
            QStringLiteral("a gather of %1 samples a trace in a file of %2").arg(g.samplesPerTrace).arg(m_samples));
    QByteArray bytes(g.traceCount() * (TraceHeaderBytes + 4 * m_samples), '\0');
    char *p = bytes.data();
    for (int t = 0; t < g.traceCount(); ++t) {
        const TraceHeader &h = g.headers[t];
        ++m_written;
        put32(p, 1, qint32(m_written));
        put32(p, 5, qint32(m_written));
        put32(p, 9, h.ffid);
        put32(p, 13, h.channel);
        put16(p, 29, 1); // seismic data
        put32(p, 37, rounded(h.offset));
        put32(p, 41, rounded(h.receiverZ));
        put32(p, 45, rounded(h.sourceZ));
        put16(p, 69, 1);
        put16(p, 71, CoordinateScalar);
        put32(p, 73, rounded(h.sourceX * 100));
        put32(p, 77, rounded(h.sourceY * 100));
        put32(p, 81, rounded(h.receiverX * 100));
        put32(p, 85, rounded(h.receiverY * 100));
        put16(p, 89, 1); // length
        put16(p, 109, rounded(g.firstSampleMs));
        put16(p, 115, m_samples);
        put16(p, 117, qint32(std::lround(m_intervalMs * 1000)));
        p += TraceHeaderBytes;
        const float *s = g.trace(t);
        for (int i = 0; i < m_samples; ++i, p += 4) {
            quint32 w;
            std::memcpy(&w, s + i, 4);
            qToBigEndian<quint32>(w, p);
        }
    }
    if (m_file.write(bytes) != bytes.size())
        return fail(m_file.errorString());
    return true;
}

bool SegyWriter::close()
{
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        return fail(m_file.errorString());
    return true;
}

namespace {

// A descriptor string: its length (itself included), the text, a NUL.
void appendString(QByteArray *block, const QString &text)
{
    const QByteArray t = text.toLatin1();
    char length[2];
    qToLittleEndian<quint16>(quint16(t.size() + 3), length);
    block->append(length, 2).append(t).append('\0');
}

void padTo4(QByteArray *block)
{
    while (block->size() % 4)
        block->append('\0');
}

QString number(double v)
{
    return QString::number(v, 'g', 12);
}

} // namespace

bool writeSeg2File(const QString &fileName, const ShotGather &g, QString *error)
{
    const int n = g.traceCount();
    if (n > MaxSeg2Traces) {
        *error =
            QStringLiteral("cannot write %1: a SEG-2 file holds at most %2 traces").arg(fileName).arg(MaxSeg2Traces);
        return false;
    }
    QByteArray fileBlock(32, '\0');
    char *f = fileBlock.data();
    qToLittleEndian<quint16>(0x3A55, f);
    qToLittleEndian<quint16>(1, f + 2);
    qToLittleEndian<quint16>(quint16(4 * n), f + 4);
    qToLittleEndian<quint16>(quint16(n), f + 6);
    f[8] = 1;  // string terminator: one NUL
    f[11] = 1; // line terminator: one LF
    f[12] = '\n';
    QByteArray strings;
    appendString(&strings, QStringLiteral("NOTE synthetic shot record"));
    strings.append(2, '\0');
    const int pointersAt = fileBlock.size();
    fileBlock.append(QByteArray(4 * n, '\0')).append(strings);
    padTo4(&fileBlock);

    QByteArray body;
    for (int t = 0; t < n; ++t) {
        const TraceHeader &h = g.headers[t];
        qToLittleEndian<quint32>(quint32(fileBlock.size() + body.size()), fileBlock.data() + pointersAt + 4 * t);
        QByteArray text;
        appendString(&text, QStringLiteral("CHANNEL_NUMBER %1").arg(h.channel));
        appendString(&text, QStringLiteral("DELAY %1").arg(number(g.firstSampleMs / 1000.0)));
        appendString(&text, QStringLiteral("RECEIVER_LOCATION %1 %2 %3")
                                .arg(number(h.receiverX), number(h.receiverY), number(h.receiverZ)));
        appendString(&text, QStringLiteral("SAMPLE_INTERVAL %1").arg(number(g.sampleIntervalMs / 1000.0)));
        appendString(&text, QStringLiteral("SHOT_SEQUENCE_NUMBER %1").arg(h.ffid));
        appendString(
            &text,
            QStringLiteral("SOURCE_LOCATION %1 %2 %3").arg(number(h.sourceX), number(h.sourceY), number(h.sourceZ)));
        text.append(2, '\0');
        QByteArray block(32, '\0');
        block += text;
        padTo4(&block);
        char *b = block.data();
        qToLittleEndian<quint16>(0x4422, b);
        qToLittleEndian<quint16>(quint16(block.size()), b + 2);
        qToLittleEndian<quint32>(quint32(4 * g.samplesPerTrace), b + 4);
        qToLittleEndian<quint32>(quint32(g.samplesPerTrace), b + 8);
        b[12] = 4; // float32
        body += block;
        const float *s = g.trace(t);
        for (int i = 0; i < g.samplesPerTrace; ++i) {
            char w[4];
            quint32 bits;
            std::memcpy(&bits, s + i, 4);
            qToLittleEndian<quint32>(bits, w);
            body.append(w, 4);
        }
    }
    QFile file(fileName);
    const QFileInfo target(fileName);
    if ((target.exists() && !target.isFile()) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(fileBlock) != fileBlock.size() || file.write(body) != body.size()) {
        *error = QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

} // namespace FbTrace

#include <fbtrace/segyreader.h>

#include <segyio/segy.h>

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && Q_BYTE_ORDER == Q_LITTLE_ENDIAN
#include <immintrin.h>
#define FBTRACE_WIDE_SWAP 1
#endif
#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

using namespace FbFile;

namespace FbTrace {

namespace {

// n samples of type T (native order) as floats; those that are no finite
// number read as 0 and are counted. The format is chosen once a trace, not
// once a sample.
template<typename T>
int toSamples(const char *raw, int n, float *out)
{
    int replaced = 0;
    for (int i = 0; i < n; ++i) {
        T x;
        std::memcpy(&x, raw + sizeof(T) * size_t(i), sizeof(T));
        float v = float(x);
        if (!std::isfinite(v)) {
            v = 0;
            ++replaced;
        }
        out[i] = v;
    }
    return replaced;
}

#if defined(FBTRACE_WIDE_SWAP)
// bigEndianFloats' pass eight samples a step, for processors with 256-bit
// vectors: the bytes of each word reversed by one shuffle. Runs while eight
// are left; returns where it stopped and adds what it replaced.
__attribute__((target("avx2"))) int wideBigEndianFloats(const char *raw, int n, float *out, int *replaced)
{
    const __m256i reverse = _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12, 3, 2, 1, 0, 7, 6, 5,
                                             4, 11, 10, 9, 8, 15, 14, 13, 12);
    const __m256i exponent = _mm256_set1_epi32(0x7F800000);
    __m256i bad = _mm256_setzero_si256(); // minus the count of each lane
    int i = 0;
    for (; i + 7 < n; i += 8) {
        const __m256i v =
            _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(raw + 4 * size_t(i))), reverse);
        const __m256i nonFinite = _mm256_cmpeq_epi32(_mm256_and_si256(v, exponent), exponent);
        bad = _mm256_add_epi32(bad, nonFinite);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + i), _mm256_andnot_si256(nonFinite, v));
    }
    qint32 lanes[8];
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(lanes), bad);
    for (qint32 lane : lanes)
        *replaced -= lane;
    return i;
}

bool hasWideVectors()
{
    static const bool wide = __builtin_cpu_supports("avx2");
    return wide;
}
#endif

// n IEEE floats in big-endian order as native floats, those that are no
// finite number as 0 (counted): the byte swap and the check in one pass over
// the samples, four at a time, on the exponent's bits alone.
int bigEndianFloats(const char *raw, int n, float *out)
{
    int replaced = 0, i = 0;
#if defined(FBTRACE_WIDE_SWAP)
    if (hasWideVectors())
        i = wideBigEndianFloats(raw, n, out, &replaced);
#endif
#if defined(__SSE2__) && Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    const __m128i exponent = _mm_set1_epi32(0x7F800000);
    __m128i bad = _mm_setzero_si128(); // minus the count of each lane
    for (; i + 3 < n; i += 4) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(raw + 4 * size_t(i)));
        v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
        v = _mm_or_si128(_mm_slli_epi32(v, 16), _mm_srli_epi32(v, 16));
        const __m128i nonFinite = _mm_cmpeq_epi32(_mm_and_si128(v, exponent), exponent);
        bad = _mm_add_epi32(bad, nonFinite);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_andnot_si128(nonFinite, v));
    }
    qint32 lanes[4];
    _mm_storeu_si128(reinterpret_cast<__m128i *>(lanes), bad);
    replaced -= lanes[0] + lanes[1] + lanes[2] + lanes[3];
#endif
    for (; i < n; ++i) {
        const float v = qFromBigEndian<float>(raw + 4 * size_t(i));
        out[i] = std::isfinite(v) ? v : 0.0f;
        replaced += std::isfinite(v) ? 0 : 1;
    }
    return replaced;
}

constexpr int TextBytes = SEGY_TEXT_HEADER_SIZE;
constexpr int HeadBytes = SEGY_TEXT_HEADER_SIZE + SEGY_BINARY_HEADER_SIZE;
constexpr int TraceHeaderBytes = SEGY_TRACE_HEADER_SIZE;
// A shot is read in runs of whole traces of up to this many bytes.
constexpr qint64 ReadRunBytes = 512 * 1024;
// Files of this many traces or more are indexed on up to MaxIndexThreads
// (fewer when the caller asks for fewer).
constexpr qint64 ParallelIndexTraces = 65536;
constexpr unsigned MaxIndexThreads = 4;
// 0-based positions in the file of binary header words segyio does not name.
constexpr int FormatAt = 3224;
constexpr int ByteOrderAt = 3296;   // rev. 2: 0x01020304 in the file's order
constexpr int ExtSamplesAt = 3268;  // rev. 2: 32-bit samples per trace
constexpr int ExtIntervalAt = 3272; // rev. 2: IEEE double, microseconds
constexpr int RevisionAt = 3500;
constexpr int ExtraTraceHeadersAt = 3506; // rev. 2: additional 240-byte headers
constexpr quint32 ByteOrderWord = 0x01020304;

bool isKnownCode(int code)
{
    // Every code some revision defines, supported or not, so that a file
    // in a format we cannot read is still named SEG-Y.
    return (code >= 1 && code <= 12) || code == 15 || code == 16;
}

bool isSupportedCode(int code)
{
    return code == SEGY_IBM_FLOAT_4_BYTE || code == SEGY_SIGNED_INTEGER_4_BYTE || code == SEGY_SIGNED_SHORT_2_BYTE ||
           code == SEGY_IEEE_FLOAT_4_BYTE || code == SEGY_SIGNED_CHAR_1_BYTE;
}

QString codeName(int code)
{
    switch (code) {
    case SEGY_IBM_FLOAT_4_BYTE:
        return QStringLiteral("IBM float");
    case SEGY_SIGNED_INTEGER_4_BYTE:
        return QStringLiteral("int32");
    case SEGY_SIGNED_SHORT_2_BYTE:
        return QStringLiteral("int16");
    case SEGY_IEEE_FLOAT_4_BYTE:
        return QStringLiteral("IEEE float");
    case SEGY_SIGNED_CHAR_1_BYTE:
        return QStringLiteral("int8");
    default:
        return QStringLiteral("code %1").arg(code);
    }
}

// Little-endian when the byte-order word says so, else when only the
// little-endian reading of the format code is one SEG-Y knows.
bool isLittleEndian(const QByteArray &head)
{
    const uchar *p = reinterpret_cast<const uchar *>(head.constData());
    if (qFromBigEndian<quint32>(p + ByteOrderAt) == ByteOrderWord)
        return false;
    if (qFromLittleEndian<quint32>(p + ByteOrderAt) == ByteOrderWord)
        return true;
    return !isKnownCode(qFromBigEndian<qint16>(p + FormatAt)) && isKnownCode(qFromLittleEndian<qint16>(p + FormatAt));
}

// Which alphabet the textual header is written in: EBCDIC letters, digits
// and blanks against printable ASCII.
QString textEncoding(const QByteArray &head)
{
    int ebcdic = 0, ascii = 0;
    for (int i = 0; i < TextBytes; ++i) {
        const uchar c = uchar(head.at(i));
        ebcdic += c == 0x40 || (c >= 0xC1 && c <= 0xC9) || (c >= 0xD1 && c <= 0xD9) || (c >= 0xE2 && c <= 0xE9) ||
                  (c >= 0xF0 && c <= 0xF9);
        ascii += c >= 0x20 && c < 0x7F;
    }
    return ebcdic > ascii ? QStringLiteral("EBCDIC") : QStringLiteral("ASCII");
}

qint32 field(const char *header, int byte)
{
    int32_t v = 0;
    segy_get_field(header, byte, &v);
    return v;
}

// The standard 4- and 2-byte words read straight from a header segyio has
// put in big-endian order: the index reads a handful per trace, and the
// field table's lookup would cost more than the read of the header itself.
qint32 word32(const char *header, int byte)
{
    return qFromBigEndian<qint32>(header + byte - 1);
}

qint32 word16(const char *header, int byte)
{
    return qFromBigEndian<qint16>(header + byte - 1);
}

// A header scalar: positive multiplies, negative divides, 0 is 1.
double scaled(qint32 value, qint32 scalar)
{
    if (scalar > 0)
        return double(value) * scalar;
    if (scalar < 0)
        return double(value) / -double(scalar);
    return value;
}

void readKey(const char *h, int ffidByte, int channelByte, TraceKey *key)
{
    key->ffid = ffidByte == SEGY_TR_FIELD_RECORD ? word32(h, ffidByte) : field(h, ffidByte);
    key->channel = channelByte == SEGY_TR_NUMBER_ORIG_FIELD ? word32(h, channelByte) : field(h, channelByte);
    const qint32 s = word16(h, SEGY_TR_SOURCE_GROUP_SCALAR);
    key->sourceX = scaled(word32(h, SEGY_TR_SOURCE_X), s);
    key->sourceY = scaled(word32(h, SEGY_TR_SOURCE_Y), s);
    key->receiverX = scaled(word32(h, SEGY_TR_GROUP_X), s);
    key->receiverY = scaled(word32(h, SEGY_TR_GROUP_Y), s);
}

// The delay recording time in ms, with the time scalar where one is set.
double delayMs(const char *h)
{
    return scaled(word16(h, SEGY_TR_DELAY_REC_TIME), word16(h, SEGY_TR_SCALAR_TRACE_HEADER));
}

} // namespace

SegyReader::SegyReader(const QString &fileName, int ffidByte, int channelByte, int threads)
    : m_fileName(fileName), m_ffidByte(ffidByte), m_channelByte(channelByte), m_threads(threads)
{
    formatName = QStringLiteral("SEG-Y");
}

SegyReader::~SegyReader()
{
    if (m_file)
        segy_close(m_file);
}

bool SegyReader::looksLike(const QByteArray &head)
{
    if (head.size() < HeadBytes)
        return false;
    const uchar *p = reinterpret_cast<const uchar *>(head.constData());
    return isKnownCode(qFromBigEndian<qint16>(p + FormatAt)) || isKnownCode(qFromLittleEndian<qint16>(p + FormatAt));
}

bool SegyReader::fail(const QString &why)
{
    error = why;
    return false;
}

bool SegyReader::open(const QByteArray &head)
{
    const uchar *p = reinterpret_cast<const uchar *>(head.constData());
    const bool lsb = m_lsb = isLittleEndian(head);
    byteOrderName = lsb ? QStringLiteral("little-endian") : QStringLiteral("big-endian");
    textEncoding = FbTrace::textEncoding(head);
    auto word16 = [&](int at) { return lsb ? qFromLittleEndian<quint16>(p + at) : qFromBigEndian<quint16>(p + at); };
    auto word32 = [&](int at) { return lsb ? qFromLittleEndian<quint32>(p + at) : qFromBigEndian<quint32>(p + at); };

    m_format = qint16(word16(FormatAt));
    sampleFormatName = codeName(m_format);
    // Rev. 1 writes 0x0100; rev. 2 a major and a minor byte.
    const int rev = word16(RevisionAt);
    revision = rev >= 0x100 ? rev >> 8 : rev;
    if (!isSupportedCode(m_format))
        return fail(QStringLiteral("sample format code %1 is not supported (IBM float, IEEE float, int32, int16 "
                                   "and int8 are)")
                        .arg(m_format));
    if (revision >= 2 && word16(ExtraTraceHeadersAt) != 0)
        return fail(QStringLiteral("traces with additional trace headers are not supported"));

    const QByteArray name = QFile::encodeName(m_fileName);
    m_file = segy_open(name.constData(), "rb");
    if (!m_file)
        return fail(QStringLiteral("cannot open the file"));
    if (segy_set_format(m_file, m_format | (lsb ? SEGY_LSB : 0)) != SEGY_OK)
        return fail(QStringLiteral("segyio cannot read sample format %1").arg(m_format));
    char bin[SEGY_BINARY_HEADER_SIZE];
    if (segy_binheader(m_file, bin) != SEGY_OK)
        return fail(QStringLiteral("cannot read the binary header"));

    m_samples = segy_samples(bin) & 0xFFFF;
    if (m_samples == 0 && revision >= 2)
        m_samples = int(qMin<quint32>(word32(ExtSamplesAt), quint32(INT_MAX)));
    int32_t interval = 0;
    segy_get_bfield(bin, SEGY_BIN_INTERVAL, &interval);
    m_intervalMs = (interval & 0xFFFF) / 1000.0;
    if (m_intervalMs == 0 && revision >= 2) {
        const quint64 bits =
            lsb ? qFromLittleEndian<quint64>(p + ExtIntervalAt) : qFromBigEndian<quint64>(p + ExtIntervalAt);
        double us = 0;
        std::memcpy(&us, &bits, sizeof us);
        m_intervalMs = std::isfinite(us) ? us / 1000.0 : 0.0;
    }
    int32_t extended = 0;
    segy_get_bfield(bin, SEGY_BIN_EXT_HEADERS, &extended);
    if (qint16(extended) < 0)
        return fail(QStringLiteral("a variable number of extended textual headers is not supported"));
    m_trace0 = segy_trace0(bin);

    // The first trace header stands in for a binary header left blank.
    char first[TraceHeaderBytes] = {};
    const qint64 size = QFileInfo(m_fileName).size();
    const bool haveTrace = size >= m_trace0 + TraceHeaderBytes;
    if (haveTrace && segy_traceheader(m_file, 0, first, m_trace0, 0) != SEGY_OK)
        return fail(QStringLiteral("cannot read the first trace header"));
    if (m_samples == 0 && haveTrace)
        m_samples = field(first, SEGY_TR_SAMPLE_COUNT) & 0xFFFF;
    if (m_intervalMs == 0 && haveTrace)
        m_intervalMs = (field(first, SEGY_TR_SAMPLE_INTER) & 0xFFFF) / 1000.0;
    if (m_samples <= 0)
        return fail(QStringLiteral("the traces hold no samples (0 in the binary and the first trace header)"));
    if (!(m_intervalMs > 0))
        return fail(QStringLiteral("no sample interval (0 in the binary and the first trace header)"));
    if (m_intervalMs > TraceLimits::MaxSampleIntervalMs)
        return fail(QStringLiteral("the sample interval of %1 ms is beyond any recording").arg(m_intervalMs));
    const qint64 traceBytes = qint64(m_samples) * segy_trsize(m_format, 1);
    if (traceBytes > INT_MAX - TraceHeaderBytes)
        return fail(QStringLiteral("%1 samples a trace is more than a trace can hold").arg(m_samples));
    m_traceBytes = int(traceBytes);

    int32_t value = 0;
    if (segy_get_field(first, m_ffidByte, &value) != SEGY_OK)
        return fail(QStringLiteral("byte %1 (ffid) starts no trace header field").arg(m_ffidByte));
    if (segy_get_field(first, m_channelByte, &value) != SEGY_OK)
        return fail(QStringLiteral("byte %1 (channel) starts no trace header field").arg(m_channelByte));
    return true;
}

bool SegyReader::index(const Progress &progress, Index *index)
{
    const qint64 size = QFileInfo(m_fileName).size();
    const qint64 stride = TraceHeaderBytes + qint64(m_traceBytes);
    const qint64 body = qMax<qint64>(0, size - m_trace0);
    m_traces = body / stride;
    if (m_traces > INT_MAX)
        return fail(QStringLiteral("%1 traces are more than a data set can number").arg(m_traces));
    if (body % stride != 0)
        index->warnings << QStringLiteral("the last trace is cut short (%1 of its %2 bytes): it is left out")
                               .arg(body % stride)
                               .arg(stride);
    if (m_traces == 0)
        return fail(QStringLiteral("the file holds no complete trace"));

    index->keys.reserve(int(m_traces));
    index->samplesPerTrace = m_samples;
    index->sampleIntervalMs = m_intervalMs;
    // A big-endian file's headers are read as they lie, 240 bytes at their
    // place in one call each, not a seek and a buffer's worth of samples.
    QFile headers(m_fileName);
    if (!m_lsb && !headers.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(QStringLiteral("cannot open the file again"));
    auto readHeader = [&](qint64 i, char *h) {
        if (m_lsb)
            return segy_traceheader(m_file, int(i), h, m_trace0, m_traceBytes) == SEGY_OK;
        const qint64 at = m_trace0 + i * stride;
#if defined(Q_OS_UNIX)
        return ::pread(headers.handle(), h, TraceHeaderBytes, off_t(at)) == TraceHeaderBytes;
#else
        return headers.seek(at) && headers.read(h, TraceHeaderBytes) == TraceHeaderBytes;
#endif
    };
    // The headers of [first, end): their keys and the range of their
    // delays, up to the first that cannot be read or taken.
    struct Run
    {
        QVector<TraceKey> keys;
        double first = 0, earliest = 0, latest = 0; // delays
        QString error;                              // set where the run stopped short
    };
    std::atomic<bool> stop{false};
    auto scan = [&](qint64 first, qint64 end, Run *run, bool reporting) {
        run->keys.reserve(int(end - first));
        char h[TraceHeaderBytes];
        for (qint64 i = first; i < end; ++i) {
            if ((i - first) % TraceLimits::ProgressStride == 0 &&
                (stop || (reporting && !progress.report(i - first, end - first)))) {
                run->error = QStringLiteral("cancelled");
                return;
            }
            if (!readHeader(i, h)) {
                run->error = QStringLiteral("cannot read the header of trace %1").arg(i + 1);
                return;
            }
            const int samples = word16(h, SEGY_TR_SAMPLE_COUNT) & 0xFFFF;
            // 0 leaves the count to the binary header; 16 bits cannot hold a
            // rev. 2 extended count.
            if (samples != 0 && samples != m_samples && m_samples <= 0xFFFF) {
                run->error = QStringLiteral("trace %1 holds %2 samples where the file's traces hold %3: traces of "
                                            "changing length cannot be read from a fixed-length file")
                                 .arg(i + 1)
                                 .arg(samples)
                                 .arg(m_samples);
                return;
            }
            const double delay = delayMs(h);
            if (i == first)
                run->first = run->earliest = run->latest = delay;
            run->earliest = qMin(run->earliest, delay);
            run->latest = qMax(run->latest, delay);
            TraceKey key;
            readKey(h, m_ffidByte, m_channelByte, &key);
            run->keys.append(key);
        }
    };
    // A large file's headers are read in parts at once: each header is a
    // call of its own, and nothing else can start before the index is done.
    // Progress follows the first part; the first trace that fails is the
    // one named.
#if defined(Q_OS_UNIX)
    // pread() leaves the handle's position alone: the threads may share it.
    const unsigned threads = m_threads > 0 ? unsigned(m_threads) : std::thread::hardware_concurrency();
    const int parts = !m_lsb && m_traces >= ParallelIndexTraces ? int(std::clamp(threads, 1u, MaxIndexThreads)) : 1;
#else
    const int parts = 1;
#endif
    auto bound = [&](int part) { return m_traces * part / parts; };
    std::vector<Run> runs(static_cast<size_t>(parts));
    std::vector<std::thread> helpers;
    for (int part = 1; part < parts; ++part)
        helpers.emplace_back([&, part] { scan(bound(part), bound(part + 1), &runs[size_t(part)], false); });
    scan(0, bound(1), &runs[0], true);
    if (!runs[0].error.isEmpty())
        stop = true;
    for (std::thread &helper : helpers)
        helper.join();
    double earliest = runs[0].earliest, latest = runs[0].latest;
    index->firstSampleMs = runs[0].first;
    for (const Run &run : runs) {
        if (!run.error.isEmpty())
            return fail(run.error);
        for (const TraceKey &key : run.keys)
            index->add(key);
        if (!run.keys.isEmpty()) {
            earliest = qMin(earliest, run.earliest);
            latest = qMax(latest, run.latest);
        }
    }
    // A gather's traces share its first trace's time base.
    if (earliest != latest)
        index->warnings << QStringLiteral("the first samples lie from %1 to %2 ms; a shot takes its first trace's")
                               .arg(earliest)
                               .arg(latest);
    progress.report(m_traces, m_traces);
    // Shots are read through handles of their own.
    segy_close(m_file);
    m_file = nullptr;
    return true;
}

bool SegyReader::readShot(const TraceShot &shot, ShotGather *g, QString *error) const
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (qint64(shot.traceCount) * m_samples > TraceLimits::MaxGatherSamples)
        return fail(QStringLiteral("shot %1 is too large to hold (%2 traces of %3 samples)")
                        .arg(shot.ffid)
                        .arg(shot.traceCount)
                        .arg(m_samples));
    g->ffid = shot.ffid;
    g->sampleIntervalMs = m_intervalMs;
    g->samplesPerTrace = m_samples;
    g->replacedSamples = 0;
    g->headers.resize(shot.traceCount);
    g->samples.resize(shot.traceCount * m_samples);
    // One trace from its header (big-endian words) and its samples in the
    // file's order, converted in place.
    auto decode = [&](int t, const char *h, char *raw, bool bigEndian) {
        if (t == 0)
            g->firstSampleMs = delayMs(h);
        TraceKey key;
        readKey(h, m_ffidByte, m_channelByte, &key);
        TraceHeader &th = g->headers[t];
        th.ffid = key.ffid;
        th.channel = key.channel;
        th.sourceX = key.sourceX;
        th.sourceY = key.sourceY;
        th.receiverX = key.receiverX;
        th.receiverY = key.receiverY;
        const qint32 e = qint16(field(h, SEGY_TR_ELEV_SCALAR));
        th.receiverZ = scaled(field(h, SEGY_TR_RECV_GROUP_ELEV), e);
        th.sourceZ = scaled(field(h, SEGY_TR_SOURCE_SURF_ELEV), e);
        th.offset = field(h, SEGY_TR_OFFSET);
        th.traceIndex = shot.firstTrace + t;
        float *out = g->trace(t);
        if (bigEndian && m_format == SEGY_IEEE_FLOAT_4_BYTE) {
            g->replacedSamples += bigEndianFloats(raw, m_samples, out);
            return;
        }
        // IBM words past the float range come out infinite, and an IEEE
        // file may hold NaN: both read as 0.
        segy_to_native(m_format, m_samples, raw);
        switch (m_format) {
        case SEGY_SIGNED_INTEGER_4_BYTE:
            g->replacedSamples += toSamples<qint32>(raw, m_samples, out);
            break;
        case SEGY_SIGNED_SHORT_2_BYTE:
            g->replacedSamples += toSamples<qint16>(raw, m_samples, out);
            break;
        case SEGY_SIGNED_CHAR_1_BYTE:
            g->replacedSamples += toSamples<qint8>(raw, m_samples, out);
            break;
        default:
            g->replacedSamples += toSamples<float>(raw, m_samples, out);
            break;
        }
    };

    if (!m_lsb) {
        // A big-endian file's traces lie one after another as they are
        // used: read in a few large runs of whole traces, not two calls a
        // trace, each of which copied the file's bytes once more.
        QFile file(m_fileName);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return fail(QStringLiteral("cannot open the file again"));
        const qint64 stride = qint64(TraceHeaderBytes) + m_traceBytes;
        const int perRun = int(std::max<qint64>(1, ReadRunBytes / stride));
        thread_local std::vector<char> run;
        run.resize(size_t(std::min<qint64>(perRun, shot.traceCount) * stride));
        for (int t0 = 0; t0 < shot.traceCount; t0 += perRun) {
            const int n = std::min(perRun, shot.traceCount - t0);
            const qint64 first = shot.firstTrace + t0;
            if (!file.seek(m_trace0 + first * stride) || file.read(run.data(), n * stride) != n * stride)
                return fail(QStringLiteral("cannot read traces %1 to %2").arg(first + 1).arg(first + n));
            for (int k = 0; k < n; ++k) {
                char *h = run.data() + k * stride;
                decode(t0 + k, h, h + TraceHeaderBytes, true);
            }
        }
        return true;
    }

    // segyio hands a little-endian file's headers over in big-endian order.
    const std::unique_ptr<segy_file, int (*)(segy_file *)> file(
        segy_open(QFile::encodeName(m_fileName).constData(), "rb"), segy_close);
    if (!file || segy_set_format(file.get(), m_format | SEGY_LSB) != SEGY_OK)
        return fail(QStringLiteral("cannot open the file again"));
    QByteArray buffer(m_traceBytes, Qt::Uninitialized);
    char h[TraceHeaderBytes];
    for (int t = 0; t < shot.traceCount; ++t) {
        const qint64 trace = shot.firstTrace + t;
        if (segy_traceheader(file.get(), int(trace), h, m_trace0, m_traceBytes) != SEGY_OK)
            return fail(QStringLiteral("cannot read the header of trace %1").arg(trace + 1));
        if (segy_readtrace(file.get(), int(trace), buffer.data(), m_trace0, m_traceBytes) != SEGY_OK)
            return fail(QStringLiteral("cannot read the samples of trace %1").arg(trace + 1));
        decode(t, h, buffer.data(), false);
    }
    return true;
}

} // namespace FbTrace

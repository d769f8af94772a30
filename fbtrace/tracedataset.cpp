#include <fbtrace/tracedataset.h>

#include <fbtrace/seg2reader.h>
#include <fbtrace/segyreader.h>

#include <QFile>
#include <QFileInfo>

using namespace FbFile;

namespace FbTrace {

TraceDataSet::TraceDataSet() = default;
TraceDataSet::~TraceDataSet() = default;

double TraceDataSet::maxSampleIntervalMs()
{
    return TraceLimits::MaxSampleIntervalMs;
}

void TraceDataSet::close()
{
    m_reader.reset();
    m_keys = QVector<TraceKey>();
    m_shots = QVector<TraceShot>();
    m_shotOfFfid.clear();
    m_warnings.clear();
    m_samplesPerTrace = 0;
    m_sampleIntervalMs = 0;
    m_firstSampleMs = 0;
}

bool TraceDataSet::open(const QString &path, const Progress &progress)
{
    close();
    m_path = path;
    m_error.clear();
    auto fail = [this](const QString &why) {
        m_error = why;
        m_reader.reset();
        return false;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("%1 does not exist").arg(path));
    std::unique_ptr<Reader> reader;
    if (info.isDir()) {
        reader = std::make_unique<Seg2Reader>(path, m_options.seg2Ffids, m_options.seg2FileNumbers);
    } else {
        // A FIFO or a device could block or never end.
        if (!info.isFile())
            return fail(QStringLiteral("%1 is not a regular file").arg(path));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
        const QByteArray head = file.read(3600);
        file.close();
        if (Seg2File::looksLike(head)) {
            reader = std::make_unique<Seg2Reader>(path, m_options.seg2Ffids, m_options.seg2FileNumbers);
        } else if (SegyReader::looksLike(head)) {
            auto segy =
                std::make_unique<SegyReader>(path, m_options.ffidByte, m_options.channelByte, m_options.threads);
            if (!segy->open(head))
                return fail(QStringLiteral("%1: %2").arg(path, segy->error));
            reader = std::move(segy);
        } else {
            return fail(QStringLiteral("%1 is neither SEG-Y nor SEG-2: no SEG-2 block id, and no SEG-Y sample "
                                       "format code in its binary header")
                            .arg(path));
        }
    }

    Reader::Index index;
    if (!reader->index(progress, &index))
        return fail(QStringLiteral("%1: %2").arg(path, reader->error));
    m_keys = std::move(index.keys);
    m_shots = std::move(index.shots);
    m_keys.squeeze();
    m_shots.squeeze();
    m_warnings = index.warnings;
    m_samplesPerTrace = index.samplesPerTrace;
    m_sampleIntervalMs = index.sampleIntervalMs;
    m_firstSampleMs = index.firstSampleMs;
    for (int s = m_shots.size() - 1; s >= 0; --s)
        m_shotOfFfid.insert(m_shots[s].ffid, s);
    m_reader = std::move(reader);
    return true;
}

bool TraceDataSet::isOpen() const
{
    return m_reader != nullptr;
}

TraceDataSet::Format TraceDataSet::format() const
{
    if (!m_reader)
        return Format::None;
    return m_reader->formatName == QLatin1String("SEG-2") ? Format::Seg2 : Format::SegY;
}

QString TraceDataSet::formatName() const
{
    return m_reader ? m_reader->formatName : QString();
}
int TraceDataSet::revision() const
{
    return m_reader ? m_reader->revision : 0;
}
QString TraceDataSet::sampleFormatName() const
{
    return m_reader ? m_reader->sampleFormatName : QString();
}
QString TraceDataSet::byteOrderName() const
{
    return m_reader ? m_reader->byteOrderName : QString();
}
QString TraceDataSet::textHeaderEncoding() const
{
    return m_reader ? m_reader->textEncoding : QString();
}
int TraceDataSet::fileCount() const
{
    return m_reader ? m_reader->fileCount : 0;
}

int TraceDataSet::shotOfFfid(qint32 ffid) const
{
    return m_shotOfFfid.value(ffid, -1);
}

double TraceDataSet::firstSampleMs() const
{
    return m_overrideFirstSample ? m_firstSampleOverride : m_firstSampleMs;
}

void TraceDataSet::setFirstSampleMs(double ms)
{
    m_overrideFirstSample = true;
    m_firstSampleOverride = ms;
}

void TraceDataSet::clearFirstSampleMs()
{
    m_overrideFirstSample = false;
}

bool TraceDataSet::readShot(int shot, ShotGather *gather)
{
    return static_cast<const TraceDataSet *>(this)->readShot(shot, gather, &m_error);
}

bool TraceDataSet::readShot(int shot, ShotGather *gather, QString *error) const
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!m_reader)
        return fail(QStringLiteral("no traces are open"));
    if (shot < 0 || shot >= m_shots.size())
        return fail(QStringLiteral("there is no shot %1 (the data set has %2)").arg(shot + 1).arg(m_shots.size()));
    QString why;
    if (!m_reader->readShot(m_shots[shot], gather, &why))
        return fail(QStringLiteral("%1: %2").arg(m_path, why));
    if (m_overrideFirstSample)
        gather->firstSampleMs = m_firstSampleOverride;
    return true;
}

} // namespace FbTrace

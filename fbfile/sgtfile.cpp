#include <fbfile/sgtfile.h>

#include <fbfile/fbblockreader.h>
#include <fbfile/fboutputfile.h>
#include <fbfile/numbertext.h>

#include <QFile>

#include <cctype>
#include <cmath>
#include <limits>

namespace FbFile {

namespace {

const struct
{
    char name;
    int column;
} SensorTokens[] = {{'x', SgtFile::X}, {'y', SgtFile::Y}, {'z', SgtFile::Z}};

// The words of a line before its comment.
QList<QByteArray> valueWords(const QByteArray &line)
{
    const int hash = line.indexOf('#');
    return (hash < 0 ? line : line.left(hash)).simplified().split(' ');
}

// The words of a '#' line, or nothing when the line is something else.
QList<QByteArray> tokenWords(const QByteArray &line)
{
    const QByteArray trimmed = line.trimmed();
    if (!trimmed.startsWith('#'))
        return {};
    const QByteArray rest = trimmed.mid(1).simplified();
    return rest.isEmpty() ? QList<QByteArray>() : rest.split(' ');
}

bool isName(const QByteArray &word)
{
    if (word.isEmpty() || !(std::isalpha(uchar(word.at(0))) || word.at(0) == '_'))
        return false;
    for (const char c : word) {
        if (!std::isalnum(uchar(c)) && c != '_')
            return false;
    }
    return true;
}

bool parseNumber(const QByteArray &word, double *value)
{
    return NumberText::parseDouble(word.constData(), word.constData() + word.size(), value) && std::isfinite(*value);
}

bool parseCount(const QList<QByteArray> &words, qint32 *count)
{
    return words.size() == 1 &&
           NumberText::parseInt32(words.at(0).constData(), words.at(0).constData() + words.at(0).size(), count) &&
           *count >= 0;
}

// The fewest bytes a sensor ("0\n") and a datum ("1 1 0\n", the last without
// its line end) take, and the most of each that fit one vector.
constexpr qint64 MinSensorBytes = 2;
constexpr qint64 MinDatumBytes = 6;
constexpr qint64 MaxSensors = (std::numeric_limits<int>::max() - 64) / qint64(sizeof(SgtSensor));
constexpr qint64 MaxData = (std::numeric_limits<int>::max() - 64) / qint64(sizeof(SgtDatum));

// The lines of a file read in chunks, so that memory holds one chunk and
// the values read, never the whole text. The last line needs no line end.
class LineReader
{
public:
    explicit LineReader(QFile &file) : m_file(file), m_size(file.size()) { }

    bool next(QByteArray *line)
    {
        for (;;) {
            const int end = m_buffer.indexOf('\n', m_start);
            if (end >= 0) {
                *line = m_buffer.mid(m_start, end - m_start);
                m_consumed += end + 1 - m_start;
                m_start = end + 1;
                return true;
            }
            if (m_atEnd || m_buffer.size() - m_start > MaxLineBytes) {
                if (!m_atEnd)
                    m_error = SgtFile::tr("a line longer than %1 bytes").arg(MaxLineBytes);
                if (m_start >= m_buffer.size() || !m_error.isEmpty())
                    return false;
                *line = m_buffer.mid(m_start);
                m_consumed += m_buffer.size() - m_start;
                m_start = m_buffer.size();
                return true;
            }
            m_buffer.remove(0, m_start);
            m_start = 0;
            const int had = m_buffer.size();
            m_buffer.resize(had + ChunkBytes);
            const qint64 got = m_file.read(m_buffer.data() + had, ChunkBytes);
            if (got < 0)
                m_error = m_file.errorString();
            m_buffer.resize(had + int(qMax<qint64>(0, got)));
            m_atEnd = got <= 0;
        }
    }
    // Bytes after the lines read so far, by the size the file had at the start.
    qint64 remaining() const { return qMax<qint64>(0, m_size - m_consumed); }
    QString errorString() const { return m_error; }

private:
    static constexpr int ChunkBytes = 1 << 20;
    static constexpr int MaxLineBytes = 1 << 20;
    QFile &m_file;
    qint64 m_size;
    qint64 m_consumed = 0;
    QByteArray m_buffer;
    int m_start = 0;
    bool m_atEnd = false;
    QString m_error;
};

} // namespace

bool SgtFile::fail(int line, const QString &why)
{
    m_error = line > 0 ? tr("%1 line %2: %3").arg(m_fileName).arg(line).arg(why)
                       : QStringLiteral("%1: %2").arg(m_fileName, why);
    m_sensors.clear();
    m_data.clear();
    return false;
}

bool SgtFile::read(const QString &fileName)
{
    m_fileName = fileName;
    m_sensors.clear();
    m_data.clear();
    FbInputFile input;
    if (!input.open(fileName))
        return fail(0, input.errorString());
    LineReader reader(input.file());

    enum Stage { SensorCount, Sensors, DataCount, Data, Done } stage = SensorCount;
    qint32 sensorCount = 0, dataCount = 0;
    // Per column of a line: a SensorTokens column, or for data 0 s, 1 g, 2 t, -1 other.
    QVector<int> kinds;
    bool named = false; // a token line came for the current section
    int lineNumber = 0;
    QByteArray line;
    while (reader.next(&line)) {
        ++lineNumber;
        const bool atStart = (stage == Sensors && m_sensors.isEmpty()) || (stage == Data && m_data.isEmpty());
        const QList<QByteArray> tokens = atStart && !named ? tokenWords(line) : QList<QByteArray>();
        if (!tokens.isEmpty() && stage == Sensors) {
            QVector<int> k;
            int seen = 0;
            for (const QByteArray &t : tokens) {
                for (const auto &s : SensorTokens) {
                    if (t.size() == 1 && t.at(0) == s.name && !(seen & s.column)) {
                        seen |= s.column;
                        k.append(s.column);
                    }
                }
            }
            if (k.size() == tokens.size()) {
                kinds = k;
                m_columns = seen;
                named = true;
                continue;
            }
        } else if (!tokens.isEmpty()) {
            QVector<int> k;
            bool names = true;
            for (const QByteArray &t : tokens) {
                names = names && isName(t);
                const int kind = t == "s" ? 0 : t == "g" ? 1 : t == "t" ? 2 : -1;
                names = names && (kind < 0 || !k.contains(kind));
                k.append(kind);
            }
            if (names && k.contains(0) && k.contains(1) && k.contains(2)) {
                kinds = k;
                named = true;
                continue;
            }
        }

        const QList<QByteArray> words = valueWords(line);
        if (words.size() == 1 && words.at(0).isEmpty())
            continue;
        switch (stage) {
        case SensorCount: {
            if (!parseCount(words, &sensorCount))
                return fail(lineNumber, tr("the first line must be the number of sensors"));
            // A count the rest of the file cannot hold would only reserve
            // memory for nothing.
            const qint64 room = qMin(reader.remaining() / MinSensorBytes, MaxSensors);
            if (sensorCount > room)
                return fail(
                    lineNumber,
                    tr("%1 sensors declared, but the rest of the file holds at most %2").arg(sensorCount).arg(room));
            m_sensors.reserve(sensorCount);
            stage = sensorCount > 0 ? Sensors : DataCount;
            named = false;
            break;
        }
        case Sensors: {
            if (!named && m_sensors.isEmpty()) {
                if (words.size() != 2 && words.size() != 3)
                    return fail(lineNumber, tr("without a token line a sensor needs 2 (x y) or 3 (x y z) values"));
                kinds = words.size() == 2 ? QVector<int>{X, Y} : QVector<int>{X, Y, Z};
                m_columns = words.size() == 2 ? X | Y : X | Y | Z;
            }
            if (words.size() != kinds.size())
                return fail(lineNumber, tr("%1 values where a sensor has %2").arg(words.size()).arg(kinds.size()));
            SgtSensor sensor;
            for (int k = 0; k < words.size(); ++k) {
                double v = 0.0;
                if (!parseNumber(words.at(k), &v))
                    return fail(lineNumber, tr("'%1' is not a finite number").arg(QString::fromUtf8(words.at(k))));
                (kinds.at(k) == X ? sensor.x : kinds.at(k) == Y ? sensor.y : sensor.z) = v;
            }
            m_sensors.append(sensor);
            if (m_sensors.size() == sensorCount)
                stage = DataCount;
            break;
        }
        case DataCount: {
            if (!parseCount(words, &dataCount))
                return fail(lineNumber, tr("after %1 sensors the number of data must follow").arg(sensorCount));
            const qint64 room = qMin((reader.remaining() + 1) / MinDatumBytes, MaxData);
            if (dataCount > room)
                return fail(lineNumber,
                            tr("%1 data declared, but the rest of the file holds at most %2").arg(dataCount).arg(room));
            m_data.reserve(dataCount);
            stage = dataCount > 0 ? Data : Done;
            named = false;
            break;
        }
        case Data: {
            if (!named && m_data.isEmpty())
                kinds = QVector<int>{0, 1, 2};
            if (named ? words.size() != kinds.size() : words.size() < 3)
                return fail(lineNumber, tr("%1 values where a datum has %2").arg(words.size()).arg(kinds.size()));
            SgtDatum d;
            d.line = lineNumber;
            for (int k = 0; k < kinds.size(); ++k) {
                const QByteArray &w = words.at(k);
                if (kinds.at(k) == 0 || kinds.at(k) == 1) {
                    qint32 sensor = 0;
                    if (!NumberText::parseInt32(w.constData(), w.constData() + w.size(), &sensor) || sensor < 1 ||
                        sensor > sensorCount)
                        return fail(
                            lineNumber,
                            tr("sensor '%1' is not a number in 1..%2").arg(QString::fromUtf8(w)).arg(sensorCount));
                    (kinds.at(k) == 0 ? d.s : d.g) = sensor - 1;
                } else if (kinds.at(k) == 2 && !parseNumber(w, &d.t)) {
                    return fail(lineNumber, tr("time '%1' is not a finite number").arg(QString::fromUtf8(w)));
                }
            }
            m_data.append(d);
            if (m_data.size() == dataCount)
                stage = Done;
            break;
        }
        case Done:
            return fail(lineNumber, tr("text after the last of the %1 data").arg(dataCount));
        }
    }
    if (!reader.errorString().isEmpty())
        return fail(lineNumber + 1, reader.errorString());
    switch (stage) {
    case SensorCount:
        return fail(0, tr("no number of sensors"));
    case Sensors:
        return fail(lineNumber, tr("the file ends after %1 of %2 sensors").arg(m_sensors.size()).arg(sensorCount));
    case DataCount:
        return fail(lineNumber, tr("the file ends before the number of data"));
    case Data:
        return fail(lineNumber, tr("the file ends after %1 of %2 data").arg(m_data.size()).arg(dataCount));
    case Done:
        break;
    }
    m_error.clear();
    return true;
}

QByteArray SgtFile::head(int columns, const QVector<SgtSensor> &sensors, qint64 dataCount)
{
    char number[NumberText::MaxBytes];
    QByteArray text = QByteArray::number(sensors.size()) + "\n#";
    for (const auto &s : SensorTokens) {
        if (columns & s.column)
            text += QByteArray(" ") + s.name;
    }
    text += '\n';
    for (const SgtSensor &sensor : sensors) {
        const double values[] = {sensor.x, sensor.y, sensor.z};
        bool first = true;
        for (int k = 0; k < 3; ++k) {
            if (!(columns & SensorTokens[k].column))
                continue;
            if (!first)
                text += ' ';
            first = false;
            text.append(number, int(NumberText::writeFloat(float(values[k]), number) - number));
        }
        text += '\n';
    }
    text += QByteArray::number(dataCount) + "\n# s g t\n";
    return text;
}

char *SgtFile::writeDatum(qint32 s, qint32 g, double t, char *out)
{
    out = NumberText::writeInt(qint64(s) + 1, out);
    *out++ = ' ';
    out = NumberText::writeInt(qint64(g) + 1, out);
    *out++ = ' ';
    out = NumberText::writeFloat(float(t), out);
    *out++ = '\n';
    return out;
}

bool SgtFile::write(const QString &fileName, const QStringList &protect)
{
    FbOutputFile out(fileName);
    QByteArray text = head(m_columns, m_sensors, m_data.size());
    char line[MaxDatumBytes];
    for (const SgtDatum &d : qAsConst(m_data))
        text.append(line, int(writeDatum(d.s, d.g, d.t, line) - line));
    if (!out.open(protect) || !out.write(text.constData(), text.size()) || !out.commit()) {
        m_error = out.errorString();
        return false;
    }
    m_error.clear();
    return true;
}

} // namespace FbFile

// The message catalogues: each one complete and in step with its sources.

#include <QtTest>

#include <algorithm>

namespace {

struct Message
{
    QString source, translation;
    bool finished;
};

// The current messages of a catalogue; those lupdate marked as gone from
// the sources are left out, as lrelease leaves them out.
QVector<Message> readCatalogue(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression message(
        QStringLiteral("<source>(.*?)</source>.*?<translation( type=\"(\\w+)\")?>(.*?)</translation>"),
        QRegularExpression::DotMatchesEverythingOption);
    QVector<Message> messages;
    for (auto it = message.globalMatch(QString::fromUtf8(file.readAll())); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(3) != QLatin1String("vanished") && m.captured(3) != QLatin1String("obsolete"))
            messages.append({m.captured(1), m.captured(4), m.captured(2).isEmpty()});
    }
    return messages;
}

// The %1, %L2 ... markers of a text, sorted: a translation must keep them all.
QStringList markers(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%L?\\d"));
    QStringList found;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    found.sort();
    return found;
}

// A translation's texts: each plural form of a message with forms, else the one.
QStringList forms(const QString &translation)
{
    static const QRegularExpression form(QStringLiteral("<numerusform>(.*?)</numerusform>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    QStringList found;
    for (auto it = form.globalMatch(translation); it.hasNext();)
        found << it.next().captured(1);
    return found.isEmpty() ? QStringList{translation} : found;
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void catalogue_data()
    {
        QTest::addColumn<QString>("ts");
        QTest::addColumn<QStringList>("sources"); // what lupdate reads for it; empty when no target builds it
        QHash<QString, QStringList> built;
        QFile list(QStringLiteral(CATALOGUE_LIST));
        QVERIFY2(list.open(QIODevice::ReadOnly | QIODevice::Text), CATALOGUE_LIST);
        while (!list.atEnd()) {
            QStringList fields = QString::fromUtf8(list.readLine()).trimmed().split(QLatin1Char('\t'));
            if (fields.size() > 1)
                built.insert(QFileInfo(fields.takeFirst()).canonicalFilePath(), fields);
        }
        // Every catalogue in the source tree, whether a target builds it or not.
        QDirIterator it(QStringLiteral(SOURCE_DIR), {QStringLiteral("*.ts")}, QDir::Files,
                        QDirIterator::Subdirectories);
        int rows = 0;
        while (it.hasNext()) {
            const QString path = QFileInfo(it.next()).canonicalFilePath();
            const QString relative = QDir(QStringLiteral(SOURCE_DIR)).relativeFilePath(path);
            if (relative.startsWith(QLatin1String("build")) || relative.startsWith(QLatin1Char('.')))
                continue;
            QTest::newRow(qPrintable(relative)) << path << built.value(path);
            ++rows;
        }
        QVERIFY(rows >= 2);
    }

    // Every message translated, keeping its markers, and no text of the
    // sources missing from the catalogue.
    void catalogue()
    {
        QFETCH(QString, ts);
        QFETCH(QStringList, sources);
        QVERIFY2(!sources.isEmpty(), "no target compiles this catalogue");
        const QVector<Message> messages = readCatalogue(ts);
        QVERIFY2(!messages.isEmpty(), "no message read");
        for (const Message &m : messages) {
            const QString where = QLatin1Char('"') + m.source + QLatin1Char('"');
            QVERIFY2(m.finished && !m.translation.isEmpty(), qPrintable(where + QLatin1String(" is not translated")));
            for (const QString &form : forms(m.translation))
                QVERIFY2(markers(m.source) == markers(form),
                         qPrintable(where + QLatin1String(" loses or adds a marker: ") + form));
        }

        // lupdate into a copy: a text the catalogue lacks comes in
        // unfinished (a catalogue of plural forms only keeps only those).
        QTemporaryDir dir;
        const QString copy = dir.filePath(QFileInfo(ts).fileName());
        QVERIFY(QFile::copy(ts, copy));
        QProcess lupdate;
        lupdate.setProcessChannelMode(QProcess::MergedChannels);
        lupdate.start(QStringLiteral(LUPDATE), QStringList{"-locations", "none"} + sources + QStringList{"-ts", copy});
        QVERIFY(lupdate.waitForFinished(60000));
        QVERIFY2(lupdate.exitCode() == 0, qPrintable(QString::fromLocal8Bit(lupdate.readAll())));
        const QVector<Message> updated = readCatalogue(copy);
        const auto missing =
            std::count_if(updated.begin(), updated.end(), [](const Message &m) { return !m.finished; });
        QVERIFY2(missing == 0, qPrintable(QString::number(missing) +
                                          QLatin1String(" texts of the sources are not in the catalogue; "
                                                        "refresh it with the lupdate_<target> build target")));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"

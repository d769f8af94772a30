// Editing picks and handing them on: the edit writer changes only the words
// it is told to, whatever the block size, and leaves nothing behind when it
// cannot finish; the edit log reads back to the same bits and makes the
// same file again; a bad edits list is refused with its line and nothing
// written; fbtool edit combines its sources in their order; and picks go to
// the unified data format (.sgt) and back unchanged.

#include <fbfile/editlog.h>
#include <fbfile/fbcsvexport.h>
#include <fbfile/fbeditwriter.h>
#include "fbtoolrun.h"
#include "fbtestfile.h"
#include <fbfile/numbertext.h>
#include <fbfile/sgtconverter.h>
#include <fbfile/sgtfile.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

using namespace FbFile;

Q_DECLARE_METATYPE(FbEdit)
Q_DECLARE_METATYPE(QVector<FbEdit>)

namespace {

using FbTest::fbtool;
using FbTest::Run;

using FbTest::contents;

// A file of `count` records with every word distinct and the unnamed words
// set, then `tail` bytes of a partial record.
QByteArray testFile(int count, int tail)
{
    QVector<FbRecord> records = FbTest::recordsWithFfids(QVector<qint32>(count, 7));
    for (int i = 0; i < count; ++i) {
        records[i].word56 = 0x56560000 + i;
        records[i].word68 = -0x68680000 - i;
        records[i].word76 = 0x76760000 + i;
        records[i].word80 = 0x80808080 + i;
    }
    return FbTest::fileBytes(records, FbFileHeader{0, 1, -100, 900}, true, tail);
}

// bytes with the edits' words set in list order, as the writer promises.
QByteArray patched(QByteArray bytes, const QVector<FbEdit> &edits)
{
    for (const FbEdit &e : edits)
        qToLittleEndian<quint32>(e.bits, bytes.data() + FbLayout::recordPosition(e.record) + e.field->offset);
    return bytes;
}

quint32 wordAt(const QByteArray &bytes, qint64 position)
{
    return qFromLittleEndian<quint32>(bytes.constData() + position);
}

FbEdit withOld(FbEdit e, quint32 oldBits, int line)
{
    e.checkOld = true;
    e.oldBits = oldBits;
    e.line = line;
    return e;
}

const float NaN = std::numeric_limits<float>::quiet_NaN();

} // namespace

class TestEdit : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    bool write(const QString &name, const QByteArray &bytes) const { return FbTest::writeFile(path(name), bytes); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // The copy is the source with the edited words changed, every other
    // byte as it was (header, unnamed words, partial record), wherever the
    // blocks fall; applied() names each edited word once, in file order,
    // with what it held and the edit that won. A dry run finds the same.
    void copy_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("tail");
        QTest::addColumn<int>("block");
        QTest::addColumn<QVector<FbEdit>>("edits");
        QTest::newRow("first and last record")
            << 10 << 0 << 4 << QVector<FbEdit>{FbEdit::status(9, 2), FbEdit::time(0, 12.5f)};
        QTest::newRow("each side of two block boundaries")
            << 12 << 0 << 4
            << QVector<FbEdit>{FbEdit::time(3, 1), FbEdit::time(4, 2), FbEdit::status(7, -1), FbEdit::status(8, 5)};
        QTest::newRow("unnamed words and a partial record kept")
            << 9 << 50 << 4 << QVector<FbEdit>{FbEdit::time(8, 3), FbEdit::status(4, 2)};
        QTest::newRow("the last of three edits of one word wins")
            << 6 << 0 << 2
            << QVector<FbEdit>{FbEdit::time(2, 1), FbEdit::status(2, 9), FbEdit::time(2, 2), FbEdit::time(2, 3)};
        QTest::newRow("NaN, -0 and infinity, blocks of one")
            << 5 << 83 << 1
            << QVector<FbEdit>{FbEdit::time(1, NaN), FbEdit::time(2, -0.0f),
                               FbEdit::time(3, -std::numeric_limits<float>::infinity())};
        QTest::newRow("nothing to edit") << 3 << 7 << 4 << QVector<FbEdit>();
        QTest::newRow("no complete record") << 0 << 60 << 4 << QVector<FbEdit>();
    }
    void copy()
    {
        QFETCH(int, records);
        QFETCH(int, tail);
        QFETCH(int, block);
        QFETCH(QVector<FbEdit>, edits);
        const QByteArray source = testFile(records, tail);
        QVERIFY(write("source.fb", source));
        QFile::remove(path("copy.fb"));
        FbEditWriter writer(path("source.fb"));
        writer.setBlockRecords(block);
        writer.setEdits(edits);
        int last = -1;
        QVector<FbEditWriter::Applied> applied;
        writer.setWordWritten(
            [&applied](const FbEditWriter::Applied &a, const QVector<FbEdit> &, const int *, int, QString *) {
                applied.append(a);
                return true;
            });
        QVERIFY2(writer.write(path("copy.fb"), Progress([&last](int percent) { last = percent; })),
                 qPrintable(writer.errorString()));
        QCOMPARE(contents(path("copy.fb")), patched(source, edits));
        QCOMPARE(last, 100);

        // Each edited word once, in file order, with the last edit of it.
        QMap<qint64, int> winners;
        for (int k = 0; k < edits.size(); ++k)
            winners[FbLayout::recordPosition(edits.at(k).record) + edits.at(k).field->offset] = k;
        for (const bool dryRun : {false, true}) {
            if (dryRun) {
                applied.clear();
                QVERIFY(writer.inspect());
            }
            QCOMPARE(applied.size(), winners.size());
            auto winner = winners.constBegin();
            for (const FbEditWriter::Applied &a : qAsConst(applied)) {
                QCOMPARE(a.edit, winner.value());
                const FbRecord r = FbLayout::decodeRecord(source.constData() + FbLayout::recordPosition(a.record));
                QCOMPARE(a.record, edits.at(a.edit).record);
                QVERIFY(a.ffid == r.ffid && a.channel == r.channel && a.fbNo == r.fb_no);
                QCOMPARE(a.oldBits, wordAt(source, winner.key()));
                ++winner;
            }
        }
    }

    // Whatever stops the writer leaves the target as it was (absent, or an
    // existing file unchanged), the source unchanged and no stray file in
    // the folder, and says why.
    void refused_data()
    {
        QTest::addColumn<QString>("target"); // "" for the source's own path
        QTest::addColumn<QVector<FbEdit>>("edits");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("meddle"); // "replaced" before the copy, "rewritten" during it
        const QVector<FbEdit> one{FbEdit::time(1, 5)};
        FbEdit offset = FbEdit::time(1, 5);
        offset.field = FbLayout::fieldNamed("offset");
        QTest::newRow("record past the last") << "out.fb" << QVector<FbEdit>{FbEdit::time(1, 5), FbEdit::time(10, 1)}
                                              << false << "record 11 is not in" << QString();
        QTest::newRow("a field that cannot be edited")
            << "out.fb" << QVector<FbEdit>{offset} << false << "only fb_time, fb_status can be edited" << QString();
        // Record 2 holds fb_time 0.5 and status 1 (FbTest's records).
        QTest::newRow("an old value of another file")
            << "out.fb"
            << QVector<FbEdit>{withOld(FbEdit::time(3, 9), NumberText::floatBits(0.75f), 4),
                               withOld(FbEdit::time(2, 9), NumberText::floatBits(0.25f), 7)}
            << false << "list.csv line 7: record 3: fb_time is 0.5 in" << QString();
        QTest::newRow("the source itself") << QString() << one << false << "it is the input file" << QString();
        QTest::newRow("a symlink to the source") << "link.fb" << one << false << "it is the input file" << QString();
        QTest::newRow("a hard link to the source") << "hard.fb" << one << false << "it is the input file" << QString();
        QTest::newRow("a folder") << "folder" << one << false << "not a regular file" << QString();
        QTest::newRow("cancelled") << "out.fb" << one << true << "cancelled" << QString();
        QTest::newRow("cancelled, existing target kept") << "existing.fb" << one << true << "cancelled" << QString();
        // Edits judged on one file are never applied to another's bytes.
        QTest::newRow("another file renamed over the source")
            << "existing.fb" << one << false << "is not the file the edits were made for"
            << "replaced";
        QTest::newRow("the source rewritten in place during the copy")
            << "existing.fb" << one << false << "changed while it was copied"
            << "rewritten";
    }
    void refused()
    {
        QFETCH(QString, target);
        QFETCH(QVector<FbEdit>, edits);
        QFETCH(bool, cancel);
        QFETCH(QString, error);
        QFETCH(QString, meddle);
        QTemporaryDir dir;
        const QString source = dir.filePath("source.fb");
        QByteArray bytes = testFile(10, 0);
        QVERIFY(
            FbTest::writeFile(source, bytes) && QDir(dir.path()).mkdir("folder") &&
            FbTest::writeFile(dir.filePath("existing.fb"), "keep me") && QFile::link(source, dir.filePath("link.fb")) &&
            ::link(QFile::encodeName(source).constData(), QFile::encodeName(dir.filePath("hard.fb")).constData()) == 0);
        const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
        const QString targetName = target.isEmpty() ? source : dir.filePath(target);
        const QByteArray targetBefore = contents(targetName);

        FbEditWriter writer(source);
        writer.setEdits(edits);
        writer.setListName("list.csv");
        writer.setBlockRecords(2);
        writer.setSource(FbFileIdentity::of(source));
        if (meddle == "replaced") {
            // As when a file is renamed over the input while it is judged.
            bytes = testFile(10, 0);
            bytes[int(FbLayout::HeaderSize) + 3] = 9;
            QVERIFY(FbTest::writeFile(dir.filePath("other.fb"), bytes) && QFile::remove(source) &&
                    QFile::rename(dir.filePath("other.fb"), source));
        }
        const auto rewrite = [&] {
            // The same size, one byte changed, as by a tool that writes in place.
            QFile file(source);
            bytes[int(FbLayout::HeaderSize) + 5] = char(bytes.at(int(FbLayout::HeaderSize) + 5) + 1);
            return file.open(QIODevice::ReadWrite) && file.write(bytes) == bytes.size();
        };
        std::atomic_bool stop{false};
        QVERIFY(!writer.write(targetName, Progress(
                                              [&](int percent) {
                                                  stop = cancel && percent >= 40;
                                                  if (meddle == "rewritten" && percent >= 40 && percent < 60)
                                                      QVERIFY(rewrite());
                                              },
                                              &stop)));
        QVERIFY2(writer.errorString().contains(error), qPrintable(writer.errorString()));
        QCOMPARE(writer.wasCancelled(), cancel);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System), before);
        QCOMPARE(contents(targetName), targetBefore);
        QCOMPARE(contents(source), bytes);
    }

    // Values and reasons that a CSV or a float text can break come back
    // from the log the same, bit for bit.
    void logRoundTrip()
    {
        const FbLayout::Field *time = FbEdit::timeField(), *status = FbEdit::statusField();
        const QVector<std::pair<float, QString>> values{{0.1f, "plain"},
                                                        {1e-45f, "a, comma"},
                                                        {-0.0f, "\"quoted\" text"},
                                                        {NaN, "two\nlines"},
                                                        {std::numeric_limits<float>::infinity(), " edge spaces "},
                                                        {-std::numeric_limits<float>::max(), "拾取"},
                                                        {16777217.0f, ""}};
        QVector<EditLogRow> rows;
        for (int k = 0; k < values.size(); ++k)
            rows.append({k * 3, k + 100, -k, k + 1, time, k % 2 == 0, NumberText::floatBits(float(k) / 3),
                         NumberText::floatBits(values.at(k).first), values.at(k).second, 0});
        rows.append({2147483646, -1, 7, 8, status, true, quint32(-2147483647 - 1), quint32(2147483647), "max", 0});
        EditLog log;
        log.setRows(rows);
        QVERIFY2(log.write(path("round.csv")), qPrintable(log.errorString()));
        EditLog back;
        QVERIFY2(back.read(path("round.csv")), qPrintable(back.errorString()));
        QCOMPARE(back.rows().size(), rows.size());
        for (int k = 0; k < rows.size(); ++k) {
            const EditLogRow &a = rows.at(k), &b = back.rows().at(k);
            QVERIFY(a.record == b.record && a.fbNo == b.fbNo && a.ffid == b.ffid && a.channel == b.channel);
            QVERIFY(a.field == b.field && a.hasOld == b.hasOld && (!a.hasOld || a.oldBits == b.oldBits));
            QCOMPARE(b.newBits, a.newBits);
            QCOMPARE(b.reason, a.reason);
        }
    }

    // A write that fails part-way (a file-size limit, as a full disk) leaves
    // no partial output and no stray file, and an existing output as it was.
    // A full disk, or a log that cannot be written: nothing new is left and
    // an existing output stays as it was. gen on a full disk says why and
    // leaves no file cut short.
    void fullDisk_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<QString>("log"); // where the log goes; "" beside the output
        QTest::addColumn<bool>("gen");    // gen writes the output instead of edit
        QTest::newRow("new output") << false << "" << false;
        QTest::newRow("existing output kept") << true << "" << false;
        QTest::newRow("log cannot be written, existing output kept") << true << "missing/out.log.csv" << false;
        QTest::newRow("gen, new output") << false << "" << true;
    }
    void fullDisk()
    {
        QFETCH(bool, existing);
        QFETCH(QString, log);
        QFETCH(bool, gen);
        QTemporaryDir dir;
        const QString in = dir.filePath("in.fb"), out = dir.filePath("out.fb");
        QCOMPARE(fbtool({"gen", in, "--shots", "20", "--channels", "100"}).exitCode, 0); // 168 KB
        if (existing)
            QVERIFY(FbTest::writeFile(out, "keep me"));
        const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QStringList args{"edit", in, "-o", out, "--shift", "1003:2"};
        if (gen)
            args = QStringList{"gen", out, "--shots", "20", "--channels", "100"};
        if (!log.isEmpty())
            args << "--log" << dir.filePath(log);
        const Run run = fbtool(args, FbTest::Limits{QString(), log.isEmpty() ? 64 * 1024 : 0});
        QVERIFY2(FbTest::refused(run, "cannot write " + (log.isEmpty() ? out : dir.filePath(log))),
                 qPrintable(run.err));
        QVERIFY2(!run.err.contains("Unknown error"), qPrintable(run.err));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), before);
        QCOMPARE(contents(out), QByteArray(existing ? "keep me" : ""));
    }

    // fbtool edit end to end on a file of two shots of ffid 7 around one of
    // ffid 8 (records 1-3, 4-5, 6-7; record 1 is unpicked: 0 ms at offset
    // -100; FbTest gives record i time i/4 and status i % 3): each source
    // changes what it should, in order, and the log lists exactly that and
    // makes the same bytes again from the input.
    void editCommand_data()
    {
        QTest::addColumn<QByteArray>("list"); // written to list.csv when not empty
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("changes"); // record:field:new:reason, in file order
        QTest::newRow("shift every shot of an ffid, not the unpicked trace")
            << QByteArray() << QStringList{"--shift", "7:1.5"}
            << QStringList{"2:fb_time:1.75:shift ffid 7 by +1.5 ms", "3:fb_time:2:shift ffid 7 by +1.5 ms",
                           "6:fb_time:2.75:shift ffid 7 by +1.5 ms", "7:fb_time:3:shift ffid 7 by +1.5 ms"};
        QTest::newRow("edits, then shifts on top, in order")
            << QByteArray("record,field,new,reason\n4,fb_time,10,by hand\n4,fb_status,0,\n5,fb_status,9,\n")
            << QStringList{"--shift", "8:-0.5", "--shift", "8:0.25", "--edits", "list.csv"}
            << QStringList{"4:fb_time:9.75:by hand; shift ffid 8 by -0.5 ms; shift ffid 8 by +0.25 ms",
                           "5:fb_time:0.75:shift ffid 8 by -0.5 ms; shift ffid 8 by +0.25 ms",
                           "5:fb_status:9:list.csv line 4"};
        // A hand-made list: the header decides the columns, in any order and
        // case, with a byte-order mark, CRLF, spaces, '+' signs and blank
        // lines; old is optional.
        QTest::newRow("a hand-made list")
            << QByteArray(
                   "\xEF\xBB\xBF"
                   "New, Field ,RECORD,comment\r\n+12.5, fb_time , 3 ,first\r\n\r\n  -1 ,fb_status,+4,\"a, b\"\r\n")
            << QStringList{"--edits", "list.csv"}
            << QStringList{"3:fb_time:12.5:list.csv line 2", "4:fb_status:-1:list.csv line 4"};
    }
    void editCommand()
    {
        QFETCH(QByteArray, list);
        QFETCH(QStringList, args);
        QFETCH(QStringList, changes);
        const QString in = path("in.fb"), out = path("out.fb"), again = path("again.fb");
        const QByteArray input = FbTest::fileBytes(FbTest::recordsWithFfids({7, 7, 7, 8, 8, 7, 7}));
        QVERIFY(FbTest::writeFile(in, input) && (list.isEmpty() || write("list.csv", list)));
        for (QString &a : args)
            a.replace("list.csv", path("list.csv"));

        const Run dry = fbtool(QStringList{"edit", in, "--dry-run"} + args);
        QCOMPARE(dry.exitCode, 0);
        QCOMPARE(dry.out.count(" -> "), changes.size());
        QVERIFY(!QFile::exists(path("in.fb.edits.csv")));

        const Run run = fbtool(QStringList{"edit", in, "-o", out} + args);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QByteArray expected = input;
        QStringList logLines{EditLog::Header};
        for (const QString &change : changes) {
            const QStringList parts = change.split(':');
            const FbLayout::Field *field = FbLayout::fieldNamed(qPrintable(parts.at(1)));
            const qint32 record = parts.at(0).toInt() - 1;
            const qint64 at = FbLayout::recordPosition(record) + field->offset;
            const quint32 bits = field == FbEdit::timeField() ? NumberText::floatBits(parts.at(2).toFloat())
                                                              : quint32(parts.at(2).toInt());
            const FbRecord r = FbLayout::decodeRecord(input.constData() + FbLayout::recordPosition(record));
            logLines << QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8")
                            .arg(record + 1)
                            .arg(r.fb_no)
                            .arg(r.ffid)
                            .arg(r.channel)
                            .arg(parts.at(1), FbEditWriter::valueText(*field, wordAt(input, at)), parts.at(2),
                                 parts.at(3));
            qToLittleEndian<quint32>(bits, expected.data() + at);
        }
        QCOMPARE(contents(out), expected);
        QCOMPARE(QString::fromUtf8(contents(out + ".edits.csv")).split('\n', Qt::SkipEmptyParts), logLines);

        const Run replay = fbtool({"edit", in, "-o", again, "--edits", out + ".edits.csv"});
        QVERIFY2(replay.exitCode == 0, qPrintable(replay.err));
        QCOMPARE(contents(again), expected);
        QCOMPARE(contents(again + ".edits.csv"), contents(out + ".edits.csv"));
    }

    // Every source of edits at once over a file of two copy blocks, a
    // shifted shot across their seam: the copy, its log and the dry run's
    // list are byte for byte what they have always been. The sums hold the
    // QC's verdicts too (which picks are outliers, each shot's timing
    // error): a change of the QC changes them, and then the listing shows
    // what moved before they are taken anew.
    void sameBytesAsBefore()
    {
        const QStringList gen{"--shots", "60",   "--channels",     "240",  "--seed",  "4",
                              "--noise", "2",    "--unpicked",     "0.02", "--spike", "30:100:40",
                              "--shift", "50:9", "--source-delay", "3"};
        const QByteArray list("record,field,new,reason\n12484,fb_time,50,by hand\n12484,fb_time,51,again\n"
                              "12500,fb_status,-2,\n7,fb_status,5,\n");
        QStringList edit{"--edits", "list.csv",     "--shift",           "1053:2.5",     "--shift",
                         "1053:-1", "--fix-timing", "--reject-outliers", "--outlier-ms", "1.5"};
        const QString in = path("seam.fb"), out = path("seam-fixed.fb");
        QCOMPARE(fbtool(QStringList{"gen", in} + gen).exitCode, 0);
        QVERIFY(write("list.csv", list));
        for (QString &a : edit)
            a.replace("list.csv", path("list.csv"));
        const auto md5 = [](const QByteArray &bytes) {
            return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
        };
        const Run dry = fbtool(QStringList{"edit", in, "--dry-run"} + edit);
        QVERIFY2(dry.exitCode == 0, qPrintable(dry.err));
        QByteArray listed;
        for (const QString &line : dry.out.split('\n')) {
            if (line.contains(" -> "))
                listed += line.toUtf8() + '\n';
        }
        QCOMPARE(md5(listed), QByteArray("64a44cde2ba030f31820a10f2a81981a"));
        const Run run = fbtool(QStringList{"edit", in, "-o", out} + edit);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(md5(contents(out)), QByteArray("f3b44ba1a4a8a7b1d000047c2b15b282"));
        QCOMPARE(md5(contents(out + ".edits.csv")), QByteArray("d05db25ded6c7764dc181647a2e84ced"));
    }

    // What pick QC finds, acted on, in a file in ms and in its twin in s:
    // --reject-outliers rejects the planted spike and nothing else, with the
    // status asked for; --fix-timing takes the late shot's delay off its
    // picks, and the copy judges clean. Shifts, thresholds and timing errors
    // are in ms whatever the file's unit, so the twins' copies differ in
    // their times by the factor and in their statuses not at all.
    void fromQc_data()
    {
        QTest::addColumn<QStringList>("gen");
        QTest::addColumn<QStringList>("edit");
        QTest::addColumn<int>("rejected"); // the record rejected with status -3, or -1
        QTest::addColumn<int>("shot");     // the shot whose picks move, or -1
        QTest::addColumn<float>("shiftMs");
        QTest::addColumn<int>("qcExit"); // of the ms copy
        const QStringList spike{"--spike", "4:20:30"}, reject{"--reject-outliers", "--reject-status", "-3"};
        QTest::newRow("reject outliers") << spike << reject << 3 * 24 + 19 << -1 << 0.0f << 0;
        QTest::newRow("reject outliers at an ms threshold")
            << spike << reject + QStringList{"--outlier-ms", "5"} << 3 * 24 + 19 << -1 << 0.0f << 0;
        QTest::newRow("fix a shot 9 ms late")
            << QStringList{"--shift", "5:9"} << QStringList{"--fix-timing"} << -1 << 4 << -9.0f << 0;
        QTest::newRow("shift in ms") << QStringList() << QStringList{"--shift", "1004:1.5"} << -1 << 3 << 1.5f << 0;
    }
    void fromQc()
    {
        QFETCH(QStringList, gen);
        QFETCH(QStringList, edit);
        QFETCH(int, rejected);
        QFETCH(int, shot);
        QFETCH(float, shiftMs);
        QFETCH(int, qcExit);
        const QString ms = path("planted.fb"), s = path("planted-s.fb");
        QCOMPARE(fbtool(QStringList{"gen", ms, "--shots", "16", "--channels", "24"} + gen).exitCode, 0);
        const QByteArray before = contents(ms);
        QVERIFY(FbTest::writeFile(s, FbTest::inSeconds(before)));
        const Run inMs = fbtool(QStringList{"edit", ms, "-o", ms + ".out"} + edit);
        QVERIFY2(inMs.exitCode == 0, qPrintable(inMs.err));
        const Run inS = fbtool(QStringList{"edit", s, "-o", s + ".out", "--time-unit", "s"} + edit);
        QVERIFY2(inS.exitCode == 0, qPrintable(inS.err));
        const QByteArray fromMs = contents(ms + ".out"), fromS = contents(s + ".out");
        QCOMPARE(FbLayout::recordCount(fromMs.size()), 16 * 24);
        for (qint32 k = 0; k < 16 * 24; ++k) {
            const auto at = [k](const QByteArray &bytes) {
                return FbLayout::decodeRecord(bytes.constData() + FbLayout::recordPosition(k));
            };
            const FbRecord was = at(before), a = at(fromMs), b = at(fromS);
            QCOMPARE(a.fb_status, k == rejected ? -3 : was.fb_status);
            const qint64 time = FbLayout::recordPosition(k) + FbEdit::timeField()->offset;
            if (k / 24 == shot)
                QVERIFY2(std::abs(a.fb_time - was.fb_time - shiftMs) < 0.5f,
                         qPrintable(QString("record %1: %2 -> %3").arg(k + 1).arg(was.fb_time).arg(a.fb_time)));
            else
                QCOMPARE(wordAt(fromMs, time), wordAt(before, time));
            QCOMPARE(b.fb_status, a.fb_status);
            QVERIFY2(std::abs(a.fb_time - b.fb_time * 1000.0f) <= 1e-5f * std::max(1.0f, std::abs(a.fb_time)),
                     qPrintable(QString("record %1: %2 ms, %3 s").arg(k + 1).arg(a.fb_time).arg(b.fb_time)));
        }
        QCOMPARE(fbtool({"qc", ms + ".out"}).exitCode, qcExit);
    }

    // A bad edits list or a broken .sgt file is refused with the line that
    // breaks it, and import refuses what an FB file cannot hold in the unit
    // asked for: exit 2, the reason said, and neither the file nor its log
    // written.
    void refusedInput_data()
    {
        QTest::addColumn<QString>("command"); // edit: the text is the edits list; import: an .sgt file
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("units");
        const QString edit = "edit", import = "import";
        const QStringList none;
        const QByteArray header = "record,field,new\n1,fb_time,2\n";
        QTest::newRow("a cell too many") << edit << header + "2,fb_time,3,4\n"
                                         << "line 3: 4 cells where the header names 3" << none;
        QTest::newRow("record not a number") << edit << header + "2a,fb_time,3\n"
                                             << "line 3: record '2a'" << none;
        QTest::newRow("record 0") << edit << header + "0,fb_time,3\n"
                                  << "line 3: record '0'" << none;
        QTest::newRow("time with a unit") << edit << header + "2,fb_time,12.5ms\n"
                                          << "line 3: new value '12.5ms' is not a number" << none;
        QTest::newRow("status not whole") << edit << header + "2,fb_status,2.5\n"
                                          << "line 3: new value '2.5' is not a whole" << none;
        QTest::newRow("a field that cannot be edited") << edit << header + "2,offset,3\n"
                                                       << "line 3: field 'offset' cannot" << none;
        QTest::newRow("no column new") << edit << QByteArray("record,field,value\n1,fb_time,2\n")
                                       << "line 1: the header has no column new" << none;
        QTest::newRow("an open quote") << edit << header + "2,fb_time,3,\"why\n"
                                       << "line 3: a quoted cell is not closed" << none;
        QTest::newRow("record past the file") << edit << header + "\n81,fb_time,3\n"
                                              << "line 4: record 81 is not in" << none;
        QTest::newRow("old of another file")
            << edit << QByteArray("record,field,old,new\n5,fb_status,,2\n1,fb_time,99,3\n")
            << "line 3: record 1: fb_time is" << none;
        QTest::newRow("no count") << import << QByteArray("# nothing\nx\n")
                                  << "line 2: the first line must be the number" << none;
        QTest::newRow("a value short") << import << QByteArray("2\n# x z\n0 1\n5\n1\n1 2 0.1\n")
                                       << "line 4: 1 values where a sensor has 2" << none;
        QTest::newRow("sensor 3 of 2") << import << QByteArray("2\n0 0\n5 0\n1\n# s g t\n1 3 0.1\n")
                                       << "line 6: sensor '3' is not" << none;
        QTest::newRow("time not a number")
            << import << QByteArray("2\n0 0\n5 0\n1\n1 2 0.1s\n") << "line 5: time '0.1s'" << none;
        QTest::newRow("data short") << import << QByteArray("2\n0 0\n5 0\n3\n1 2 0.1\n2 1 0.1 # no third\n\n")
                                    << "line 7: the file ends after 2 of 3 data" << none;
        // Counts the rest of the file cannot hold are refused before any
        // memory is taken for them.
        QTest::newRow("90000000 sensors in 6 bytes")
            << import << QByteArray("90000000\n0 0 0\n")
            << "line 1: 90000000 sensors declared, but the rest of the file holds at most 3" << none;
        QTest::newRow("2000000000 data") << import << QByteArray("2\n0 0\n5 0\n2000000000\n1 2 0.1\n")
                                         << "line 4: 2000000000 data declared" << none;
        QTest::newRow("a line without end")
            << import << QByteArray(3 << 20, '1') << "line 1: a line longer than" << none;
        QTest::newRow("text after the data")
            << import << QByteArray("2\n0 0\n5 0\n1\n1 2 0.1\n2 1 0.1\n") << "line 6: text after" << none;
        QTest::newRow("x of 1e39 m") << import << QByteArray("2\n1e39 0\n0 0\n1\n1 2 0.1\n")
                                     << "sensor 1 lies at 1e+39 m, beyond" << none;
        QTest::newRow("y of 3e38 m in ft") << import << QByteArray("2\n0 3e38\n0 0\n1\n1 2 0.1\n")
                                           << "sensor 1 lies at 3e+38 m" << QStringList{"--length-unit", "ft"};
        QTest::newRow("time of 1e39 s") << import << QByteArray("2\n0 0\n5 0\n2\n1 2 0.1\n2 1 1e39\n")
                                        << "line 6: the time 1e+39 s does not fit" << none;
        QTest::newRow("time of 1e36 s in us")
            << import << QByteArray("2\n0 0\n5 0\n1\n1 2 1e36\n") << "line 5: the time 1e+36 s does not fit"
            << QStringList{"--time-unit", "us"};
        QTest::newRow("offset beyond int32 in mm")
            << import << QByteArray("2\n0 0\n3e6 0\n1\n1 2 0.1\n") << "line 5: the offset does not fit"
            << QStringList{"--length-unit", "mm"};
    }
    void refusedInput()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        QFETCH(QStringList, units);
        const QString name = command == "edit" ? "bad.csv" : "refused.sgt", input = path(name),
                      out = path("refused.fb");
        QVERIFY(write(name, text));
        QFile::remove(out);
        QStringList args{"import", input, "-o", out};
        if (command == "edit") {
            QVERIFY(QFile::exists(path("gen.fb")) ||
                    fbtool({"gen", path("gen.fb"), "--shots", "10", "--channels", "8"}).exitCode == 0);
            args = QStringList{"edit", path("gen.fb"), "-o", out, "--edits", input};
        }
        SgtFile file;
        // A file that reads is one whose values an FB file cannot hold.
        if (command == "import" && !file.read(input))
            QVERIFY2(file.errorString().contains(error), qPrintable(file.errorString()));
        const Run run = fbtool(args + units);
        QVERIFY2(FbTest::refused(run, error), qPrintable(run.err));
        QVERIFY(!QFile::exists(out) && !QFile::exists(out + ".edits.csv"));
    }

    // A survey goes export -> import -> export to the same text: the same
    // sensors (no two stations merged, however close), the same picks, the
    // same last digits in any unit, and the shots of the import in the order
    // of the original's. An empty gen is a line of 16 stations 0.5 m apart
    // with a shot on every fourth. A survey given as .sgt text goes import ->
    // export keeping every pick (positions and times) but the unpicked one,
    // whatever the units of the FB file; the FB file numbers shots by source
    // sensor, signs offsets along the line and declares its offset range.
    void exportImportStable_data()
    {
        QTest::addColumn<QByteArray>("sgt"); // the survey as .sgt text; empty: an FB file
        QTest::addColumn<QStringList>("gen");
        QTest::addColumn<QStringList>("exportArgs");  // all but --positions also for import
        QTest::addColumn<int>("sensors");             // -1: any
        QTest::addColumn<QVector<qint32>>("offsets"); // of the imported FB records, in file order; empty: any
        const QStringList survey{"--shots", "12", "--channels", "16", "--noise", "0"}, none;
        const QByteArray fb;
        const QVector<qint32> any;
        QTest::newRow("25 m, sources on stations") << fb << survey << none << -1 << any;
        QTest::newRow("0.5 m stations") << fb << none << none << 16 << any;
        QTest::newRow("0.5 m stations, profile") << fb << none << QStringList{"--positions", "profile"} << 16 << any;
        QTest::newRow("ft and us") << fb << survey << QStringList{"--length-unit", "ft", "--time-unit", "us"} << -1
                                   << any;
        QTest::newRow("profile, cm") << fb << survey << QStringList{"--positions", "profile", "--length-unit", "cm"}
                                     << -1 << any;
        // A profile with topography; sensor 5 is a source between receivers 2 and 3.
        const QByteArray profile = "# a refraction line\n6   # sensors\n# x z\n0 100\n10 101\n20 103\n30 102\n"
                                   "15 104 # source between 2 and 3\n40 99\n"
                                   "7\n# s g t err\n5 1 0.0234 0.001\n5 2 0.0121 0.001\n5 3 0.0052 0.001\n"
                                   "5 4 0.015 0.001\n5 6 0 0.001\n1 4 0.033 0.001\n1 6 0.042 0.001\n";
        QTest::newRow(".sgt profile, m and ms") << profile << none << QStringList{"--positions", "profile"} << -1
                                                << QVector<qint32>{30, 40, -15, -5, 5, 15, 25};
        QTest::newRow(".sgt profile, cm and s")
            << profile << none << QStringList{"--offset-unit", "cm", "--time-unit", "s", "--positions", "profile"} << -1
            << QVector<qint32>{3000, 4000, -1500, -500, 500, 1500, 2500};
        // A line running south-west in map coordinates, data columns in
        // another order: offsets grow towards growing x.
        QTest::newRow(".sgt map x y z, columns g t s")
            << QByteArray("3\n# x y z\n1030 2040 5\n1000 2000 6\n1006 2008 7\n2\n# g t s\n1 0.02 2\n2 0.003 3\n")
            << none << none << -1 << QVector<qint32>{50, -10};
    }
    void exportImportStable()
    {
        QFETCH(QByteArray, sgt);
        QFETCH(QStringList, gen);
        QFETCH(QStringList, exportArgs);
        QFETCH(int, sensors);
        QFETCH(QVector<qint32>, offsets);
        QStringList units = exportArgs;
        units.removeAll("--positions");
        units.removeAll("profile");
        const QString fb = path("stable.fb"), first = path("first.sgt"), back = path("back.fb"),
                      second = path("second.sgt");
        Run run;
        if (!sgt.isEmpty()) {
            QVERIFY(write("first.sgt", sgt));
        } else if (gen.isEmpty()) {
            QVector<qint32> ffids;
            for (int shot = 0; shot < 4; ++shot)
                ffids << QVector<qint32>(16, shot + 1);
            QVector<FbRecord> records = FbTest::recordsWithFfids(ffids);
            for (int k = 0; k < records.size(); ++k) {
                FbRecord &r = records[k];
                const int source = 4 * (k / 16), station = k % 16;
                r.source_x = 0.5f * source;
                r.group_x = 0.5f * station;
                r.source_y = r.group_y = 1000;
                r.s_line = r.g_line = 1;
                r.s_stat = source;
                r.g_stat = station;
                r.fb_status = 1;
                r.fb_time = 2.0f + std::abs(station - source);
            }
            QVERIFY(write("stable.fb", FbTest::fileBytes(records)));
        } else {
            QCOMPARE(fbtool(QStringList{"gen", fb} + gen).exitCode, 0);
        }
        if (sgt.isEmpty()) {
            run = fbtool(QStringList{"export", fb, "-o", first} + exportArgs);
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        }
        QFile::remove(back);
        run = fbtool(QStringList{"import", first, "-o", back} + units);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        if (!offsets.isEmpty()) {
            const QByteArray bytes = contents(back);
            const FbFileHeader header = FbLayout::decodeHeader(bytes.constData(), bytes.size());
            QVector<qint32> got;
            for (qint64 k = 0; k < FbLayout::recordCount(bytes.size()); ++k)
                got << FbLayout::decodeRecord(bytes.constData() + FbLayout::recordPosition(qint32(k))).offset;
            QCOMPARE(got, offsets);
            QCOMPARE(header.fb_count, offsets.size());
            QVERIFY(header.min_offset == *std::min_element(got.begin(), got.end()) &&
                    header.max_offset == *std::max_element(got.begin(), got.end()));
        }
        run = fbtool(QStringList{"export", back, "-o", second} + exportArgs);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        SgtFile exported, again;
        QVERIFY(exported.read(first));
        QVERIFY2(again.read(second), qPrintable(again.errorString()));
        if (sensors >= 0)
            QCOMPARE(exported.sensors().size(), sensors);
        if (!sgt.isEmpty()) {
            // Picks as (source position, receiver position, time), the unpicked one left out.
            const auto picks = [](const SgtFile &f) {
                QStringList list;
                for (const SgtDatum &d : f.data()) {
                    const SgtSensor &s = f.sensors().at(d.s), &g = f.sensors().at(d.g);
                    if (d.t > 0)
                        list << QStringLiteral("%1 %2 %3 > %4 %5 %6: %7")
                                    .arg(s.x)
                                    .arg(s.y)
                                    .arg(s.z)
                                    .arg(g.x)
                                    .arg(g.y)
                                    .arg(g.z)
                                    .arg(d.t, 0, 'g', 6);
                }
                list.sort();
                return list;
            };
            QCOMPARE(again.columns(), exported.columns());
            QCOMPARE(again.data().size(), picks(exported).size());
            QCOMPARE(picks(again), picks(exported));
            return;
        }
        if (exportArgs.contains("profile")) {
            // Distances along the line are not map floats: the same sensors
            // and picks, from x 0, to a float's precision.
            QCOMPARE(again.sensors().size(), exported.sensors().size());
            QCOMPARE(again.data().size(), exported.data().size());
            double start = exported.sensors().at(0).x;
            for (int k = 0; k < exported.sensors().size(); ++k) {
                start = qMin(start, exported.sensors().at(k).x);
                QVERIFY(std::abs(again.sensors().at(k).x - exported.sensors().at(k).x) < 1e-4);
            }
            QCOMPARE(start, 0.0);
            return;
        }
        QCOMPARE(contents(second), contents(first));

        // Shot k of the import stands where shot k of the survey stood (to
        // the float the unit gives).
        auto sources = [](const QByteArray &bytes) {
            QVector<QPointF> list;
            for (qint64 k = 0; k < FbLayout::recordCount(bytes.size()); ++k) {
                const FbRecord r = FbLayout::decodeRecord(bytes.constData() + FbLayout::recordPosition(qint32(k)));
                if (list.isEmpty() || list.last() != QPointF(r.source_x, r.source_y))
                    list << QPointF(r.source_x, r.source_y);
            }
            return list;
        };
        const QVector<QPointF> imported = sources(contents(back)), original = sources(contents(fb));
        QCOMPARE(imported.size(), original.size());
        for (int k = 0; k < original.size(); ++k)
            QVERIFY2((imported.at(k) - original.at(k)).manhattanLength() < 0.01, qPrintable(QString::number(k)));
    }

    // A file cut while export reads it is refused, not written with zeros
    // or with picks left out.
    void exportOfCutFile_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("csv") << "csv";
        QTest::newRow("sgt") << "sgt";
    }
    void exportOfCutFile()
    {
        QFETCH(QString, suffix);
        const QString fb = path("cut.fb"), target = path("cut." + suffix);
        QCOMPARE(fbtool({"gen", fb, "--shots", "20", "--channels", "1000"}).exitCode, 0); // 2 blocks
        QFile::remove(target);
        // Cut after the first block, the way another program would.
        bool cut = false;
        const Progress progress([&](int) {
            if (!cut)
                cut = ::truncate(QFile::encodeName(fb).constData(), FbLayout::recordPosition(100)) == 0;
        });
        QString error;
        if (suffix == QLatin1String("csv")) {
            FbCsvExport table;
            QVERIFY(!table.write(fb, target, progress));
            error = table.errorString();
        } else {
            SgtConverter converter;
            QVERIFY(!converter.exportSgt(fb, target, progress));
            error = converter.errorString();
        }
        QVERIFY(cut);
        QVERIFY2(error.contains("changed while it was read"), qPrintable(error));
        QVERIFY(!QFile::exists(target));
    }

    // export leaves out rejected and unpicked picks and those whose source
    // and receiver merge into one sensor, and merges positions within the
    // tolerance only: one source at x 0, receivers at 0.4 (in use), 20 and
    // 20.3 (each in use, rejected, and 20.3 unpicked once).
    void exportPicks_data()
    {
        QTest::addColumn<QString>("tolerance");
        QTest::addColumn<int>("sensors");
        QTest::addColumn<int>("data");
        QTest::addColumn<QString>("leftOut");
        const QString common =
            "Left out: 2 rejected (status other than 0 and 1), 1 without a positive time (unpicked), "
            "0 at a non-finite position, ";
        QTest::newRow("1 m: receivers pair up, one at the source")
            << "1" << 2 << 3 << common + "1 whose source and receiver are one sensor";
        QTest::newRow("0.35 m: only 20 and 20.3 one sensor")
            << "0.35" << 3 << 4 << common + "0 whose source and receiver are one sensor";
        QTest::newRow("0.1 m: every position its own")
            << "0.1" << 4 << 4 << common + "0 whose source and receiver are one sensor";
    }
    void exportPicks()
    {
        QFETCH(QString, tolerance);
        QFETCH(int, sensors);
        QFETCH(int, data);
        QFETCH(QString, leftOut);
        QVector<FbRecord> records = FbTest::recordsWithFfids(QVector<qint32>(7, 1));
        const float xs[] = {0.4f, 20, 20.3f, 20, 20.3f, 20.3f, 20};
        const qint32 statuses[] = {0, 1, 1, 2, -1, 1, 0};
        const float times[] = {1, 2, 3, 4, 5, 0, 6};
        for (int k = 0; k < records.size(); ++k) {
            records[k].source_x = records[k].source_y = records[k].group_y = 0;
            records[k].group_x = xs[k];
            records[k].fb_status = statuses[k];
            records[k].fb_time = times[k];
        }
        QVERIFY(write("picks.fb", FbTest::fileBytes(records)));
        const Run run = fbtool({"export", path("picks.fb"), "-o", path("picks.sgt"), "--merge-tolerance", tolerance});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.out.contains(leftOut), qPrintable(run.out));
        SgtFile sgt;
        QVERIFY(sgt.read(path("picks.sgt")));
        QCOMPARE(sgt.sensors().size(), sensors);
        QCOMPARE(sgt.data().size(), data);
    }

    // --format csv: every record, every named field, values that read back
    // to the stored bits.
    void exportCsv()
    {
        QVector<FbRecord> records = FbTest::recordsWithFfids({3, 3, 4});
        records[1].fb_time = NaN;
        records[2].group_x = -0.0f;
        records[2].source_y = 16777217.0f;
        QVERIFY(write("table.fb", FbTest::fileBytes(records, FbFileHeader(), true, 20)));
        const Run run = fbtool({"export", path("table.fb"), "-o", path("table.csv")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QList<QByteArray> lines = contents(path("table.csv")).split('\n');
        QStringList names{"record"};
        for (const FbLayout::Field &f : FbLayout::fields)
            names << f.name;
        QCOMPARE(QString::fromLatin1(lines.at(0)), names.join(','));
        QCOMPARE(lines.size(), records.size() + 2); // the last line ends with '\n'
        for (int k = 0; k < records.size(); ++k) {
            const QList<QByteArray> cells = lines.at(k + 1).split(',');
            QCOMPARE(cells.at(0).toInt(), k + 1);
            char bytes[FbLayout::RecordSize];
            FbLayout::encodeRecord(records.at(k), bytes);
            for (int f = 0; f < FbLayout::FieldCount; ++f) {
                const FbLayout::Field &field = FbLayout::fields[f];
                const QByteArray &cell = cells.at(f + 1);
                quint32 bits = 0;
                if (field.type == FbLayout::FieldType::Float32) {
                    float v = 0;
                    QVERIFY(NumberText::parseFloat(cell.constBegin(), cell.constEnd(), &v));
                    bits = NumberText::floatBits(v);
                } else {
                    qint32 v = 0;
                    QVERIFY(NumberText::parseInt32(cell.constBegin(), cell.constEnd(), &v));
                    bits = quint32(v);
                }
                QCOMPARE(bits, qFromLittleEndian<quint32>(bytes + field.offset));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestEdit)
#include "tst_edit.moc"

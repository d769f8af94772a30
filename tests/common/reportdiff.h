#ifndef REPORTDIFF_H
#define REPORTDIFF_H

// Where two QC reports differ, said for a failure message: the first
// finding, pair, summary or count that is not the same bit for bit. Empty
// when they agree.

#include <fbqc/pickqc.h>

#include <QString>
#include <QVector>

#include <cstring>

namespace FbTest {

// A report's findings of one kind, in the report's order.
inline QVector<FbQc::Finding> findings(const FbQc::Report &report, FbQc::Kind kind)
{
    QVector<FbQc::Finding> out;
    FbQc::FindingList::Reader reader(report.findings(kind));
    while (const FbQc::Finding *f = reader.next())
        out.append(*f);
    return out;
}

inline QString findingText(const FbQc::Finding &f)
{
    return QStringLiteral("kind %1 shot %2 record %3 other %4 value %5 a %6 b %7 count %8 flags %9")
        .arg(int(f.kind))
        .arg(f.shot)
        .arg(f.record)
        .arg(f.otherShot)
        .arg(double(f.value))
        .arg(double(f.a))
        .arg(double(f.b))
        .arg(f.count)
        .arg(f.flags);
}

inline QString listDifference(const char *what, const FbQc::FindingList &got, const FbQc::FindingList &want)
{
    FbQc::FindingList::Reader a(got), b(want);
    for (qint64 k = 0;; ++k) {
        const FbQc::Finding *x = a.next(), *y = b.next();
        if (!x && !y)
            return QString();
        if (!x || !y || std::memcmp(x, y, sizeof(FbQc::Finding)) != 0)
            return QStringLiteral("%1 #%2: %3 against %4")
                .arg(QLatin1String(what))
                .arg(k)
                .arg(x ? findingText(*x) : QStringLiteral("none"), y ? findingText(*y) : QStringLiteral("none"));
    }
}

template<typename T>
QString vectorDifference(const char *what, const QVector<T> &got, const QVector<T> &want)
{
    if (got.size() != want.size())
        return QStringLiteral("%1: %2 against %3").arg(QLatin1String(what)).arg(got.size()).arg(want.size());
    for (int k = 0; k < got.size(); ++k) {
        if (std::memcmp(&got.at(k), &want.at(k), sizeof(T)) != 0)
            return QStringLiteral("%1 #%2 differs").arg(QLatin1String(what)).arg(k);
    }
    return QString();
}

// Everything a pass leaves: findings of every kind, the outlier
// candidates, every shot's summary, reciprocal pairs, repeats, timing
// estimates, receiver statics and the pick counts.
inline QString reportDifference(const FbQc::Report &got, const FbQc::Report &want)
{
    for (int k = 0; k < FbQc::KindCount; ++k) {
        const FbQc::Kind kind = FbQc::Kind(k);
        const QString d = listDifference(FbQc::kindInfo(kind).key, got.findings(kind), want.findings(kind));
        if (!d.isEmpty())
            return d;
    }
    QString d = listDifference("outlier candidates", got.outlierCandidates(), want.outlierCandidates());
    QVector<FbQc::ShotSummary> gotShots, wantShots;
    for (int s = 0; s < got.shots().size(); ++s)
        gotShots.append(got.shots().at(s));
    for (int s = 0; s < want.shots().size(); ++s)
        wantShots.append(want.shots().at(s));
    for (const QString &next : {vectorDifference("shot summaries", gotShots, wantShots),
                                vectorDifference("reciprocal pairs", got.pairs(), want.pairs()),
                                vectorDifference("repeats", got.repeats(), want.repeats()),
                                vectorDifference("timing estimates", got.timing(), want.timing()),
                                vectorDifference("receiver statics", got.receiverStatics(), want.receiverStatics())})
        d = d.isEmpty() ? next : d;
    const QVector<qint64> gotCounts{got.status0, got.status1, got.statusOther, got.notPicked, got.notJudged};
    const QVector<qint64> wantCounts{want.status0, want.status1, want.statusOther, want.notPicked, want.notJudged};
    return d.isEmpty() ? vectorDifference("pick counts", gotCounts, wantCounts) : d;
}

} // namespace FbTest

#endif // REPORTDIFF_H

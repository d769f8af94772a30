#include "qcsummary.h"

#include "qcloader.h"

#include <QFileInfo>
#include <QLocale>
#include <QStringList>

#include <limits>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

namespace {

// Shots named in the summary's list of the shots in the most flagged pairs.
constexpr int MostFlaggedListed = 3;

// A share of a count as a percentage that never reads 0% for a share that
// is not 0: one decimal, or one significant digit below 0.1%.
QString percentText(qint64 part, qint64 whole)
{
    if (whole <= 0)
        return QString();
    const double percent = 100.0 * double(part) / double(whole);
    const QLocale locale;
    if (part == 0 || percent >= 0.1)
        return locale.toString(percent, 'f', 1) + QLatin1Char('%');
    return locale.toString(percent, 'g', 1) + QLatin1Char('%');
}

// A count for tr()'s %n, which is an int.
int plural(qint64 n)
{
    return int(qMin<qint64>(n, std::numeric_limits<int>::max()));
}

} // namespace

QString QcSummary::text(const QcData &data)
{
    const FbQc::Report &r = data.report;
    const ProblemList &problems = *data.problems;
    const qint64 judged = r.status0 + r.status1 + r.statusOther - r.notJudged;
    // Every kind found, as the kind table names it, with what its count
    // means beside it.
    QStringList found;
    for (int k = 0; k < FbQc::KindCount; ++k) {
        const FbQc::KindInfo &kind = FbQc::kinds()[k];
        const qint64 count = r.count(kind.kind);
        if (count == 0)
            continue;
        QString text = tr("%1: %L2").arg(kind.title()).arg(count);
        // What the count means, with the item: languages set the space and
        // brackets before it their own way.
        if (kind.kind == FbQc::Kind::Outlier)
            text = tr("%1 (%2 of judged picks)").arg(text, percentText(count, judged));
        else if (kind.kind == FbQc::Kind::Reciprocity)
            text = tr("%1 (of %2 compared; %3 explained by shot timing errors)")
                       .arg(text, QLocale().toString(qint64(r.pairs().size())),
                            QLocale().toString(qint64(problems.explainedPairs)));
        found << text;
    }
    // A list's separator and a sentence's end in the language's own marks.
    const QString separator = tr("; ", "between the items of a list");
    // The file by its name, as the window's title: a project's deep folder
    // would wrap the line and take the plot's height (the label's tool tip
    // holds the whole path).
    QString text = tr("%1: %2, %3 (status 0: %L4, status 1: %L5, other: %L6; not picked: %L7). "
                      "Thresholds: outlier %8 ms, reciprocity %9 ms.")
                       .arg(QFileInfo(data.fileName).fileName(), tr("%Ln shot(s)", nullptr, r.index().size()),
                            tr("%Ln pick(s)", nullptr, plural(r.recordCount)))
                       .arg(r.status0)
                       .arg(r.status1)
                       .arg(r.statusOther)
                       .arg(r.notPicked)
                       .arg(QLocale().toString(r.settings.outlierMs))
                       .arg(QLocale().toString(r.settings.reciprocityMs));
    text += QLatin1Char('\n') +
            (found.isEmpty() ? tr("Nothing found.") : tr("%1.", "a list as a sentence").arg(found.join(separator)));
    // The shots in the most flagged pairs, as fbtool qc lists them.
    QStringList most;
    for (size_t k = 0; k < problems.mostFlagged.size() && k < size_t(MostFlaggedListed); ++k) {
        const qint32 shot = problems.mostFlagged[k].first;
        QString item = tr("%1 > %2: %3")
                           .arg(shot + 1)
                           .arg(r.index().at(shot).ffid)
                           .arg(tr("%Ln flagged pair(s)", nullptr, plural(problems.mostFlagged[k].second)));
        if (const FbQc::TimingEstimate *t = r.timingOf(shot))
            item = tr("%1, estimated timing error %2 ms").arg(item, FbQc::timingText(t->delay));
        most << item;
    }
    if (!most.isEmpty())
        text += QLatin1Char('\n') + tr("Shots in the most flagged pairs: %1.").arg(most.join(separator));
    return text;
}

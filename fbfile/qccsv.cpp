#include "qccsv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cmath>
#include <functional>

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

namespace {

bool writeCsv(const QString &fileName, const char *header, const std::function<void(QTextStream &)> &rows,
              QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = QCoreApplication::translate("QcCsv", "Cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    QTextStream o(&file);
    o << header << '\n';
    rows(o);
    o.flush();
    file.close();
    if (o.status() != QTextStream::Ok || file.error() != QFileDevice::NoError) {
        *error = QCoreApplication::translate("QcCsv", "Cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

} // namespace

bool writeTables(const QString &dirName, const PickQc::Report &r, QString *error)
{
    if (!QDir().mkpath(dirName)) {
        *error = QCoreApplication::translate("QcCsv", "Cannot make the folder %1.").arg(dirName);
        return false;
    }
    const QDir dir(dirName);
    const auto ffid = [&r](int shot) { return r.index.at(shot).ffid; };

    return writeCsv(dir.filePath(QStringLiteral("outliers.csv")),
                    "shot,ffid,record,fb_no,channel,offset,fb_time,model_time,residual",
                    [&](QTextStream &o) {
                        for (const PickQc::Outlier &x : r.outliers)
                            o << (x.shot + 1) << ',' << ffid(x.shot) << ',' << (qint64(x.record) + 1) << ','
                              << x.fbNo << ',' << x.channel << ',' << x.offset << ',' << decimal(x.fbTime, 4)
                              << ',' << decimal(x.modelTime, 3) << ',' << decimal(x.residual, 3) << '\n';
                    }, error)
        && writeCsv(dir.filePath(QStringLiteral("reciprocity.csv")),
                    "ffid_a,ffid_b,time_ab,time_ba,difference,flagged",
                    [&](QTextStream &o) {
                        for (const PickQc::ReciprocalPair &p : r.pairs)
                            o << ffid(p.shotA) << ',' << ffid(p.shotB) << ',' << decimal(p.timeAB, 3) << ','
                              << decimal(p.timeBA, 3) << ',' << decimal(p.difference, 3) << ','
                              << (p.flagged ? 1 : 0) << '\n';
                    }, error)
        && writeCsv(dir.filePath(QStringLiteral("shots.csv")),
                    "shot,ffid,picks,outliers,rms_residual,velocity_negative_side,velocity_positive_side,"
                    "intercept_negative_side,intercept_positive_side",
                    [&](QTextStream &o) {
                        for (int k = 0; k < r.shots.size(); ++k) {
                            const PickQc::ShotSummary &s = r.shots.at(k);
                            o << (k + 1) << ',' << ffid(k) << ',' << s.picks << ',' << s.outliers << ','
                              << decimal(s.rmsResidual, 3) << ','
                              << decimal(s.velocity[PickQc::Negative], 1) << ','
                              << decimal(s.velocity[PickQc::Positive], 1) << ','
                              << decimal(s.intercept[PickQc::Negative], 3) << ','
                              << decimal(s.intercept[PickQc::Positive], 3) << '\n';
                        }
                    }, error);
}

} // namespace QcCsv

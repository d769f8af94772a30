#ifndef QCPASS_H
#define QCPASS_H

#include "fbblockreader.h"
#include "firstbreakfit.h"
#include "pickqc.h"
#include "reciprocity.h"

#include <vector>

// The QC pass behind PickQc::Analyzer::run(): one sequential read of the
// records in blocks that builds the index, judges each shot as its last
// record arrives, gathers the file statistics and the reciprocal times of
// each shot at the sources before it; then, only for the shots that sit in
// a later shot's spread, a second read for their times at those sources.
// Holds one shot's records at a time.
namespace PickQc {

class QcPass
{
public:
    enum Outcome { Done, Failed, Cancelled };

    QcPass(const QString &fileName, const Settings &settings, const Analyzer::Progress &progress,
           const std::atomic_bool *cancel);
    Outcome run(Report *report);
    QString errorString() const { return m_error; }

private:
    bool open();
    bool cancelled() const;
    void setProgress(int percent);
    Outcome firstPass();
    Outcome secondPass();
    void reserveFor(size_t shots, qint64 records, qint64 total);
    void judgeBatch();
    void completeBatch();
    void finishShot(const FbRecord *records, int n, qint32 firstRecord, const ShotFit &fit);
    void judgeSource(const FbRecord *records, int n, qint32 shot);
    void judgeValues(const FbRecord *records, int n, qint32 shot, qint32 firstRecord, ShotSummary *summary);
    void judgeFit(const FbRecord *records, int n, qint32 shot, qint32 firstRecord, const ShotFit &fit,
                  ShotSummary *summary);
    void findRepeatedFfids();

    QString m_fileName;
    Settings m_settings;
    Analyzer::Progress m_progress;
    const std::atomic_bool *m_cancel = nullptr;
    QString m_error;
    Report *m_report = nullptr;
    int m_percent = -1;

    FbBlockReader m_reader;

    // Complete shots of the current block (and the one still arriving),
    // judged together so that two threads can share the fitting.
    struct BatchShot
    {
        qint32 firstRecord;
        size_t offset;
        size_t records;
        qint32 shot = 0;    // index entry; set in the second pass
    };
    std::vector<FbRecord> m_batch;
    std::vector<BatchShot> m_batchShots;
    std::vector<ShotFit> m_fits;
    ShotFitter m_fitter;
    ShotFitter m_workerFitter;
    Reciprocity m_reciprocity;
    // The second pass's spreads and pairs, one of each per thread.
    SpreadView m_view;
    SpreadView m_workerView;
    std::vector<ReciprocalPair> m_pairs;
    std::vector<ReciprocalPair> m_workerPairs;
    std::vector<int> m_valueOrder;
};

} // namespace PickQc

#endif // QCPASS_H

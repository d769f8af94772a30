#ifndef QCDOCUMENT_H
#define QCDOCUMENT_H

#include <fbqc/latestjob.h>
#include "pickedit.h"
#include "qcloader.h"

#include <QObject>
#include <QPointF>
#include <QVector>
#include <QString>
#include <QtMath>

#include <memory>

class EditSession;

// What to select in a shot once it is shown: a pick by its file record,
// the first record that differs in a source column, the receiver at a
// partner's source (whose picks are then overlaid), or the pick nearest
// a place on the station axis.
struct QcTarget
{
    qint32 record = -1;
    int column = -1;
    int partner = -1;
    double station = qQNaN();
};

// The file behind the QC window and where the user is in it: the judged
// data, the thresholds, the edits (through the EditSession), the loader,
// and the place the panels share (the current shot, what to select in it,
// the partner shown). Panels read it and ask it to move; it tells them what
// changed. No widgets: its rules are tested without a window.
//
// The document is in one state at a time:
//   Empty        nothing loaded yet
//   Loading      a file is read and judged (the one shown, if any, stays)
//   Loaded       a judged file is shown
//   JudgingAgain the shown file is judged again with other thresholds
//   Saving       long edit work (a corrected copy, an export) is under way
//   Failed       the last load failed and nothing is shown
// Whatever ends a load (loaded, failed, not an FB file, cancelled) emits
// loadFinished() once, and leaves Loaded when a file is shown, else Failed
// (Empty after a cancelled first load).
//
// Thresholds: setThresholds() judges the shown file again, from what its
// pass kept when it can, else by reading it again; the edits stay. A
// threshold changed while a file loads restarts that load. When judging
// again fails or is cancelled, thresholdsShown() gives back those of the
// verdicts shown.
//
// Time unit: setTimeUnit() says what fb_time is stored in; the file is then
// read and judged again (edits kept), and every time the window shows,
// draws or takes is in ms whatever the file's unit.
//
// Usage:
//   QcDocument doc;
//   doc.setSession(editor->session());
//   connect(&doc, &QcDocument::fileShown, panel, &Panel::showFile);
//   doc.open(fileName);
class QcDocument : public QObject
{
    Q_OBJECT

public:
    enum State { Empty, Loading, Loaded, JudgingAgain, Saving, Failed };
    Q_ENUM(State)

    using Target = QcTarget;
    static Target targetOf(const FbQc::Finding &finding);

    explicit QcDocument(QObject *parent = nullptr);
    ~QcDocument() override;

    // The edits and their judging; the document adopts or resets it as
    // files are loaded and judged again.
    void setSession(EditSession *session);
    EditSession *session() const { return m_session; }

    State state() const { return m_state; }
    // Long edit work began or ended (Saving while it runs).
    void setSaving(bool saving);

    // Loads fileName (judged with the current thresholds); the current file
    // stays shown until it is done. Edits are dropped: callers ask first.
    void open(const QString &fileName);
    // Said in the message line when the load under way ends.
    void setNote(const QString &note) { m_request.note = note; }
    // Frees on a worker what a view let go of: lists of millions of shots
    // take a while to free.
    void letGo(std::shared_ptr<const void> held);
    void cancel();
    bool isLoading() const { return m_state == Loading || m_state == JudgingAgain; }
    QString loadingName() const { return m_request.fileName; }

    const FbQc::Settings &settings() const { return m_settings; }
    void setThresholds(double outlierMs, double reciprocityMs);
    void setTimeUnit(double secondsPerTime);

    const std::shared_ptr<const QcData> &data() const { return m_data; }
    int shotCount() const { return m_data ? m_data->report.index().size() : 0; }

    // Navigation: goTo() makes shot current (panels show it as chosen) and
    // keeps target for the shot panel, which takes it once the shot is
    // shown and says so with setShown().
    void goTo(int shot, const Target &target = Target());
    int currentShot() const { return m_current; }
    int shownShot() const { return m_shown; }
    Target takeTarget();
    // The shot panel read shot: its receivers (a sample) for the map, a
    // turn of the event loop before the shot is drawn.
    void setReceivers(int shot, const QVector<QPointF> &receivers) { emit receiversRead(shot, receivers); }
    // The shot panel shows shot.
    void setShown(int shot);
    // What the shot panel selected (-1: nothing) and the partner it
    // overlays: the place kept when the same file is judged again.
    // Every panel marks the selected record, so a change is announced.
    void setSelectedRecord(qint32 record)
    {
        if (record == m_selectedRecord)
            return;
        m_selectedRecord = record;
        emit selectionChanged(record);
    }
    qint32 selectedRecord() const { return m_selectedRecord; }
    // The data shown, base, with the waveform checks' findings added
    // (judged): shown as verdictsChanged(). False, and nothing shown, when
    // base is no longer the data shown.
    bool showWaveformVerdicts(const std::shared_ptr<const QcData> &base, std::shared_ptr<const QcData> judged);
    void setPartner(int partner) { m_partner = partner; }
    int partner() const { return m_partner; }

signals:
    void stateChanged(QcDocument::State state);
    void progressChanged(int percent);
    // Text for the message line; empty clears it.
    void message(const QString &text, bool error);
    // The thresholds to show in their boxes (they changed back, or loaded).
    void thresholdsShown(const FbQc::Settings &settings);
    // A file loaded: edits start anew unless kept (editsReset), the panels
    // show its verdicts (fileShown), and a turn of the event loop later its
    // survey (surveyShown). newFile is false only for the same file judged
    // again from what its pass kept: the same shots, stations and receivers'
    // residuals, other thresholds; the current shot is then read again, else
    // goTo() follows surveyShown().
    void editsReset(const std::shared_ptr<const QcData> &data);
    void fileShown(const std::shared_ptr<const QcData> &data, bool newFile);
    void surveyShown(const std::shared_ptr<const QcData> &data, bool newFile);
    // The same file with edited shots judged again: panels keep their place.
    void verdictsChanged(const std::shared_ptr<const QcData> &data);
    // The shot to show (read and fit it, even when it is the shown one).
    void currentShotChanged(int shot);
    // A new target in the shot already shown.
    void targetChanged();
    void picksChanged(const QVector<qint32> &shots);
    void loadFinished(bool ok);
    void receiversRead(int shot, const QVector<QPointF> &receivers);
    void shotShown(int shot);
    // The shot panel selected this file record (-1: nothing).
    void selectionChanged(qint32 record);

private:
    // One load: the file, and for new thresholds the edits to keep with
    // those the data judged holds.
    struct Request
    {
        QString fileName;
        bool keepEdits = false;
        PickEdits judgedEdits;
        QString note;
    };
    void setState(State state);
    void start(const Request &request);
    // Back to Loaded, or Failed/Empty when nothing is shown.
    void settle();
    void onLoaded(std::shared_ptr<const QcData> data);
    void onFailed(const QString &message);
    void onJudged(std::shared_ptr<const QcData> data);
    // The map and the first shot of a new file, a turn of the event loop
    // after its verdicts, so that no one step of a large file holds the UI.
    void takeOver(int first, const Target &target);

    QcLoader m_loader;
    EditSession *m_session = nullptr;
    State m_state = Empty;
    FbQc::Settings m_settings;
    Request m_request;
    std::shared_ptr<const QcData> m_data;
    int m_current = -1;
    int m_shown = -1;
    Target m_target;
    qint32 m_selectedRecord = -1;
    int m_partner = -1;
    struct LetGo;
    FbQc::LatestJob m_letGo{FbQc::LatestJob::Concurrent};
    // The take-over under way; a later load's drops it.
    std::shared_ptr<int> m_takingOver;
};

#endif // QCDOCUMENT_H

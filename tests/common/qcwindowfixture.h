#ifndef QCWINDOWFIXTURE_H
#define QCWINDOWFIXTURE_H

// What the QC window's tests share: a folder of their own, stored settings
// that start empty (a run never reads or changes the user's), a window
// opened on a file and waited for until its first shot is shown, and
// widgets found by their object names. A test class derives from QObject
// and then from this; it calls startSettings() from initTestCase(). A
// failed wait fails the test that called it.

#include "fbpickqcwindow.h"
#include "fbtestfile.h"
#include "problemmodel.h"

#include <SorvBase/sorvbaseutil.h>

#include <QtTest>
#include <QtWidgets>

// The widget, action or other child of window called name; null if none.
template<typename T>
T *child(QObject *window, const char *name)
{
    return window->findChild<T *>(QString::fromLatin1(name));
}

// A problem by what it is about: its kind, the shot it is listed under
// (from 0) and its record (-1 for none).
inline QString problem(FbQc::Kind kind, int shot, int record = -1)
{
    return QStringLiteral("%1|%2|%3").arg(ProblemModel::kindName(kind)).arg(shot).arg(record);
}

// Every finding the problem list shows, by problem(), sorted. Kinds whose
// findings name no pick go without their record.
inline QStringList problemKeys(ProblemModel *model)
{
    while (model->canFetchMore(QModelIndex()))
        model->fetchMore(QModelIndex());
    QStringList keys;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex shotRow = model->index(row, 0);
        const int shot = shotRow.data(ProblemModel::ShotRole).toInt();
        while (model->canFetchMore(shotRow))
            model->fetchMore(shotRow);
        for (int k = 0; k < model->rowCount(shotRow); ++k) {
            const FbQc::Finding f = model->problem(model->index(k, 0, shotRow));
            const bool named = FbQc::kindInfo(f.kind).scope == FbQc::Scope::Pick || f.kind == FbQc::Kind::VaryingSource;
            keys << problem(f.kind, shot, named ? f.record : -1);
        }
    }
    keys.sort();
    return keys;
}

class QcWindowFixture
{
protected:
    // Settings in test mode and cleared; bytes, when given, written as the
    // survey file m_survey.
    void startSettings(const QByteArray &survey = QByteArray())
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
        if (survey.isEmpty())
            return;
        m_survey = m_dir.filePath(QStringLiteral("survey.fb"));
        QVERIFY(FbTest::writeFile(m_survey, survey));
    }

    // Opens name (the survey unless given) in m_window; the load must end
    // as `opens` says, and then its first shot is shown.
    void openSurvey(const QString &name = QString(), bool opens = true)
    {
        m_window = new FbPickQcWindow;
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        QSignalSpy finished(m_window, &FbPickQcWindow::loadFinished);
        m_window->openFile(name.isEmpty() ? m_survey : name);
        QVERIFY(finished.wait(30000 * FBTEST_TIME_FACTOR));
        QVERIFY2(finished.at(0).at(0).toBool() == opens, qPrintable(child<QLabel>(m_window, "messageLabel")->text()));
        if (opens)
            QTRY_COMPARE(m_window->shownShot(), 0);
    }

    // Moves m_window to shot and waits until it is shown: shots are read on
    // a worker.
    void showShot(int shot)
    {
        m_window->goToShot(shot);
        QTRY_COMPARE(m_window->shownShot(), shot);
    }

    // A window of its own, large enough for the traces panel, on fb with no
    // traces remembered; the caller owns it. Returns once a shot is shown (a
    // warning if none is).
    static FbPickQcWindow *openLarge(const QString &fb)
    {
        SorvBaseUtil::setProjectValue(FbPickQcWindow::projectKey("tracesPath"), QString());
        auto *window = new FbPickQcWindow;
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->resize(1400, 900);
        window->show();
        QSignalSpy shown(window, &FbPickQcWindow::shotShown);
        window->openFile(fb);
        if (!shown.wait(30000 * FBTEST_TIME_FACTOR))
            qWarning("no shot shown");
        return window;
    }

    QTemporaryDir m_dir;
    QString m_survey;
    QPointer<FbPickQcWindow> m_window;
};

#endif // QCWINDOWFIXTURE_H

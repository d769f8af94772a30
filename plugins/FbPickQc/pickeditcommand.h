#ifndef PICKEDITCOMMAND_H
#define PICKEDITCOMMAND_H

#include "pickedit.h"

#include <QUndoCommand>
#include <QVector>

class EditSession;

// One step of the QC window's edit history: every pick one action of the
// user changed, however many (a reject of a selection, a shot shifted, the
// outliers of a file rejected), undone and redone together.
class PickEditCommand : public QUndoCommand
{
public:
    PickEditCommand(EditSession *session, const QString &text, QVector<PickChange> changes);
    // A step kept as the edits before and after it, whole: done and undone
    // at once however many picks it changes. A stack undoes steps in order,
    // so the edits stand as after when it is undone, as before when redone.
    PickEditCommand(EditSession *session, const QString &text, PickEdits before, PickEdits after, QVector<qint32> shots,
                    qint64 picks);

    void undo() override;
    void redo() override;
    qint64 picks() const { return m_whole ? m_picks : m_changes.size(); }

private:
    EditSession *m_session;
    QVector<PickChange> m_changes;
    bool m_whole = false;
    PickEdits m_before;
    PickEdits m_after;
    QVector<qint32> m_shots;
    qint64 m_picks = 0;
};

#endif // PICKEDITCOMMAND_H

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

    void undo() override;
    void redo() override;
    int picks() const { return m_changes.size(); }

private:
    EditSession *m_session;
    QVector<PickChange> m_changes;
};

#endif // PICKEDITCOMMAND_H

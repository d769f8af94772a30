#include "pickeditcommand.h"

#include "editsession.h"

PickEditCommand::PickEditCommand(EditSession *session, const QString &text, QVector<PickChange> changes)
    : QUndoCommand(text), m_session(session), m_changes(std::move(changes))
{ }

void PickEditCommand::undo()
{
    m_session->applyChanges(m_changes, false);
}

void PickEditCommand::redo()
{
    m_session->applyChanges(m_changes, true);
}

#include "pickeditcommand.h"

#include "editsession.h"

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

PickEditCommand::PickEditCommand(EditSession *session, const QString &text, QVector<PickChange> changes)
    : QUndoCommand(text), m_session(session), m_changes(std::move(changes))
{ }

PickEditCommand::PickEditCommand(EditSession *session, const QString &text, PickEdits before, PickEdits after,
                                 QVector<qint32> shots, qint64 picks)
    : QUndoCommand(text), m_session(session), m_whole(true), m_before(std::move(before)), m_after(std::move(after)),
      m_shots(std::move(shots)), m_picks(picks)
{ }

void PickEditCommand::undo()
{
    if (m_whole)
        m_session->applyEdits(m_before, m_shots);
    else
        m_session->applyChanges(m_changes, false);
}

void PickEditCommand::redo()
{
    if (m_whole)
        m_session->applyEdits(m_after, m_shots);
    else
        m_session->applyChanges(m_changes, true);
}

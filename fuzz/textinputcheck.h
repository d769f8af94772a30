#ifndef TEXTINPUTCHECK_H
#define TEXTINPUTCHECK_H

#include <QString>

// The text files a user hands in, checked for what must hold for any bytes,
// however malformed. Each returns an empty string when all holds, else what
// broke.
//
// checkSgtImport: the picks file of the unified data format imported into
// an FB file beside it. A refusal says why and leaves no FB file; an
// import leaves an FB file whose index covers exactly the records it
// reports, in as many shots, each record read back whole.
QString checkSgtImport(const QString &sgtName);

// checkEditList: an edits list (an edit log or a hand-made list) read. A
// refusal says why, naming the file; a list read gives one edit per row,
// each of an editable field at a record from 0, and written as a log and
// read again it gives the same edits.
QString checkEditList(const QString &csvName);

#endif // TEXTINPUTCHECK_H

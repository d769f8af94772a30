#include <fbqc/checks/checks.h>

#include <fbqc/pickqc.h>

#include <QCoreApplication>

using namespace FbFile;

// The file against its header: a file without a complete record, a
// declared count that disagrees with the size, bytes after the last
// complete record, and a header whose offset range cannot describe the
// records (reversed, or not holding their offsets), which says the file is
// no FB file at all: a text or another format renamed.
namespace FbQc {

namespace {

Finding fileFinding(Kind kind, qint64 count = 0)
{
    Finding f;
    f.kind = kind;
    f.count = count;
    return f;
}

} // namespace

void checkHeader(Report *r)
{
    if (r->recordCount == 0)
        r->addFinding(fileFinding(Kind::NoRecords, r->fileSize));
    if (r->header.fb_count != r->recordCount)
        r->addFinding(fileFinding(Kind::CountMismatch, r->header.fb_count));
    if (r->trailingBytes() > 0)
        r->addFinding(fileFinding(Kind::PartialRecord, r->trailingBytes()));
    const bool reversed = r->header.min_offset > r->header.max_offset;
    const bool outside =
        r->recordCount > 0 && (r->minOffset < r->header.min_offset || r->maxOffset > r->header.max_offset);
    if (reversed || outside) {
        Finding f = fileFinding(Kind::NotFbFile);
        f.flags = reversed ? 1 : 0;
        r->addFinding(f);
    }
}

QString describeHeader(const Finding &f, const Report &r)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("FbQc::Kind", text); };
    switch (f.kind) {
    case Kind::NoRecords:
        return tr("No complete record: %1 bytes cannot hold a header and one record").arg(f.count);
    case Kind::CountMismatch:
        return tr("Declared count: %1 MISMATCH: the file size gives %2 records").arg(f.count).arg(r.recordCount);
    case Kind::PartialRecord:
        return tr("Partial record: %1 bytes after the last complete record").arg(f.count);
    case Kind::NotFbFile:
        if (f.flags)
            return tr("Header offset range: %1 .. %2 REVERSED: this header cannot describe any record; "
                      "not an FB file?")
                .arg(r.header.min_offset)
                .arg(r.header.max_offset);
        return tr("Header offset range: %1 .. %2 does NOT contain the records' offsets %3 .. %4; not an FB file?")
            .arg(r.header.min_offset)
            .arg(r.header.max_offset)
            .arg(r.minOffset)
            .arg(r.maxOffset);
    default:
        return QString();
    }
}

} // namespace FbQc

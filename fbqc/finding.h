#ifndef FBQC_FINDING_H
#define FBQC_FINDING_H

#include <QString>
#include <QtGlobal>

#include <vector>

// What the QC finds, in one shape for every kind: a finding names where it
// is (the file, a shot, a pick, a pair of shots) and carries a few numbers
// whose meaning its kind's row in the kind table gives. The checks append
// findings; the report counts and keeps them; the text report, the CSV
// tables, the window's summary and its problem list read them through the
// kind table, so a new kind of finding is one new row there and the check
// that makes it.
//
// Usage:
//   for (const FbQc::KindInfo &kind : FbQc::kinds())
//       out << kind.title() << ": " << report.count(kind.kind) << '\n';
namespace FbQc {

class Report;

// In the order the reports list them: the file first, then the shots'
// timing, picks and pairs, then what the records hold.
enum class Kind : quint8 {
    NoRecords,     // the file holds no complete record
    CountMismatch, // the header's fb_count disagrees with the size
    PartialRecord, // bytes after the last complete record
    NotFbFile,     // the header's offset range cannot describe the records
    OffsetUnit,    // the offsets agree with no unit of the coordinates
    TimingError,   // a shot whose picks are all early or late
    Outlier,       // a pick far from its shot's first-break curve
    Reciprocity,   // a pair of shots whose reciprocal times disagree
    Repeat,        // two shots from one source position that disagree
    ZeroFilled,    // a run of records that are zero in every byte
    TooLarge,      // a shot too large to judge its picks
    VaryingSource, // a source attribute that is not constant within a shot
    RepeatedFfid,  // a shot whose ffid an earlier shot already carries
    NonFinite,     // a float field that is NaN or infinite
    StepRun,       // a run of neighbouring picks off the curve by one step
    Velocity,      // a fitted velocity no ground has
    SourceDelay,   // a shot whose fitted time at the source is before its shot
    OffOnset,      // a pick further than a tolerance from its trace's onset
    CycleSkip,     // a run of picks about one period off the arrival
    WeakOnset,     // a first break too weak to judge the pick against
    Count
};
constexpr int KindCount = int(Kind::Count);

// How much a kind of finding weighs: a problem makes a file not clean, a
// note is said but does not.
enum class Severity : quint8 { Problem, Note };

// What a finding is about.
enum class Scope : quint8 { File, Shot, Pick, Pair };

// What a kind's findings are judged from, and so what an edit of picks or
// a new threshold makes judge again: one shot's records (again when that
// shot's picks change), the compared pairs (again after any edit or a new
// tolerance), or the file as a whole (its header, sizes and ffids, which
// no edit of picks changes). A shot the pass could not judge is a note of
// the pass that nothing judges again. Picks judged against their traces
// are judged by the waveform pass, when traces are open; an edit keeps
// them as they were.
enum class Basis : quint8 { ShotRecords, Pairs, File, Pass, Traces };

// Bits of Finding::flags.
enum FindingFlag : quint8 {
    // A flagged pair that a shot timing error accounts for; Finding::shot is
    // then the shot with the error.
    Explained = 1,
    // A timing error told by the shot's time at its source against its
    // neighbours', for a shot in too few compared pairs (an end-on spread
    // compares none).
    BySourceDelay = 2
};

// One finding. Plain and fixed-size, so that millions of them can be kept
// compactly and spilled to disk. Shots and records are 0-based; -1 where
// a field does not apply.
struct Finding
{
    Kind kind = Kind::Count;
    qint8 column = -1;     // FbColumns::Column of the field concerned
    quint8 flags = 0;      // FindingFlag bits
    qint8 side = -1;       // Side of a pick, or -1
    qint32 shot = -1;      // the shot it is filed under
    qint32 record = -1;    // the pick's record, or the first of a run
    qint32 otherShot = -1; // the pair's other shot, or the first shot of an ffid
    qint32 fbNo = 0;       // of the pick's record
    qint32 channel = 0;
    qint32 offset = 0;
    float value = 0.0f; // the kind's main number (see KindInfo::valueName)
    float a = 0.0f;     // the kind's details
    float b = 0.0f;
    qint64 count = 0; // how many: records, shots, pairs
};

// A kind's row of the table: everything that reports and views need to
// know about it.
struct KindInfo
{
    Kind kind;
    const char *key;       // stable name for scripts: "outlier"
    const char *titleText; // untranslated plural title, context "FbQc::Kind"
    Severity severity;
    Scope scope;
    Basis basis;
    // The table of `fbtool qc --csv` that lists its findings, and that
    // table's header; kinds sharing a file share its columns.
    const char *csvFile;
    // The value column's name in the window and the unit it is in.
    const char *valueName;
    const char *unit;
    // Found only when picks are judged (fbtool qc, the QC window), not by
    // fbtool check.
    bool judgedOnly;
    // Findings with the same otherShot are one item (the shots of one
    // repeated ffid): counted and listed together.
    bool grouped;

    QString title() const;
    // A finding as one line of plain text, for the printed report and the
    // window's problem list (context "FbQc::Kind").
    QString describe(const Finding &finding, const Report &report) const;
    // How bad it is, for "the worst first": larger is worse.
    double weight(const Finding &finding) const;
};

// Kinds found by judging picks against their traces: said only when traces
// were read.
inline bool readsTraces(Kind kind)
{
    return kind == Kind::OffOnset || kind == Kind::CycleSkip || kind == Kind::WeakOnset;
}

// Every kind, in Kind order.
const KindInfo *kinds();
// The kinds whose findings each shot's own checks make from its records,
// filed shot by shot (Basis::ShotRecords, any scope but the file's): what
// judging an edited shot again replaces. In Kind order.
const std::vector<Kind> &shotKinds();
// The kinds judged from the compared pairs, in Kind order.
const std::vector<Kind> &pairKinds();
const KindInfo &kindInfo(Kind kind);
// The kind whose key is key, or nullptr.
const KindInfo *kindNamed(const QString &key);

} // namespace FbQc

Q_DECLARE_TYPEINFO(FbQc::Finding, Q_PRIMITIVE_TYPE);

#endif // FBQC_FINDING_H

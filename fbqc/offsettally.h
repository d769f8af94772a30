#ifndef FBQC_OFFSETTALLY_H
#define FBQC_OFFSETTALLY_H

#include <fbfile/fblayout.h>

#include <QtGlobal>

// How a file's offsets compare with the distance between source and
// receiver that its coordinates give: for each factor a file may use (the
// integer lengths in 1/1, 1/10, 1/100 or 1/1000 of the coordinates' unit),
// how many records agree with it. Records are added shot by shot on any
// thread and tallies added in file order, so the verdict is the same for
// every thread count.
//
// A record is examined when its offset is not 0 and its source and receiver
// are at finite, distinct positions; it agrees with factor F when |offset|
// lies within AgreeFraction of F times the distance (jittered stations,
// rounding and crossline sources stay well within; the factors are ten
// times apart, so no record agrees with two).
//
// Usage:
//   OffsetTally t;  for (...) t.add(record);  total.add(t);
//   if (total.found()) ... total.factor();
namespace FbQc {

class OffsetTally
{
public:
    static constexpr int FactorCount = 4;
    static constexpr int Factors[FactorCount] = {1, 10, 100, 1000};
    static constexpr double AgreeFraction = 0.2;
    // Of the examined records, the share that must agree with one factor.
    static constexpr double FoundShare = 0.9;
    // Fewer examined records than this say nothing.
    static constexpr qint64 MinExamined = 10;

    void add(const FbFile::FbRecord &r);
    void add(const OffsetTally &other);

    qint64 examined() const { return m_examined; }
    qint64 agreeing(int factorIndex) const { return m_agree[factorIndex]; }
    // The factor most examined records agree with (1 on a tie or with none).
    int factor() const;
    // Enough records were examined and FoundShare of them agree with factor().
    bool found() const;
    // Too few records to tell.
    bool unknown() const { return m_examined < MinExamined; }

private:
    qint64 m_examined = 0;
    qint64 m_agree[FactorCount] = {};
};

} // namespace FbQc

#endif // FBQC_OFFSETTALLY_H

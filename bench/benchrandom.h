#ifndef BENCHRANDOM_H
#define BENCHRANDOM_H

#include <fbfile/fbgenerator.h>

#include <cstddef>

// Random numbers of the benches' own, the same on every machine: the
// generator's sequence, drawn in ranges, so a bench's seed names its cases
// everywhere.
class BenchRandom
{
public:
    explicit BenchRandom(quint64 seed) : m_random(seed) { }
    quint64 next() { return m_random.next(); }
    // Uniform in [lo, hi).
    double uniform(double lo, double hi) { return lo + (hi - lo) * m_random.uniform(); }
    // Uniform in lo..hi, both included.
    int integer(int lo, int hi) { return lo + int(next() % quint64(hi - lo + 1)); }
    template<typename T, size_t N>
    const T &pick(const T (&from)[N])
    {
        return from[next() % N];
    }

private:
    FbFile::FbGenerator::Random m_random;
};

#endif // BENCHRANDOM_H

#ifndef FBQC_MEMORYADVICE_H
#define FBQC_MEMORYADVICE_H

#include <QtGlobal>

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

// How the QC pass asks the system to lay out lists of millions of per-shot
// entries. Hints only: where the system cannot heed them nothing changes but
// the time taken.
namespace FbQc {

// Asks for large pages under a list of millions of shot entries: faulting
// in a gigabyte page by page costs more than the rest of a pass over
// one-record shots. Only a hint; nothing changes where it is not heeded.
void adviseLargePages(const void *data, size_t bytes);

// Faults in the reserved room of per-shot lists on a thread of its own,
// a little ahead of the pass that fills them: where a fresh page is dear,
// its cost then falls on the core that shots too small to fit leave idle.
// Writes no byte, so the lists may be filled meanwhile; stays at most
// about 32 MiB ahead, so that room reserved for shots that never come is
// never faulted in. Does nothing where the system cannot populate pages.
//
//   RoomFaulter faulter;
//   faulter.start({{list.constData(), sizeof(Entry)}}, list.capacity());
//   ... after each batch: faulter.advance(list.size());
//   faulter.stop();   // before the lists are freed or moved
class RoomFaulter
{
public:
    struct Room
    {
        const void *data;
        size_t bytesPerShot;
    };
    ~RoomFaulter() { stop(); }
    // Rooms for `shots` shots each.
    void start(const std::vector<Room> &rooms, size_t shots);
    // Shots up to `filled` are in the lists.
    void advance(size_t filled);
    void stop();

private:
    void run();

    std::vector<Room> m_rooms;
    size_t m_shots = 0;
    size_t m_ahead = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_moved;
    size_t m_filled = 0;
    bool m_stop = false;
};

} // namespace FbQc

#endif // FBQC_MEMORYADVICE_H

#include <fbqc/memoryadvice.h>

#include <algorithm>
#include <system_error>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace FbQc {

void adviseLargePages(const void *data, size_t bytes)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
    const quintptr begin = (quintptr(data) + page - 1) / page * page;
    const quintptr end = (quintptr(data) + bytes) / page * page;
    if (end > begin)
        madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
#endif
}

void RoomFaulter::start(const std::vector<Room> &rooms, size_t shots)
{
    stop();
#if defined(Q_OS_LINUX) && defined(MADV_POPULATE_WRITE)
    size_t bytesPerShot = 0;
    for (const Room &room : rooms)
        bytesPerShot += room.bytesPerShot;
    if (bytesPerShot == 0 || shots == 0)
        return;
    m_rooms = rooms;
    m_shots = shots;
    m_ahead = std::max<size_t>(1, (size_t(32) << 20) / bytesPerShot);
    m_filled = 0;
    m_stop = false;
    try {
        m_thread = std::thread(&RoomFaulter::run, this);
    } catch (const std::system_error &) {
        // No thread to be had: the pass faults its pages in itself.
    }
#else
    Q_UNUSED(rooms);
    Q_UNUSED(shots);
#endif
}

void RoomFaulter::advance(size_t filled)
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_filled = filled;
    }
    m_moved.notify_one();
}

void RoomFaulter::stop()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_moved.notify_one();
    m_thread.join();
}

void RoomFaulter::run()
{
#if defined(Q_OS_LINUX) && defined(MADV_POPULATE_WRITE)
    const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
    size_t faulted = 0;
    while (faulted < m_shots) {
        size_t upTo = 0;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_moved.wait(lock, [&] { return m_stop || m_filled + m_ahead > faulted; });
            if (m_stop)
                return;
            upTo = std::min(m_shots, m_filled + m_ahead);
        }
        for (const Room &room : m_rooms) {
            const quintptr from = (quintptr(room.data) + faulted * room.bytesPerShot) / page * page;
            const quintptr to = (quintptr(room.data) + upTo * room.bytesPerShot + page - 1) / page * page;
            // A system without the request, or room given back: stop.
            if (madvise(reinterpret_cast<void *>(from), to - from, MADV_POPULATE_WRITE) != 0)
                return;
        }
        faulted = upTo;
    }
#endif
}

} // namespace FbQc

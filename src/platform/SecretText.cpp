// Zero filling of secret texts and buffers.
#include "platform/SecretText.h"

#include <cstring>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace SecretText {

void Zero(void* p, std::size_t n)
{
    if (!p || n == 0) {
        return;
    }
    // Through a volatile function pointer, so the store is not dropped as dead.
    static void* (*const volatile fill)(void*, int, std::size_t) = std::memset;
    fill(p, 0, n);
}

namespace {

template <typename Pointer> void zeroBuffer(Pointer& d)
{
    // Only a buffer of our own heap: literals and raw data have no header and stay as they are.
    if (!d.isMutable()) {
        return;
    }
    auto* start = d.data() - d.freeSpaceAtBegin();
    Zero(start, std::size_t(d.allocatedCapacity()) * sizeof(*start));
}

} // namespace

void Wipe(QString& rsText)
{
    zeroBuffer(rsText.data_ptr());
    rsText = QString();
}

void Wipe(QByteArray& rBytes)
{
    zeroBuffer(rBytes.data_ptr());
    rBytes = QByteArray();
}

void Wipe(QList<QStringList> records)
{
    for (QStringList& record : records) {
        for (QString& text : record) {
            Wipe(text);
        }
    }
}

void DropFreedMemory()
{
#ifdef __GLIBC__
    ::malloc_trim(0);
#endif
}

void Release(QString& rsText)
{
    if (rsText.isDetached()) {
        Wipe(rsText);
    } else {
        rsText = QString();
    }
}

void Release(QByteArray& rBytes)
{
    if (rBytes.isDetached()) {
        Wipe(rBytes);
    } else {
        rBytes = QByteArray();
    }
}

} // namespace SecretText

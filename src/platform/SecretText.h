// Overwriting secrets in memory: texts, byte arrays and raw buffers are filled with zeros before
// their memory is given back, so that a password does not outlive its use in freed memory.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstddef>

namespace SecretText {

// Fills n bytes with zeros; the compiler cannot leave it out because the memory is freed next.
void Zero(void* p, std::size_t n);

// Fills the whole buffer of the text with zeros (its spare room too) and empties the text. The
// buffer is the one every copy of the text shares: they all read zeros afterwards, so only call
// it where every copy is done with. Text in read-only memory (a literal) is only emptied.
void Wipe(QString& rsText);
void Wipe(QByteArray& rBytes);
// Wipes every text of the records (through this copy of the list, so the buffers the caller's
// copies share read zeros too).
void Wipe(QList<QStringList> records);

// Gives the whole pages of freed memory back to the system, where the allocator supports it:
// they no longer count as the program's memory, and what they held (copies made by code that
// does not zero) is gone with them.
void DropFreedMemory();

// Wipes the text only when no other copy shares its buffer; otherwise only empties this copy and
// leaves the buffer to its other holders.
void Release(QString& rsText);
void Release(QByteArray& rBytes);

// A text copy for one use (painting, comparing, handing to the clipboard) that wipes its buffer
// when it goes, unless a copy of it is still held elsewhere.
class Scoped
{
public:
    explicit Scoped(QString sText) : m_text(std::move(sText)) {}
    ~Scoped() { Release(m_text); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

} // namespace SecretText

// The cell texts of the list in memory the list owns: blocks of characters that never move and
// are zeroed before they are freed, so that a text (a password in a hidden column) leaves no copy
// behind when the list is cleared, rewritten or grows.
#pragma once

#include <QStringView>
#include <QtGlobal>
#include <cstddef>
#include <memory>
#include <vector>

class GridTextStore
{
public:
    GridTextStore() = default;
    ~GridTextStore();
    GridTextStore(const GridTextStore&) = delete;
    GridTextStore& operator=(const GridTextStore&) = delete;
    GridTextStore(GridTextStore&& other) noexcept;
    GridTextStore& operator=(GridTextStore&& other) noexcept;

    // Stores a text; gives the position it is read back from (its room is its length).
    quint32 Add(QStringView text);
    // The text of length characters at a position.
    QStringView View(quint32 lPosition, quint32 lLength) const;
    // Writes a text over the room of a stored text (no longer than the room) and zeroes the
    // rest of the room.
    void Write(quint32 lPosition, quint32 lRoom, QStringView text);
    // Zeroes the room of a text no longer used; it stays taken until the store is cleared.
    void Erase(quint32 lPosition, quint32 lRoom);
    // Zeroes and frees everything.
    void Clear();

    // Characters taken, and those of them erased.
    std::size_t Taken() const { return m_taken; }
    std::size_t Erased() const { return m_erased; }

private:
    // Characters per block; a longer text gets a block of its own.
    static constexpr quint32 BlockShift = 15;
    static constexpr quint32 BlockSize = 1u << BlockShift;
    struct Block
    {
        std::unique_ptr<char16_t[]> chars;
        quint32 size = 0;
    };
    char16_t* at(quint32 lPosition) const;

    std::vector<Block> m_blocks;
    // Characters used in the last ordinary block; BlockSize when a new one is needed.
    quint32 m_used = BlockSize;
    // The index of the block that m_used counts.
    std::size_t m_current = 0;
    std::size_t m_taken = 0;
    std::size_t m_erased = 0;
};

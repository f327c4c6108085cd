// Block storage of the list's cell texts, zeroed when it is given back.
#include "platform/GridTextStore.h"

#include "platform/SecretText.h"

#include <algorithm>
#include <cstring>
#include <utility>

GridTextStore::~GridTextStore()
{
    Clear();
}

GridTextStore::GridTextStore(GridTextStore&& other) noexcept
    : m_blocks(std::move(other.m_blocks)), m_used(std::exchange(other.m_used, BlockSize)),
      m_current(std::exchange(other.m_current, 0)), m_taken(std::exchange(other.m_taken, 0)),
      m_erased(std::exchange(other.m_erased, 0))
{
    other.m_blocks.clear();
}

GridTextStore& GridTextStore::operator=(GridTextStore&& other) noexcept
{
    if (this != &other) {
        Clear();
        m_blocks = std::move(other.m_blocks);
        other.m_blocks.clear();
        m_used = std::exchange(other.m_used, BlockSize);
        m_current = std::exchange(other.m_current, 0);
        m_taken = std::exchange(other.m_taken, 0);
        m_erased = std::exchange(other.m_erased, 0);
    }
    return *this;
}

char16_t* GridTextStore::at(quint32 lPosition) const
{
    return m_blocks[lPosition >> BlockShift].chars.get() + (lPosition & (BlockSize - 1));
}

quint32 GridTextStore::Add(QStringView text)
{
    const auto length = static_cast<quint32>(text.size());
    if (length == 0) {
        return 0;
    }
    quint32 position = 0;
    if (length > BlockSize / 4) {
        // A long text in a block of its own, so the ordinary blocks stay full.
        Block block;
        block.chars = std::make_unique<char16_t[]>(length);
        block.size = length;
        position = static_cast<quint32>(m_blocks.size()) << BlockShift;
        m_blocks.push_back(std::move(block));
    } else {
        if (m_used + length > BlockSize) {
            Block block;
            block.chars = std::make_unique<char16_t[]>(BlockSize);
            block.size = BlockSize;
            m_current = m_blocks.size();
            m_blocks.push_back(std::move(block));
            m_used = 0;
        }
        position = (static_cast<quint32>(m_current) << BlockShift) | m_used;
        m_used += length;
    }
    std::memcpy(at(position), text.utf16(), length * sizeof(char16_t));
    m_taken += length;
    return position;
}

QStringView GridTextStore::View(quint32 lPosition, quint32 lLength) const
{
    if (lLength == 0) {
        return {};
    }
    return QStringView(at(lPosition), static_cast<qsizetype>(lLength));
}

void GridTextStore::Write(quint32 lPosition, quint32 lRoom, QStringView text)
{
    if (lRoom == 0) {
        return;
    }
    char16_t* target = at(lPosition);
    const auto length = std::min<quint32>(lRoom, static_cast<quint32>(text.size()));
    // The text may be a view of this very room.
    std::memmove(target, text.utf16(), length * sizeof(char16_t));
    SecretText::Zero(target + length, (lRoom - length) * sizeof(char16_t));
}

void GridTextStore::Erase(quint32 lPosition, quint32 lRoom)
{
    if (lRoom == 0) {
        return;
    }
    SecretText::Zero(at(lPosition), lRoom * sizeof(char16_t));
    m_erased += lRoom;
}

void GridTextStore::Clear()
{
    for (Block& block : m_blocks) {
        SecretText::Zero(block.chars.get(), block.size * sizeof(char16_t));
    }
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_used = BlockSize;
    m_current = 0;
    m_taken = 0;
    m_erased = 0;
}

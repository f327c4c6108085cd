// The list control of the main window: storage, layout, painting, sorting and input.
#include "platform/Grid.h"

#include "platform/AppError.h"
#include "platform/SecretText.h"
#include "platform/TextCollation.h"
#include "platform/VbKey.h"

#include <QCollator>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <algorithm>
#include <numeric>
#include <utility>

namespace {

[[noreturn]] void outOfRange()
{
    throw AppError(AppError::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
}

constexpr int kDefaultColumnWidth = 64;

// A string over the list's own characters, not a copy of them.
QString rawString(QStringView text)
{
    return QString::fromRawData(reinterpret_cast<const QChar*>(text.utf16()), text.size());
}

// The most characters of a wrapped text the list lays out: a note of megabytes would take
// seconds to wrap on every paint. A longer text is shown to there, ended by an ellipsis.
constexpr qsizetype kShownChars = 2000;

// What the list shows of a wrapped text: the text itself where it keeps it, or a copy of its
// start with an ellipsis, zeroed when done with.
class ShownText
{
public:
    explicit ShownText(QStringView text)
        : m_copy(text.size() > kShownChars ? cut(text) : QString()),
          m_text(text.size() > kShownChars ? QStringView(m_copy.text()) : text)
    {
    }
    QString text() const { return rawString(m_text); }

private:
    // The start and the ellipsis made in one buffer, so that no step leaves a copy behind.
    static QString cut(QStringView text)
    {
        QString start;
        start.reserve(kShownChars + 1);
        start += text.first(kShownChars);
        start += QChar(0x2026);
        return start;
    }

    const SecretText::Scoped m_copy;
    const QStringView m_text;
};

} // namespace

int Grid::SortSpec::IndexOf(int lColumn) const
{
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        if (m_keys[i].column == lColumn) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

void Grid::SortSpec::SetKey(int lPosition, int lColumn, int lSortType, int lOrder)
{
    if (lPosition == Count() + 1) {
        m_keys.push_back({lColumn, lSortType, lOrder});
    } else if (lPosition >= 1 && lPosition <= Count()) {
        m_keys[static_cast<std::size_t>(lPosition - 1)] = {lColumn, lSortType, lOrder};
    } else {
        outOfRange();
    }
}

Grid::Grid(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
    m_alternateColor = palette().color(QPalette::AlternateBase);

    m_headerModel = new QStandardItemModel(this);
    m_header = new QHeaderView(Qt::Horizontal, this);
    m_header->setModel(m_headerModel);
    m_header->setSectionsClickable(true);
    m_header->setSortIndicatorShown(false);
    m_header->setHighlightSections(false);
    m_header->setStretchLastSection(false);
    m_header->setMinimumSectionSize(1);
    m_header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(m_header, &QHeaderView::sectionClicked, this,
            [this](int logical) { Q_EMIT ColumnClick(logical + 1); });
    connect(m_header, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        if (m_settingUpHeader || logical < 0 || logical >= GridColumnCount()) {
            return;
        }
        m_columns[static_cast<std::size_t>(logical)].width = size;
        updateScrollBars();
        viewport()->update();
        Q_EMIT ColumnWidthChanged(logical + 1, size);
    });

    // The same order as the lists have when they are read from the data file.
    m_collator = std::make_unique<QCollator>(TextCollation::Collator());

    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(GridDefaultRowHeight());
}

Grid::~Grid() = default;

void Grid::repaintIfAllowed()
{
    if (m_redraw) {
        updateScrollBars();
        viewport()->update();
    }
}

void Grid::GridRedraw(bool bRedraw)
{
    m_redraw = bRedraw;
    viewport()->setUpdatesEnabled(bRedraw);
    repaintIfAllowed();
}

void Grid::GridClear(bool bRemoveColumns)
{
    // The texts are zeroed as their store is freed.
    m_rows.clear();
    m_cells.clear();
    m_cells.shrink_to_fit();
    m_texts.Clear();
    m_styles.assign(1, Style());
    m_selected = 0;
    m_sortSpec.Clear();
    if (bRemoveColumns) {
        m_columns.clear();
        m_keySearchColumn = 0;
        m_rowTextStartColumn = 0;
        SetHeaders();
    }
    layoutChanged();
}

void Grid::GridAddColumn(const QString& sKey, const QString& sHeader, int lWidth, bool bVisible,
                         bool bRowText, int lSortType)
{
    Column column;
    column.key = sKey;
    column.header = sHeader;
    column.width = lWidth >= 0 ? lWidth : kDefaultColumnWidth;
    column.visible = bVisible;
    column.rowText = bRowText;
    column.sortType = lSortType;
    m_columns.push_back(column);
    if (!m_rows.empty()) {
        // Each row gets an empty cell for the new column.
        const std::size_t before = m_columns.size() - 1;
        std::vector<Cell> cells;
        cells.reserve(m_rows.size() * m_columns.size());
        for (Row& row : m_rows) {
            const auto first = static_cast<quint32>(cells.size());
            cells.insert(cells.end(), m_cells.begin() + std::ptrdiff_t(row.firstCell),
                         m_cells.begin() + std::ptrdiff_t(row.firstCell + before));
            cells.emplace_back();
            row.firstCell = first;
        }
        m_cells = std::move(cells);
    }
}

int Grid::GridColumnIndex(const QString& sKey) const
{
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].key.compare(sKey, Qt::CaseInsensitive) == 0) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

QString Grid::GridColumnKey(int lColumn) const
{
    if (!validColumn(lColumn)) {
        outOfRange();
    }
    return m_columns[static_cast<std::size_t>(lColumn - 1)].key;
}

int Grid::GridColumnWidth(int lColumn) const
{
    if (!validColumn(lColumn)) {
        outOfRange();
    }
    return m_columns[static_cast<std::size_t>(lColumn - 1)].width;
}

bool Grid::GridColumnVisible(int lColumn) const
{
    if (!validColumn(lColumn)) {
        outOfRange();
    }
    const Column& column = m_columns[static_cast<std::size_t>(lColumn - 1)];
    return column.visible && !column.rowText;
}

QString Grid::GridColumnHeader(int lColumn) const
{
    if (!validColumn(lColumn)) {
        outOfRange();
    }
    return m_columns[static_cast<std::size_t>(lColumn - 1)].header;
}

void Grid::SetHeaders()
{
    syncHeader();
    layoutChanged();
}

void Grid::syncHeader()
{
    m_settingUpHeader = true;
    m_headerModel->clear();
    m_headerModel->setColumnCount(GridColumnCount());
    for (int i = 0; i < GridColumnCount(); ++i) {
        const Column& column = m_columns[static_cast<std::size_t>(i)];
        m_headerModel->setHorizontalHeaderItem(i, new QStandardItem(column.header));
        m_header->resizeSection(i, column.width);
        m_header->setSectionHidden(i, !column.visible || column.rowText);
    }
    m_header->setSortIndicatorShown(false);
    m_settingUpHeader = false;
    QMargins margins;
    margins.setTop(GridColumnCount() > 0 ? m_header->sizeHint().height() : 0);
    setViewportMargins(margins);
    m_header->setVisible(GridColumnCount() > 0);
    placeHeader();
}

void Grid::GridAddRow(const QString& sID)
{
    Row row;
    row.id = sID.toLong();
    row.firstCell = static_cast<quint32>(m_cells.size());
    m_cells.resize(m_cells.size() + m_columns.size());
    row.height = GridDefaultRowHeight();
    m_rows.push_back(std::move(row));
    layoutChanged();
}

void Grid::requireCell(int lRow, int lColumn) const
{
    if (!validRow(lRow) || !validColumn(lColumn)) {
        outOfRange();
    }
}

Grid::Cell& Grid::cell(int lRow, int lColumn)
{
    requireCell(lRow, lColumn);
    return m_cells[m_rows[static_cast<std::size_t>(lRow - 1)].firstCell +
                   static_cast<std::size_t>(lColumn - 1)];
}

const Grid::Cell* Grid::cellOrNull(int lRow, int lColumn) const
{
    if (!validRow(lRow) || !validColumn(lColumn)) {
        return nullptr;
    }
    return &cellAt(m_rows[static_cast<std::size_t>(lRow - 1)],
                   static_cast<std::size_t>(lColumn - 1));
}

void Grid::storeText(Cell& target, QStringView sText)
{
    const auto length = static_cast<quint32>(sText.size());
    if (length <= target.room) {
        m_texts.Write(target.position, target.room, sText);
        target.length = length;
        return;
    }
    // The new text is stored first: it may be a view of another cell's text.
    const quint32 position = m_texts.Add(sText);
    m_texts.Erase(target.position, target.room);
    target.position = position;
    target.length = length;
    target.room = length;
}

void Grid::compactTexts()
{
    constexpr std::size_t kSlack = 1u << 16;
    if (m_texts.Erased() < kSlack || m_texts.Erased() * 2 < m_texts.Taken()) {
        return;
    }
    GridTextStore texts;
    for (const Row& row : m_rows) {
        for (std::size_t c = 0; c < m_columns.size(); ++c) {
            Cell& content = m_cells[row.firstCell + c];
            content.position = texts.Add(textOf(content));
            content.room = content.length;
        }
    }
    // The old store is zeroed as it goes.
    m_texts = std::move(texts);
}

quint32 Grid::styleIndex(int lFormat, const QColor& color)
{
    for (std::size_t i = 0; i < m_styles.size(); ++i) {
        if (m_styles[i].format == lFormat && m_styles[i].color == color) {
            return static_cast<quint32>(i);
        }
    }
    m_styles.push_back({lFormat, color});
    return static_cast<quint32>(m_styles.size() - 1);
}

void Grid::GridSetCell(int lRow, int lColumn, QStringView sText, int lFormat, const QColor& color)
{
    Cell& target = cell(lRow, lColumn);
    storeText(target, sText);
    target.style = styleIndex(lFormat, color);
    m_rows[static_cast<std::size_t>(lRow - 1)].rowTextWidth = -1;
    compactTexts();
    if (m_redraw) {
        viewport()->update();
    }
}

QString Grid::GridCellText(int lRow, int lColumn) const
{
    return GridCellView(lRow, lColumn).toString();
}

QStringView Grid::GridCellView(int lRow, int lColumn) const
{
    const Cell* target = cellOrNull(lRow, lColumn);
    if (!target) {
        outOfRange();
    }
    return textOf(*target);
}

void Grid::setGridCellText(int lRow, int lColumn, QStringView sText)
{
    storeText(cell(lRow, lColumn), sText);
    m_rows[static_cast<std::size_t>(lRow - 1)].rowTextWidth = -1;
    compactTexts();
    if (m_redraw) {
        viewport()->update();
    }
}

QColor Grid::GridCellColor(int lRow, int lColumn) const
{
    const Cell* target = cellOrNull(lRow, lColumn);
    if (!target) {
        outOfRange();
    }
    return m_styles[target->style].color;
}

int Grid::GridCellFormat(int lRow, int lColumn) const
{
    const Cell* target = cellOrNull(lRow, lColumn);
    if (!target) {
        outOfRange();
    }
    return m_styles[target->style].format;
}

long Grid::GridRowID(int lRow) const
{
    if (!validRow(lRow)) {
        outOfRange();
    }
    return m_rows[static_cast<std::size_t>(lRow - 1)].id;
}

void Grid::GridRowVisible(int lRow, bool bVisible)
{
    if (!validRow(lRow)) {
        outOfRange();
    }
    Row& row = m_rows[static_cast<std::size_t>(lRow - 1)];
    if (row.visible != bVisible) {
        row.visible = bVisible;
        layoutChanged();
    }
}

bool Grid::isGridRowVisible(int lRow) const
{
    if (!validRow(lRow)) {
        outOfRange();
    }
    return m_rows[static_cast<std::size_t>(lRow - 1)].visible;
}

void Grid::GridRowHeight(int lRow, int lHeight)
{
    if (!validRow(lRow) || lHeight < 0) {
        outOfRange();
    }
    m_rows[static_cast<std::size_t>(lRow - 1)].height = lHeight;
    layoutChanged();
}

int Grid::gridRowHeight(int lRow) const
{
    if (!validRow(lRow)) {
        outOfRange();
    }
    return m_rows[static_cast<std::size_t>(lRow - 1)].height;
}

bool Grid::fitsOneLine(QStringView text, int lWidth) const
{
    // A quick, safe bound for short plain texts, the common notes: the sum of the characters'
    // own advances with room to spare. Anything else is laid out in full.
    if (m_asciiAdvances.empty()) {
        const QFontMetricsF metrics(font());
        m_asciiAdvances.assign(128, 0.0);
        for (char16_t ch = 0x20; ch < 0x7F; ++ch) {
            m_asciiAdvances[ch] = metrics.horizontalAdvance(QChar(ch));
        }
    }
    const qreal room = lWidth * 0.9 - 4.0;
    qreal total = 0.0;
    for (const QChar ch : text) {
        const char16_t code = ch.unicode();
        if (code < 0x20 || code >= 0x7F) {
            return false;
        }
        total += m_asciiAdvances[code];
        if (total > room) {
            return false;
        }
    }
    return true;
}

int Grid::textHeight(QStringView sText, int lWidth, bool bWrap) const
{
    const QFontMetrics metrics(font());
    if (!bWrap || fitsOneLine(sText, lWidth)) {
        return metrics.height();
    }
    // The text where the list keeps it, not a copy.
    const ShownText shown(sText);
    const QRect bounds =
        metrics.boundingRect(QRect(0, 0, std::max(1, lWidth), 1 << 20),
                             Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, shown.text());
    return std::max(bounds.height(), metrics.height());
}

void Grid::GridAutoRowHeight(int lRow, int lMinHeight)
{
    if (!validRow(lRow)) {
        outOfRange();
    }
    int height = lMinHeight;
    for (int c = 1; c <= GridColumnCount(); ++c) {
        const Column& column = m_columns[static_cast<std::size_t>(c - 1)];
        if (!column.visible || column.rowText) {
            continue;
        }
        height = std::max(height, GridCellTextHeight(lRow, c) + 2 * padding());
    }
    GridRowHeight(lRow, height);
}

int Grid::shownColumnsWidth() const
{
    int width = 0;
    for (const Column& column : m_columns) {
        if (column.visible && !column.rowText) {
            width += column.width;
        }
    }
    return width;
}

int Grid::GridCellTextHeight(int lRow, int lColumn) const
{
    const Cell* target = cellOrNull(lRow, lColumn);
    if (!target) {
        outOfRange();
    }
    if (target->length == 0) {
        return 0;
    }
    const Column& column = m_columns[static_cast<std::size_t>(lColumn - 1)];
    if (column.rowText) {
        // Row text spans the row from its start column to the right edge of the last column.
        const Row& row = m_rows[static_cast<std::size_t>(lRow - 1)];
        const int width = rowTextRect().width() - 2 * padding();
        if (row.rowTextWidth != width) {
            row.rowTextHeight = textHeight(textOf(*target), width, true);
            row.rowTextWidth = width;
        }
        return row.rowTextHeight;
    }
    const int format = m_styles[target->style].format;
    const bool wrap = (format & DT_WORDBREAK) && !(format & DT_END_ELLIPSIS);
    return textHeight(textOf(*target), column.width - 2 * padding(), wrap);
}

QRect Grid::rowTextRect() const
{
    // Horizontal extent of the row text in content coordinates.
    int left = 0;
    if (validColumn(m_rowTextStartColumn)) {
        for (int c = 1; c < m_rowTextStartColumn; ++c) {
            const Column& column = m_columns[static_cast<std::size_t>(c - 1)];
            if (column.visible && !column.rowText) {
                left += column.width;
            }
        }
    }
    const int right = std::max(shownColumnsWidth(), viewport()->width());
    return QRect(left, 0, std::max(1, right - left), 1);
}

int Grid::GridDefaultRowHeight() const
{
    return std::max(18, QFontMetrics(font()).height() + 2 * padding());
}

int Grid::GridRowTextColumn() const
{
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].rowText) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

bool Grid::GridIsGroupRow(int lRow) const
{
    if (!validRow(lRow)) {
        outOfRange();
    }
    // This list has no grouping: no row is a group heading.
    return false;
}

void Grid::GridGroupRowState(int lRow, int /*lState*/)
{
    if (!GridIsGroupRow(lRow)) {
        throw AppError(AppError::InvalidProcedureCall,
                       QStringLiteral("Invalid procedure call or argument"));
    }
}

void Grid::GridSelectCell(int lRow, int lColumn, bool bSelected)
{
    requireCell(lRow, lColumn);
    const int before = m_selected;
    if (bSelected) {
        m_selected = lRow;
    } else if (m_selected == lRow) {
        m_selected = 0;
    }
    if (m_redraw) {
        viewport()->update();
    }
    if (m_selected != before) {
        Q_EMIT selectionChanged();
    }
}

void Grid::GridEnsureVisible(int lRow, int lColumn)
{
    requireCell(lRow, lColumn);
    ensureLayout();
    const int position = m_visibleIndex[static_cast<std::size_t>(lRow - 1)];
    if (position < 0) {
        return;
    }
    updateScrollBars();
    const int top = m_visibleTops[static_cast<std::size_t>(position)];
    const int bottom = top + m_rows[static_cast<std::size_t>(lRow - 1)].height;
    QScrollBar* bar = verticalScrollBar();
    if (top < bar->value()) {
        bar->setValue(top);
    } else if (bottom > bar->value() + viewport()->height()) {
        bar->setValue(std::min(top, bottom - viewport()->height()));
    }
}

void Grid::GridClearSelection()
{
    const int before = std::exchange(m_selected, 0);
    if (m_redraw) {
        viewport()->update();
    }
    if (before != 0) {
        Q_EMIT selectionChanged();
    }
}

void Grid::GridRemoveRow(int lRow)
{
    if (!validRow(lRow)) {
        outOfRange();
    }
    // Its texts are zeroed; its cells stay unused until the next clear.
    const std::size_t first = m_rows[static_cast<std::size_t>(lRow - 1)].firstCell;
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        Cell& content = m_cells[first + c];
        m_texts.Erase(content.position, content.room);
        content = Cell();
    }
    m_rows.erase(m_rows.begin() + (lRow - 1));
    compactTexts();
    if (m_selected == lRow) {
        m_selected = 0;
    } else if (m_selected > lRow) {
        --m_selected;
    }
    layoutChanged();
}

void Grid::GridCellFromPoint(int x, int y, int& rlRow, int& rlColumn) const
{
    rlRow = rowAt(y + verticalScrollBar()->value());
    rlColumn = 0;
    const int contentX = x + horizontalScrollBar()->value();
    int left = 0;
    for (int c = 1; c <= GridColumnCount(); ++c) {
        const Column& column = m_columns[static_cast<std::size_t>(c - 1)];
        if (!column.visible || column.rowText) {
            continue;
        }
        if (contentX >= left && contentX < left + column.width) {
            rlColumn = c;
            break;
        }
        left += column.width;
    }
    // A point in the row text belongs to the row-text column.
    if (rlRow > 0) {
        ensureLayout();
        const int position = m_visibleIndex[static_cast<std::size_t>(rlRow - 1)];
        const int top = m_visibleTops[static_cast<std::size_t>(position)];
        const int rowTextColumn = GridRowTextColumn();
        if (rowTextColumn > 0 && y + verticalScrollBar()->value() >= top + GridDefaultRowHeight() &&
            !GridCellView(rlRow, rowTextColumn).isEmpty()) {
            rlColumn = rowTextColumn;
        }
    }
}

int Grid::GridSortOrder(int lColumn) const
{
    if (!validColumn(lColumn)) {
        outOfRange();
    }
    return m_columns[static_cast<std::size_t>(lColumn - 1)].sortOrder;
}

void Grid::setGridSortOrder(int lColumn, int lOrder)
{
    if (!validColumn(lColumn)) {
        outOfRange();
    }
    m_columns[static_cast<std::size_t>(lColumn - 1)].sortOrder = lOrder;
}

int Grid::GridSortType(int lColumn) const
{
    if (!validColumn(lColumn)) {
        outOfRange();
    }
    return m_columns[static_cast<std::size_t>(lColumn - 1)].sortType;
}

void Grid::GridSort()
{
    if (m_sortSpec.m_keys.empty() || m_rows.empty()) {
        return;
    }
    for (const SortSpec::Key& key : m_sortSpec.m_keys) {
        if (!validColumn(key.column)) {
            outOfRange();
        }
    }
    // Collation keys once per row and key, then a stable sort of row positions. The texts are
    // read where the list keeps them, not copied.
    const std::size_t count = m_rows.size();
    std::vector<std::vector<QCollatorSortKey>> keys;
    keys.reserve(m_sortSpec.m_keys.size());
    for (const SortSpec::Key& key : m_sortSpec.m_keys) {
        std::vector<QCollatorSortKey> column;
        column.reserve(count);
        for (const Row& row : m_rows) {
            const QStringView text = textOf(cellAt(row, static_cast<std::size_t>(key.column - 1)));
            column.push_back(m_collator->sortKey(rawString(text)));
        }
        keys.push_back(std::move(column));
    }
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        for (std::size_t k = 0; k < keys.size(); ++k) {
            const int result = keys[k][a].compare(keys[k][b]);
            if (result != 0) {
                return m_sortSpec.m_keys[k].order == SortDescending ? result > 0 : result < 0;
            }
        }
        return false;
    });
    std::vector<Row> sorted;
    sorted.reserve(count);
    int selected = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (m_selected == static_cast<int>(order[i]) + 1) {
            selected = static_cast<int>(i) + 1;
        }
        sorted.push_back(std::move(m_rows[order[i]]));
    }
    m_rows = std::move(sorted);
    m_selected = selected;

    const SortSpec::Key& first = m_sortSpec.m_keys.front();
    m_settingUpHeader = true;
    m_header->setSortIndicatorShown(true);
    m_header->setSortIndicator(
        first.column - 1, first.order == SortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
    m_settingUpHeader = false;
    layoutChanged();
}

void Grid::setHighlightBackColor(const QColor& color)
{
    m_highlightColor = color;
    viewport()->update();
}

void Grid::setAlternateRowBackColor(const QColor& color)
{
    m_alternateColor = color;
    viewport()->update();
}

void Grid::layoutChanged()
{
    // Many rows change one after another (heights fitted, rows shown or hidden): the layout is
    // rebuilt once, when it is next needed, and the scroll bars follow once per event round.
    m_layoutDirty = true;
    Q_EMIT rowsChanged();
    if (m_redraw) {
        scheduleScrollBars();
        viewport()->update();
    }
}

void Grid::scheduleScrollBars()
{
    if (m_scrollBarsPending) {
        return;
    }
    m_scrollBarsPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_scrollBarsPending = false;
            if (m_redraw) {
                updateScrollBars();
            }
        },
        Qt::QueuedConnection);
}

void Grid::ensureLayout() const
{
    if (!m_layoutDirty) {
        return;
    }
    m_layoutDirty = false;
    m_visibleRows.clear();
    m_visibleTops.clear();
    m_visibleIndex.assign(m_rows.size(), -1);
    int top = 0;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (!m_rows[i].visible) {
            continue;
        }
        m_visibleIndex[i] = static_cast<int>(m_visibleRows.size());
        m_visibleRows.push_back(static_cast<int>(i));
        m_visibleTops.push_back(top);
        top += m_rows[i].height;
    }
    m_totalHeight = top;
}

void Grid::updateScrollBars()
{
    ensureLayout();
    QScrollBar* vertical = verticalScrollBar();
    vertical->setPageStep(std::max(1, viewport()->height()));
    vertical->setRange(0, std::max(0, m_totalHeight - viewport()->height()));
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setPageStep(std::max(1, viewport()->width()));
    horizontal->setRange(0, std::max(0, shownColumnsWidth() - viewport()->width()));
}

int Grid::rowAt(int y) const
{
    ensureLayout();
    if (y < 0 || y >= m_totalHeight || m_visibleTops.empty()) {
        return 0;
    }
    const auto it = std::upper_bound(m_visibleTops.begin(), m_visibleTops.end(), y);
    const auto position = static_cast<std::size_t>(std::distance(m_visibleTops.begin(), it) - 1);
    return m_visibleRows[position] + 1;
}

int Grid::visiblePosition(int lRow) const
{
    ensureLayout();
    return validRow(lRow) ? m_visibleIndex[static_cast<std::size_t>(lRow - 1)] : -1;
}

void Grid::resizeEvent(QResizeEvent* /*event*/)
{
    placeHeader();
}

void Grid::placeHeader()
{
    const QRect area = viewport()->geometry();
    const int headerHeight = GridColumnCount() > 0 ? m_header->sizeHint().height() : 0;
    m_header->setGeometry(area.left(), area.top() - headerHeight, area.width(), headerHeight);
    m_header->setOffset(horizontalScrollBar()->value());
    updateScrollBars();
}

void Grid::scrollContentsBy(int /*dx*/, int /*dy*/)
{
    m_header->setOffset(horizontalScrollBar()->value());
    viewport()->update();
}

void Grid::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        for (const Row& row : m_rows) {
            row.rowTextWidth = -1;
        }
        m_asciiAdvances.clear();
        m_header->setFont(font());
        syncHeader();
        layoutChanged();
    }
    QAbstractScrollArea::changeEvent(event);
}

void Grid::paintEvent(QPaintEvent* /*event*/)
{
    ensureLayout();
    QPainter painter(viewport());
    const QPalette pal = palette();
    const int scrollY = verticalScrollBar()->value();
    const int scrollX = horizontalScrollBar()->value();
    const int viewHeight = viewport()->height();
    const int viewWidth = viewport()->width();
    const int defaultHeight = GridDefaultRowHeight();
    const int rowTextColumn = GridRowTextColumn();
    const QRect rowTextSpan = rowTextRect();
    const int contentWidth = std::max(shownColumnsWidth(), viewWidth);

    auto first = std::upper_bound(m_visibleTops.begin(), m_visibleTops.end(), scrollY);
    std::size_t position =
        first == m_visibleTops.begin()
            ? 0
            : static_cast<std::size_t>(std::distance(m_visibleTops.begin(), first) - 1);
    for (; position < m_visibleRows.size(); ++position) {
        const int top = m_visibleTops[position] - scrollY;
        if (top >= viewHeight) {
            break;
        }
        const int rowIndex = m_visibleRows[position];
        const Row& row = m_rows[static_cast<std::size_t>(rowIndex)];
        const bool selected = rowIndex + 1 == m_selected;
        const QRect rowRect(-scrollX, top, contentWidth, row.height);
        if (selected) {
            painter.fillRect(rowRect, m_highlightColor);
        } else if (position % 2 == 1) {
            painter.fillRect(rowRect, m_alternateColor);
        }
        const bool hasRowText = rowTextColumn > 0 &&
                                cellAt(row, static_cast<std::size_t>(rowTextColumn - 1)).length > 0;
        const int cellBand = hasRowText ? std::min(row.height, defaultHeight) : row.height;
        const QColor normalText =
            selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text);

        int left = -scrollX;
        painter.setPen(m_gridLineColor);
        for (std::size_t c = 0; c < m_columns.size(); ++c) {
            const Column& column = m_columns[c];
            if (!column.visible || column.rowText) {
                continue;
            }
            const Cell& content = cellAt(row, c);
            if (left + column.width > 0 && left < viewWidth && content.length > 0) {
                const QRect textRect(left + padding(), top + padding() / 2,
                                     column.width - 2 * padding(), cellBand - padding());
                const Style& style = m_styles[content.style];
                painter.setPen(selected || !style.color.isValid() ? normalText : style.color);
                // Drawn from where the list keeps the text; a copy made for the ellipsis is
                // zeroed when drawn.
                const QStringView view = textOf(content);
                const QString text = rawString(view);
                if (style.format & DT_END_ELLIPSIS) {
                    const SecretText::Scoped simplified(text.simplified());
                    const SecretText::Scoped shown(painter.fontMetrics().elidedText(
                        simplified.text(), Qt::ElideRight, textRect.width()));
                    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, shown.text());
                } else if (style.format & DT_WORDBREAK) {
                    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                                     ShownText(view).text());
                } else {
                    painter.drawText(textRect,
                                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
                }
            }
            left += column.width;
            painter.setPen(m_gridLineColor);
            painter.drawLine(left - 1, top, left - 1, top + cellBand - 1);
        }
        if (hasRowText && row.height > cellBand) {
            const Cell& content = cellAt(row, static_cast<std::size_t>(rowTextColumn - 1));
            const QRect textRect(rowTextSpan.left() - scrollX + padding(), top + cellBand,
                                 rowTextSpan.width() - 2 * padding(), row.height - cellBand);
            const Style& style = m_styles[content.style];
            painter.setPen(selected || !style.color.isValid() ? normalText : style.color);
            painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                             ShownText(textOf(content)).text());
        }
        painter.setPen(m_gridLineColor);
        painter.drawLine(-scrollX, top + row.height - 1, contentWidth - scrollX,
                         top + row.height - 1);
    }
}

void Grid::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        const int row = rowAt(point.y() + verticalScrollBar()->value());
        if (row > 0 && row != m_selected) {
            m_selected = row;
            viewport()->update();
            Q_EMIT selectionChanged();
        }
    }
    int button = 0;
    switch (event->button()) {
    case Qt::LeftButton:
        button = 1;
        break;
    case Qt::RightButton:
        button = 2;
        break;
    case Qt::MiddleButton:
        button = 4;
        break;
    default:
        break;
    }
    Q_EMIT MouseDown(button, VbKey::ShiftState(event->modifiers()), point.x(), point.y());
}

void Grid::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        Q_EMIT DblClick();
    }
}

void Grid::moveSelection(int lVisibleDelta, bool bToEnd, bool bToStart)
{
    ensureLayout();
    if (m_visibleRows.empty()) {
        return;
    }
    const int last = static_cast<int>(m_visibleRows.size()) - 1;
    int position = m_selected > 0 ? visiblePosition(m_selected) : -1;
    if (bToStart) {
        position = 0;
    } else if (bToEnd) {
        position = last;
    } else if (position < 0) {
        position = lVisibleDelta > 0 ? 0 : last;
    } else {
        position = std::clamp(position + lVisibleDelta, 0, last);
    }
    const int before =
        std::exchange(m_selected, m_visibleRows[static_cast<std::size_t>(position)] + 1);
    GridEnsureVisible(m_selected, 1);
    viewport()->update();
    if (m_selected != before) {
        Q_EMIT selectionChanged();
    }
}

void Grid::keySearch(const QString& sText)
{
    if (!validColumn(m_keySearchColumn) || sText.isEmpty()) {
        return;
    }
    ensureLayout();
    const std::size_t count = m_visibleRows.size();
    if (count == 0) {
        return;
    }
    // The next shown row after the selected one whose cell starts with the typed text.
    const int current = m_selected > 0 ? visiblePosition(m_selected) : -1;
    for (std::size_t step = 1; step <= count; ++step) {
        const std::size_t position = (static_cast<std::size_t>(current + 1) + step - 1) % count;
        const int row = m_visibleRows[position] + 1;
        if (GridCellView(row, m_keySearchColumn).startsWith(sText, Qt::CaseInsensitive)) {
            const int before = std::exchange(m_selected, row);
            GridEnsureVisible(row, 1);
            viewport()->update();
            if (row != before) {
                Q_EMIT selectionChanged();
            }
            return;
        }
    }
}

void Grid::keyPressEvent(QKeyEvent* event)
{
    Q_EMIT KeyDown(VbKey::KeyCode(event), VbKey::ShiftState(event->modifiers()));
    const int rowsPerPage = std::max(1, viewport()->height() / GridDefaultRowHeight());
    switch (event->key()) {
    case Qt::Key_Up:
        moveSelection(-1);
        break;
    case Qt::Key_Down:
        moveSelection(1);
        break;
    case Qt::Key_PageUp:
        moveSelection(-rowsPerPage);
        break;
    case Qt::Key_PageDown:
        moveSelection(rowsPerPage);
        break;
    case Qt::Key_Home:
        moveSelection(0, false, true);
        break;
    case Qt::Key_End:
        moveSelection(0, true, false);
        break;
    default:
        if (!event->text().isEmpty() && event->text().at(0).isLetter() &&
            !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keySearch(event->text());
        } else {
            QAbstractScrollArea::keyPressEvent(event);
        }
        break;
    }
}

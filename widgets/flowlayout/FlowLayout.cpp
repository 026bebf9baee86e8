#include "FlowLayout.h"

#include <QWidget>

FlowLayout::FlowLayout(QWidget *parent, int margin, int hSpacing, int vSpacing)
    : QLayout(parent), m_hSpace(hSpacing), m_vSpace(vSpacing)
{
    setContentsMargins(margin, margin, margin, margin);
}

FlowLayout::FlowLayout(int margin, int hSpacing, int vSpacing) : m_hSpace(hSpacing), m_vSpace(vSpacing)
{
    setContentsMargins(margin, margin, margin, margin);
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
}

int FlowLayout::horizontalSpacing() const
{
    return m_hSpace >= 0 ? m_hSpace : smartSpacing(QStyle::PM_LayoutHorizontalSpacing);
}

int FlowLayout::verticalSpacing() const
{
    return m_vSpace >= 0 ? m_vSpace : smartSpacing(QStyle::PM_LayoutVerticalSpacing);
}

int FlowLayout::count() const
{
    return m_items.size();
}

QLayoutItem *FlowLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem *FlowLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

Qt::Orientations FlowLayout::expandingDirections() const
{
    return {};
}

bool FlowLayout::hasHeightForWidth() const
{
    return true;
}

int FlowLayout::heightForWidth(int width) const
{
    return doLayout(QRect(0, 0, width, 0), true);
}

void FlowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    doLayout(rect, false);
}

QSize FlowLayout::sizeHint() const
{
    return minimumSize();
}

QSize FlowLayout::minimumSize() const
{
    QSize size;
    for (QLayoutItem *item : m_items)
        size = size.expandedTo(item->minimumSize());
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

int FlowLayout::smartSpacing(QStyle::PixelMetric pm) const
{
    QObject *parent = this->parent();
    if (!parent)
        return -1;
    if (parent->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(parent);
        return widget->style()->pixelMetric(pm, nullptr, widget);
    }
    return static_cast<QLayout *>(parent)->spacing();
}

int FlowLayout::itemSpacing(QLayoutItem *item, int spacing, Qt::Orientation orientation) const
{
    if (spacing != -1)
        return spacing;
    // Spacers and nested layouts bring their own room.
    QWidget *widget = item->widget();
    if (!widget)
        return 0;
    // A style without layout spacing answers -1, which would overlap the items.
    return qMax(0, widget->style()->layoutSpacing(QSizePolicy::PushButton, QSizePolicy::PushButton, orientation));
}

int FlowLayout::doLayout(const QRect &rect, bool testOnly) const
{
    m_rowHeights.clear();
    const QMargins margins = contentsMargins();
    const QRect effective = rect.adjusted(margins.left(), margins.top(), -margins.right(), -margins.bottom());
    int x = effective.x();
    int y = effective.y();
    int rowHeight = 0;
    int lastSpaceY = 0;

    for (QLayoutItem *item : m_items) {
        const QSize hint = item->sizeHint();
        const int spaceX = itemSpacing(item, horizontalSpacing(), Qt::Horizontal);
        const int spaceY = itemSpacing(item, verticalSpacing(), Qt::Vertical);
        int nextX = x + hint.width() + spaceX;
        if (x + hint.width() > effective.right() && rowHeight > 0) {
            x = effective.x();
            y = y + rowHeight + spaceY;
            nextX = x + hint.width() + spaceX;
            rowHeight = 0;
        }
        if (!testOnly)
            item->setGeometry(QRect(QPoint(x, y), hint));
        x = nextX;
        rowHeight = qMax(rowHeight, hint.height());
        m_rowHeights[y] = rowHeight;
        lastSpaceY = spaceY;
    }

    if (!testOnly) {
        for (QLayoutItem *item : m_items) {
            const QRect geometry = item->geometry();
            const int height = m_rowHeights.value(geometry.y());
            if (height <= 0)
                continue;
            const int spaceY = itemSpacing(item, verticalSpacing(), Qt::Vertical);
            const int top = geometry.y() + spaceY + (height - geometry.height()) / 2;
            item->setGeometry(QRect(QPoint(geometry.x(), top), item->sizeHint()));
        }
    }
    // Every row sits one vertical spacing below its slot, so the height includes it.
    return y + rowHeight + lastSpaceY + margins.bottom() - rect.y();
}

#include "search/SearchResultRowDelegate.h"

#include "editor/IconTable.h"
#include "search/SearchResultListModel.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>

namespace dunmoss {

namespace {

QFont captionFont(const QFont& base, qreal delta = -2.0) {
    QFont font = base;
    font.setPointSizeF(std::max<qreal>(base.pointSizeF() + delta, 7.0));
    return font;
}

QFont monospacedCaption(const QFont& base) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(captionFont(base).pointSizeF());
    return font;
}

} // namespace

QSize SearchResultRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                        const QModelIndex&) const {
    return QSize(option.rect.width(), kSearchResultRowHeight);
}

void SearchResultRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    painter->save();
    const QPalette& palette = option.palette;
    const QColor secondary = secondaryLabelColor(palette);
    const QRect rect = option.rect;
    const auto kind =
        static_cast<SearchResultRow::Kind>(index.data(SearchResultListModel::RowKindRole).toInt());
    const QString title = index.data(Qt::DisplayRole).toString();
    const QString subtitle = index.data(SearchResultListModel::SubtitleRole).toString();
    const QString trailing = index.data(SearchResultListModel::TrailingRole).toString();

    if (kind == SearchResultRow::Kind::Group) {
        painter->fillRect(rect, palette.color(QPalette::AlternateBase));
        const QString symbol = index.data(SearchResultListModel::SymbolRole).toString();
        const int iconSize = 14;
        const QRect icon(rect.left() + 12, rect.center().y() - iconSize / 2, iconSize, iconSize);
        painter->drawPixmap(icon, symbolPixmap(symbol, iconSize, secondary,
                                               painter->device()->devicePixelRatioF()));
        const QFont small = captionFont(option.font, -3.0);
        painter->setFont(small);
        const int countWidth = QFontMetrics(small).horizontalAdvance(trailing);
        const QRect count(rect.right() - 12 - countWidth, rect.top(), countWidth, rect.height());
        painter->setPen(secondary);
        painter->drawText(count, Qt::AlignVCenter | Qt::AlignRight, trailing);
        const int textLeft = icon.right() + 9;
        const int textWidth = std::max(count.left() - 8 - textLeft, 0);
        QFont titleFont = monospacedCaption(option.font);
        titleFont.setWeight(QFont::DemiBold);
        const QFontMetrics titleMetrics(titleFont);
        const QFontMetrics subMetrics(small);
        const int block =
            titleMetrics.height() + (subtitle.isEmpty() ? 0 : 1 + subMetrics.height());
        int top = rect.top() + (rect.height() - block) / 2;
        painter->setFont(titleFont);
        painter->setPen(palette.color(QPalette::Text));
        painter->drawText(QRect(textLeft, top, textWidth, titleMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          titleMetrics.elidedText(title, Qt::ElideMiddle, textWidth));
        if (!subtitle.isEmpty()) {
            top += titleMetrics.height() + 1;
            painter->setFont(small);
            painter->setPen(secondary);
            painter->drawText(QRect(textLeft, top, textWidth, subMetrics.height()),
                              Qt::AlignLeft | Qt::AlignVCenter,
                              subMetrics.elidedText(subtitle, Qt::ElideMiddle, textWidth));
        }
        painter->restore();
        return;
    }

    if (option.state & (QStyle::State_Selected | QStyle::State_MouseOver)) {
        QColor highlight = palette.color(QPalette::Highlight);
        highlight.setAlpha(option.state & QStyle::State_Selected ? 70 : 30);
        painter->fillRect(rect, highlight);
    }
    const QFont caption = captionFont(option.font);
    QFont digits = caption;
    const QRect position(rect.left() + 28, rect.top(), 92, rect.height());
    painter->setFont(digits);
    painter->setPen(secondary);
    painter->drawText(position, Qt::AlignLeft | Qt::AlignVCenter, title);
    const int previewLeft = position.right() + 1 + 10;
    const int previewWidth = std::max(rect.right() - 12 - previewLeft, 0);
    painter->setFont(caption);
    painter->setPen(palette.color(QPalette::Text));
    const QString preview = trailing.isEmpty() ? QStringLiteral(" ") : trailing;
    painter->drawText(QRect(previewLeft, rect.top(), previewWidth, rect.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(caption).elidedText(preview, Qt::ElideRight, previewWidth));
    painter->restore();
}

} // namespace dunmoss

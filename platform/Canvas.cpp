#include "platform/Canvas.h"

#include "platform/Bitmap.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>
#include <vector>

namespace platform {
namespace {

QColor ToQColor(TColor color) {
    return QColor::fromRgb(ColorToArgb(color));
}

std::vector<QString> SplitLines(const QString& text) {
    std::vector<QString> lines;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            current += c;
        }
    }
    lines.push_back(current);
    return lines;
}

// Greedy breaking between words, as the system does: a word that does not fit
// the rest of the row starts the next one; a word wider than the whole row
// stands alone and overflows.
void WrapLine(const QString& line, const QFontMetrics& metrics, int width,
              std::vector<QString>& out) {
    QStringList words = line.split(' ');
    QString row;
    bool rowStarted = false;
    for (const QString& word : words) {
        if (!rowStarted) {
            row = word;
            rowStarted = true;
            continue;
        }
        QString candidate = row + ' ' + word;
        if (metrics.horizontalAdvance(candidate) <= width || row.isEmpty()) {
            row = candidate;
        } else {
            out.push_back(row);
            row = word;
        }
    }
    out.push_back(row);
}

} // namespace

QFont TCanvas::CurrentFont() const {
    return MakeFont(Font.Name, Font.Size, Font.Style);
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    if (Target.isNull() || x2 <= x1 || y2 <= y1)
        return;
    QPainter painter(&Target);
    QColor pen = Qt::black;
    if (!Brush.Clear() && x2 - x1 > 2 && y2 - y1 > 2)
        painter.fillRect(QRect(x1 + 1, y1 + 1, x2 - x1 - 2, y2 - y1 - 2), ToQColor(Brush.Color()));
    painter.fillRect(QRect(x1, y1, x2 - x1, 1), pen);
    painter.fillRect(QRect(x1, y2 - 1, x2 - x1, 1), pen);
    painter.fillRect(QRect(x1, y1, 1, y2 - y1), pen);
    painter.fillRect(QRect(x2 - 1, y1, 1, y2 - y1), pen);
}

void TCanvas::FillRect(const TRect& rect) {
    if (Target.isNull() || Brush.Clear() || rect.Width() <= 0 || rect.Height() <= 0)
        return;
    QPainter painter(&Target);
    painter.fillRect(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()),
                     ToQColor(Brush.Color()));
}

int TCanvas::TextWidth(const std::string& text) const {
    return QFontMetrics(CurrentFont()).horizontalAdvance(QString::fromUtf8(text));
}

int TCanvas::TextHeight() const {
    return QFontMetrics(CurrentFont()).height();
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    if (Target.isNull())
        return;
    QFont font = CurrentFont();
    QFontMetrics metrics(font);
    QString line = QString::fromUtf8(text);
    QPainter painter(&Target);
    if (!Brush.Clear())
        painter.fillRect(QRect(x, y, metrics.horizontalAdvance(line), metrics.height()),
                         ToQColor(Brush.Color()));
    painter.setFont(font);
    painter.setPen(ToQColor(Font.Color));
    painter.drawText(x, y + metrics.ascent(), line);
}

void TCanvas::Draw(int x, int y, const TBitmap& source) {
    if (Target.isNull() || source.Pixels().isNull())
        return;
    QPainter painter(&Target);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(x, y, source.Pixels());
}

int TCanvas::DrawText(const std::string& text, TRect& rect, unsigned flags) {
    QFont font = CurrentFont();
    QFontMetrics metrics(font);
    std::vector<QString> rows;
    if (!text.empty()) {
        for (const QString& line : SplitLines(QString::fromUtf8(text))) {
            if (flags & DT_WORDBREAK)
                WrapLine(line, metrics, rect.Width(), rows);
            else
                rows.push_back(line);
        }
    }
    int lineHeight = metrics.height();
    int height = static_cast<int>(rows.size()) * lineHeight;
    if (flags & DT_CALCRECT) {
        int widest = 0;
        for (const QString& row : rows)
            widest = std::max(widest, metrics.horizontalAdvance(row));
        rect.Right = rect.Left + widest;
        rect.Bottom = rect.Top + height;
        return height;
    }
    if (Target.isNull() || rows.empty())
        return height;
    QPainter painter(&Target);
    painter.setClipRect(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()));
    painter.setFont(font);
    painter.setPen(ToQColor(Font.Color));
    int y = rect.Top;
    for (const QString& row : rows) {
        int width = metrics.horizontalAdvance(row);
        int x = rect.Left;
        if (flags & DT_CENTER)
            x = rect.Left + (rect.Width() - width) / 2;
        else if (flags & DT_RIGHT)
            x = rect.Right - width;
        if (!Brush.Clear())
            painter.fillRect(QRect(x, y, width, lineHeight), ToQColor(Brush.Color()));
        painter.drawText(x, y + metrics.ascent(), row);
        y += lineHeight;
    }
    return height;
}

} // namespace platform

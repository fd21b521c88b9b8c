#include "platform/Bitmap.h"

#include <QPainter>

namespace platform {

void TBitmap::SetSize(int width, int height) {
    width = width < 0 ? 0 : width;
    height = height < 0 ? 0 : height;
    if (width == Image.width() && height == Image.height())
        return;
    if (width == 0 || height == 0) {
        Image = QImage();
        return;
    }
    QImage resized(width, height, QImage::Format_RGB32);
    resized.fill(Qt::white);
    if (!Image.isNull() && Image.width() > 0 && Image.height() > 0) {
        QPainter painter(&resized);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, Image);
    }
    Image = std::move(resized);
}

} // namespace platform

#include "platform/Fonts.h"

#include <QFontInfo>
#include <map>
#include <mutex>

namespace platform {
namespace {

std::mutex cacheLock;
std::map<std::string, std::string>& Cache() {
    static auto* cache = new std::map<std::string, std::string>;
    return *cache;
}

} // namespace

int PointsToPixels(int points) {
    long long magnitude = points < 0 ? -static_cast<long long>(points) : points;
    long long pixels = (magnitude * 96 + 36) / 72;
    if (pixels < 1)
        return 1;
    return pixels > 1000 ? 1000 : static_cast<int>(pixels);
}

std::string ResolveFontFace(const std::string& name) {
    {
        std::lock_guard guard(cacheLock);
        auto found = Cache().find(name);
        if (found != Cache().end())
            return found->second;
    }
    QFont probe(QString::fromStdString(name));
    probe.setStyleHint(QFont::SansSerif);
    std::string family = QFontInfo(probe).family().toStdString();
    if (family.empty())
        family = name;
    std::lock_guard guard(cacheLock);
    Cache()[name] = family;
    return family;
}

QFont MakeFont(const std::string& name, int points, TFontStyles style) {
    QFont font(QString::fromStdString(ResolveFontFace(name)));
    font.setPixelSize(PointsToPixels(points));
    font.setBold(style & fsBold);
    font.setItalic(style & fsItalic);
    font.setUnderline(style & fsUnderline);
    font.setStrikeOut(style & fsStrikeOut);
    // The same glyph shapes whatever the desktop's hinting: measured layouts
    // stay valid when drawn.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace platform

#include "ui/Images.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <map>
#include <numbers>
#include <string>

namespace trawl::ui {

namespace {

const QColor kCraigslistColour(0x6b, 0x2f, 0xa3); // violet
const QColor kKijijiColour(0x1f, 0x6f, 0xd0);     // blue
const QColor kIconBackground(0x1d, 0x5c, 0x63);   // deep teal

QPixmap Canvas(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A lens with a handle; `centre` and `radius` in the painter's units.
void PaintMagnifier(QPainter& painter, QPointF centre, qreal radius, const QColor& rim)
{
    const qreal handle = radius * 1.25;
    const QPointF from = centre + QPointF(radius * 0.7, radius * 0.7);
    painter.setPen(QPen(QColor(0x5a, 0x3b, 0x1e), radius * 0.45, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(from, from + QPointF(handle * 0.7, handle * 0.7));
    QRadialGradient lens(centre - QPointF(radius * 0.3, radius * 0.3), radius * 1.2);
    lens.setColorAt(0, QColor(255, 255, 255, 230));
    lens.setColorAt(1, QColor(0xb8, 0xe0, 0xf5, 170));
    painter.setBrush(lens);
    painter.setPen(QPen(rim, std::max<qreal>(1.5, radius * 0.28)));
    painter.drawEllipse(centre, radius, radius);
}

QPixmap PaintProgramIcon(int size)
{
    QPixmap pixmap = Canvas(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    QLinearGradient background(0, 0, 0, 64);
    background.setColorAt(0, kIconBackground.lighter(125));
    background.setColorAt(1, kIconBackground);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    // A list of ads ...
    painter.setBrush(QColor(255, 255, 255, 235));
    for (int row = 0; row < 4; ++row) {
        painter.drawRoundedRect(QRectF(10, 12 + row * 10, row % 2 == 0 ? 34 : 28, 5), 2, 2);
    }
    // ... searched with a magnifier.
    PaintMagnifier(painter, QPointF(38, 36), 11, QColor(0xf2, 0xb1, 0x34));
    return pixmap;
}

QPixmap PaintLight(Light light)
{
    QColor colour;
    switch (light) {
    case Light::Dark:
        colour = QColor(0x45, 0x48, 0x4c);
        break;
    case Light::Green:
        colour = QColor(0x22, 0xc5, 0x3a);
        break;
    case Light::Red:
        colour = QColor(0xe5, 0x2e, 0x25);
        break;
    }
    QPixmap pixmap = Canvas(16);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(6, 6), 9);
    glow.setColorAt(0, colour.lighter(light == Light::Dark ? 140 : 165));
    glow.setColorAt(1, colour);
    painter.setBrush(glow);
    painter.setPen(QPen(colour.darker(160), 1));
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    return pixmap;
}

// A coloured tile with the site's initial: tells the two sites apart at 16 pixels.
QPixmap PaintSiteBadge(const QColor& colour, QChar letter, int size)
{
    QPixmap pixmap = Canvas(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 5.0, size / 5.0);
    QFont font;
    font.setBold(true);
    font.setPixelSize(size * 3 / 4);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QString(letter));
    return pixmap;
}

// The magnifier going round over a small listing of the site's colour, one eleventh of a turn a frame.
QPixmap PaintMagnifierFrame(int site, int frame)
{
    const QColor colour = site == 1 ? kCraigslistColour : kKijijiColour;
    QPixmap pixmap = Canvas(32);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour.darker(130), 1));
    painter.setBrush(QColor(0xfa, 0xfa, 0xf7));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 4, 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour.lighter(150));
    for (int row = 0; row < 5; ++row) {
        painter.drawRect(QRectF(5, 6 + row * 4.5, row % 2 == 0 ? 21 : 16, 2));
    }
    const double angle = 2 * std::numbers::pi * (frame - 1) / kMagnifierFrames;
    const QPointF centre(14 + 5.5 * std::cos(angle), 14 + 5.5 * std::sin(angle));
    PaintMagnifier(painter, centre, 6, colour);
    return pixmap;
}

// Made once and kept: the Diagnostics page asks for the same few pictures over and over.
const QPixmap& Cached(const std::string& name)
{
    static std::map<std::string, QPixmap> cache;
    auto found = cache.find(name);
    if (found != cache.end()) {
        return found->second;
    }
    QPixmap made;
    if (name == "0L") {
        made = PaintProgramIcon(32);
    } else if (name == "HARDLYTHERE") {
        made = Canvas(16);
    } else if (name == "ICONDARK") {
        made = PaintLight(Light::Dark);
    } else if (name == "ICONGREEN") {
        made = PaintLight(Light::Green);
    } else if (name == "ICONRED") {
        made = PaintLight(Light::Red);
    } else if (name == "CRAIGSLIST") {
        made = PaintSiteBadge(kCraigslistColour, QLatin1Char('C'), 16);
    } else if (name == "KIJIJI") {
        made = PaintSiteBadge(kKijijiColour, QLatin1Char('K'), 16);
    } else {
        for (const int site : {1, 2}) {
            const std::string prefix = site == 1 ? "ICONCRAIGSMAG" : "ICONKIJIJIMAG";
            for (int frame = 1; frame <= kMagnifierFrames; ++frame) {
                if (name == prefix + (frame < 10 ? "0" : "") + std::to_string(frame)) {
                    made = PaintMagnifierFrame(site, frame);
                }
            }
        }
    }
    return cache.emplace(name, made).first->second;
}

} // namespace

QIcon ProgramIcon()
{
    QIcon icon;
    for (const int size : kProgramIconSizes) {
        icon.addPixmap(PaintProgramIcon(size));
    }
    return icon;
}

QPixmap LightImage(Light light)
{
    switch (light) {
    case Light::Dark:
        return Cached("ICONDARK");
    case Light::Green:
        return Cached("ICONGREEN");
    case Light::Red:
        return Cached("ICONRED");
    }
    return Cached("ICONDARK");
}

QPixmap SiteImage(SiteIcon site)
{
    switch (site) {
    case SiteIcon::None:
        return Cached("HARDLYTHERE");
    case SiteIcon::Craigslist:
        return Cached("CRAIGSLIST");
    case SiteIcon::Kijiji:
        return Cached("KIJIJI");
    }
    return Cached("HARDLYTHERE");
}

QPixmap MagnifierFrame(int site, int frame)
{
    if ((site != 1 && site != 2) || frame < 1 || frame > kMagnifierFrames) {
        return BlankImage(32);
    }
    return Cached((site == 1 ? "ICONCRAIGSMAG" : "ICONKIJIJIMAG") + std::string(frame < 10 ? "0" : "") +
                  std::to_string(frame));
}

QPixmap BlankImage(int size)
{
    return Canvas(size);
}

QPixmap ImageNamed(std::string_view name)
{
    return Cached(std::string(name));
}

} // namespace trawl::ui

#include "foundation/windowplacement.h"

#include "foundation/settings.h"

#include <QGuiApplication>
#include <QScreen>

using namespace Qt::Literals::StringLiterals;

namespace papyrant {

namespace {

int twipsToPixels(int twips)
{
    return qRound(double(twips) / TwipsPerPixel);
}

QString key(const SettingKey &k)
{
    return k.name.toString();
}

int readTwips(const QString &section, const SettingKey &k)
{
    return GetSettingInt(section, key(k), k.defaultValue().toInt());
}

} // namespace

QString ScreenResolutionText()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return u"0*0"_s;
    const QSize size = screen->size();
    return QString::number(size.width()) + u'*' + QString::number(size.height());
}

QRect WindowPlacement::pixelRect() const
{
    return QRect(twipsToPixels(leftTwips), twipsToPixels(topTwips), twipsToPixels(widthTwips),
                 twipsToPixels(heightTwips));
}

void SaveWindowPlacement(const QString &section, bool maximised, const QRect &pixelRect)
{
    if (maximised) {
        SaveSetting(section, key(setting::PlacementResolution), u"0*0"_s);
        return;
    }
    SaveSetting(section, key(setting::PlacementResolution), ScreenResolutionText());
    SaveSetting(section, key(setting::PlacementTop),
                QString::number(qint64(pixelRect.top()) * TwipsPerPixel));
    SaveSetting(section, key(setting::PlacementLeft),
                QString::number(qint64(pixelRect.left()) * TwipsPerPixel));
    SaveSetting(section, key(setting::PlacementWidth),
                QString::number(qint64(pixelRect.width()) * TwipsPerPixel));
    SaveSetting(section, key(setting::PlacementHeight),
                QString::number(qint64(pixelRect.height()) * TwipsPerPixel));
}

WindowPlacement ReadWindowPlacement(const QString &section)
{
    WindowPlacement p;
    const QString saved = GetSetting(section, key(setting::PlacementResolution),
                                     setting::PlacementResolution.defaultValue());
    if (saved != ScreenResolutionText())
        return p;
    p.maximised = false;
    p.topTwips = qMax(0, readTwips(section, setting::PlacementTop));
    p.leftTwips = qMax(0, readTwips(section, setting::PlacementLeft));
    p.widthTwips = qMax(4000, readTwips(section, setting::PlacementWidth));
    p.heightTwips = qMax(3000, readTwips(section, setting::PlacementHeight));
    return p;
}

} // namespace papyrant

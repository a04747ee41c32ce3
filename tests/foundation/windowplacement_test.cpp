// labels: unit
#include "foundation/settings.h"
#include "foundation/windowplacement.h"
#include "support/tempsettings.h"

#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

namespace {
const QString Section = u"fFileDownload"_s;

QString stored(const SettingKey &key)
{
    return GetSetting(Section, key.name.toString(), u"<none>"_s);
}
} // namespace

TEST(WindowPlacement, ResolutionTextIsThePrimaryScreenInPixels)
{
    const QSize size = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(ScreenResolutionText(), u"%1*%2"_s.arg(size.width()).arg(size.height()));
}

TEST(WindowPlacement, FirstRunAndOtherResolutionComeBackMaximised)
{
    test::TempSettings temp;
    EXPECT_TRUE(ReadWindowPlacement(Section).maximised);

    SaveWindowPlacement(Section, false, QRect(10, 20, 600, 400));
    SaveSetting(setting::PlacementResolution, u"1*1"_s); // saved on another screen
    EXPECT_TRUE(ReadWindowPlacement(Section).maximised);
}

TEST(WindowPlacement, NormalWindowIsStoredInTwipsAndRestored)
{
    test::TempSettings temp;
    SaveWindowPlacement(Section, false, QRect(10, 20, 600, 400));
    EXPECT_EQ(stored(setting::PlacementResolution), ScreenResolutionText());
    EXPECT_EQ(stored(setting::PlacementTop), u"300"_s);
    EXPECT_EQ(stored(setting::PlacementLeft), u"150"_s);
    EXPECT_EQ(stored(setting::PlacementWidth), u"9000"_s);
    EXPECT_EQ(stored(setting::PlacementHeight), u"6000"_s);

    const WindowPlacement p = ReadWindowPlacement(Section);
    EXPECT_FALSE(p.maximised);
    EXPECT_EQ(p.pixelRect(), QRect(10, 20, 600, 400));
}

TEST(WindowPlacement, MaximisedCloseWritesOnlyTheMarker)
{
    test::TempSettings temp;
    SaveWindowPlacement(Section, false, QRect(10, 20, 600, 400));
    SaveWindowPlacement(Section, true, QRect(0, 0, 800, 600));
    EXPECT_EQ(stored(setting::PlacementResolution), u"0*0"_s);
    EXPECT_EQ(stored(setting::PlacementWidth), u"9000"_s); // the earlier position stays
    EXPECT_TRUE(ReadWindowPlacement(Section).maximised);
}

TEST(WindowPlacement, StoredValuesAreClampedOrDefaulted)
{
    struct Case
    {
        QString top, left, width, height;
        int topTw, leftTw, widthTw, heightTw;
    };
    const Case cases[] = {
        {u"-300"_s, u"-1"_s, u"1000"_s, u"2999"_s, 0, 0, 4000, 3000},
        {u"0"_s, u"45"_s, u"4000"_s, u"3000"_s, 0, 45, 4000, 3000},
        {u"abc"_s, u""_s, u"1e9"_s, u"宽"_s, 100, 100, 15000, 10000}, // not numbers: defaults
    };
    test::TempSettings temp;
    for (const Case &c : cases) {
        SaveSetting(setting::PlacementResolution, ScreenResolutionText());
        SaveSetting(setting::PlacementTop, c.top);
        SaveSetting(setting::PlacementLeft, c.left);
        SaveSetting(setting::PlacementWidth, c.width);
        SaveSetting(setting::PlacementHeight, c.height);
        const WindowPlacement p = ReadWindowPlacement(Section);
        EXPECT_FALSE(p.maximised);
        EXPECT_EQ(p.topTwips, c.topTw) << c.top.toStdString();
        EXPECT_EQ(p.leftTwips, c.leftTw);
        EXPECT_EQ(p.widthTwips, c.widthTw);
        EXPECT_EQ(p.heightTwips, c.heightTw);
    }
    EXPECT_EQ(ReadWindowPlacement(Section).pixelRect().height(), 667); // 10000 / 15, rounded
}

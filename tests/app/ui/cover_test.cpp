// labels: gui
#include "app/ui/fcover.h"
#include "app/version.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace papyrant;

TEST(Cover, ShowsTitleVersionAndNote)
{
    FCover cover;
    EXPECT_EQ(cover.objectName(), QStringLiteral("fCover"));
    EXPECT_EQ(cover.windowTitle(), QStringLiteral("澄川文献管家"));
    auto *version = cover.findChild<QLabel *>(QStringLiteral("Label2"));
    ASSERT_TRUE(version);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^版本:\\d+\\.\\d+\\.\\d+$"))
                    .match(version->text())
                    .hasMatch())
        << version->text().toStdString();
    auto *note = cover.findChild<QLabel *>(QStringLiteral("Label4"));
    ASSERT_TRUE(note);
    EXPECT_EQ(note->text(),
              QStringLiteral("(该软件仅用于爱学习的人们辅助少量下载；请不要恶意下载和大量下载！)"));
    auto *quit = cover.findChild<QPushButton *>(QStringLiteral("Command3"));
    ASSERT_TRUE(quit);
    EXPECT_EQ(quit->text(), QStringLiteral("退出软件"));
}

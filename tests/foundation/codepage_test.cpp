// labels: unit
#include "foundation/codepage.h"

#include <gtest/gtest.h>

using namespace papyrant;

TEST(CodePage, GbkAndUtf8CountBytesDifferently)
{
    setSystemCodePageForTesting("GBK");
    EXPECT_EQ(codePageBytes(u'中'), 2);
    EXPECT_EQ(codePageBytes(u'a'), 1);
    EXPECT_EQ(toCodePage(u"中文"), QByteArray("\xD6\xD0\xCE\xC4"));
    EXPECT_EQ(fromCodePage(QByteArray("\xD6\xD0\xCE\xC4")), QStringLiteral("中文"));
    EXPECT_EQ(codePageBytes(QChar(0x0E01)), 0); // Thai is not in GBK

    setSystemCodePageForTesting("UTF-8");
    EXPECT_EQ(codePageBytes(u'中'), 3);
    EXPECT_EQ(codePageBytes(QChar(0xB7)), 2);
    setSystemCodePageForTesting({});
}

TEST(CodePage, InvalidBytesNeverFail)
{
    setSystemCodePageForTesting("UTF-8");
    const QString text = fromCodePage(QByteArray("a\xFF\xFE"
                                                 "b"));
    EXPECT_TRUE(text.startsWith(u'a'));
    EXPECT_TRUE(text.endsWith(u'b'));
    setSystemCodePageForTesting({});
}

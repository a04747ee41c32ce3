// labels: unit
#include "search/serviceaddress.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace papyrant;
using namespace Qt::Literals::StringLiterals;

TEST(ServiceAddress, SearchPageCarriesTheEncodedKeywordAndEndsWithThePdfFilter)
{
    qunsetenv("PAPYRANT_SERVICE_BASE");
    EXPECT_EQ(ServiceHomePage(), u"https://ci.nii.ac.jp/"_s);
    const QString page = ServiceSearchPage(u"C%26A %E4%B8%AD"_s);
    EXPECT_TRUE(page.startsWith(u"https://ci.nii.ac.jp/search?q=C%26A %E4%B8%AD&"_s))
        << page.toStdString();
    EXPECT_TRUE(page.endsWith(u"&as_filetype=pdf"_s));

    // A local site in place of the service, taken up at once, with or without its final "/".
    qputenv("PAPYRANT_SERVICE_BASE", " http://127.0.0.1:8080/ ");
    EXPECT_EQ(ServiceHomePage(), u"http://127.0.0.1:8080/"_s);
    EXPECT_TRUE(ServiceSearchPage(u"x"_s).startsWith(u"http://127.0.0.1:8080/search?q=x&"_s));
    qunsetenv("PAPYRANT_SERVICE_BASE");
}

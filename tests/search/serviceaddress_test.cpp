// labels: unit
#include "search/serviceaddress.h"
#include "support/profiles.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace papyrant;
using namespace papyrant::test;
using namespace Qt::Literals::StringLiterals;

TEST(ServiceAddress, SearchPageCarriesTheEncodedKeywordAndEndsWithThePdfFilter)
{
    qunsetenv("PAPYRANT_SERVICE_BASE");
    EXPECT_EQ(ServiceHomePage(legacyProfile()), u"https://ci.nii.ac.jp/"_s);
    const QString page = ServiceSearchPage(legacyProfile(), u"C%26A %E4%B8%AD"_s);
    EXPECT_TRUE(page.startsWith(u"https://ci.nii.ac.jp/search?q=C%26A %E4%B8%AD&"_s))
        << page.toStdString();
    EXPECT_TRUE(page.endsWith(u"&as_filetype=pdf"_s));
    EXPECT_EQ(ServiceHomePage(researchProfile()), u"https://cir.nii.ac.jp/"_s);
    EXPECT_EQ(
        ServiceSearchPage(researchProfile(), u"%E6%B9%BF"_s),
        u"https://cir.nii.ac.jp/articles?q=%E6%B9%BF&hasLinkToFullText=true&count=20&sortorder=4"_s);

    // A local site in place of the service, taken up at once, with or without its final "/".
    qputenv("PAPYRANT_SERVICE_BASE", " http://127.0.0.1:8080/ ");
    EXPECT_EQ(ServiceHomePage(legacyProfile()), u"http://127.0.0.1:8080/"_s);
    EXPECT_TRUE(ServiceSearchPage(legacyProfile(), u"x"_s)
                    .startsWith(u"http://127.0.0.1:8080/search?q=x&"_s));
    EXPECT_TRUE(ServiceSearchPage(researchProfile(), u"x"_s)
                    .startsWith(u"http://127.0.0.1:8080/articles?q=x&"_s));
    qunsetenv("PAPYRANT_SERVICE_BASE");
}

TEST(ServiceAddress, SearchPathsOfTheServiceOnly)
{
    qunsetenv("PAPYRANT_SERVICE_BASE");
    struct Case
    {
        QString address;
        bool search;
    } cases[] = {
        {u"https://cir.nii.ac.jp/articles?q=a"_s, true},
        {u"https://CIR.nii.ac.jp/all"_s, true},
        {u"https://cir.nii.ac.jp/all/more?q=a"_s, true},
        {u"https://cir.nii.ac.jp/allx?q=a"_s, false},
        {u"https://cir.nii.ac.jp/crid/1390001"_s, false},
        {u"https://cir.nii.ac.jp/"_s, false},
        {u"https://cir.nii.ac.jp:8443/all"_s, false},
        {u"https://www.jstage.jst.go.jp/all"_s, false},
        {u"about:blank"_s, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsServiceSearchAddress(researchProfile(), c.address), c.search)
            << c.address.toStdString();
    // The old service has no such rule.
    EXPECT_FALSE(IsServiceSearchAddress(legacyProfile(), u"https://ci.nii.ac.jp/search?q=a"_s));
    qputenv("PAPYRANT_SERVICE_BASE", "http://127.0.0.1:8080");
    EXPECT_TRUE(IsServiceSearchAddress(researchProfile(), u"http://127.0.0.1:8080/all?q=a"_s));
    EXPECT_FALSE(IsServiceSearchAddress(researchProfile(), u"http://127.0.0.1:8081/all?q=a"_s));
    qunsetenv("PAPYRANT_SERVICE_BASE");
}

#pragma once

#include <QString>
#include <QStringView>

namespace papyrant {

// The web pages of the program's makers, opened from the help menus. A page of either maker's
// domain hides the search window's status bar while it is on show.
inline constexpr QStringView MakerDomain = u"chengchuansoft.example"; // 澄川软件
inline constexpr QStringView PartnerDomain = u"heyusoft.example";     // 禾屿软件

// The program's own web page (the build's homepage); empty when it has none, and then the
// links that would lead to the makers' sites are not shown.
QString ProjectPage();

QString MakerSitePage();   // "澄川软件": the program's page
QString PartnerSitePage(); // "禾屿软件": the program's page
// "最新版本": the site of the setting "更新网址" (the program's page when it is not set), the
// program's file name and "/". The update check asks this folder for "newver.txt".
QString LatestVersionPage();
// The setting "更新网址", ending in "/"; empty when not set (then no update check is made).
QString UpdateSiteRoot();
QString CustomSoftwarePage(); // "软件定制": the program's page

// True when the address holds either domain, in any letter case.
bool IsMakerAddress(const QString &address);

} // namespace papyrant

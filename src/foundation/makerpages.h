#pragma once

#include <QString>
#include <QStringView>

namespace papyrant {

// The web pages of the program's makers, opened from the help menus. A page of either maker's
// domain hides the search window's status bar while it is on show.
inline constexpr QStringView MakerDomain = u"chengchuansoft.example";   // 澄川软件
inline constexpr QStringView PartnerDomain = u"heyusoft.example";       // 禾屿软件

QString MakerSitePage();       // "澄川软件"
QString PartnerSitePage();     // "禾屿软件"
QString LatestVersionPage();   // "最新版本": the maker's site, the program's file name and "/"
QString CustomSoftwarePage();  // "软件定制"

// True when the address holds either domain, in any letter case.
bool IsMakerAddress(const QString &address);

} // namespace papyrant

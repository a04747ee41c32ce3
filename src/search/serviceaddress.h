#pragma once

#include <QString>

namespace papyrant {

// The addresses of the literature service, kept in this one place. The environment variable
// PAPYRANT_SERVICE_BASE (for example "http://127.0.0.1:8080") puts another site in place of the
// service: the tests' local fixture site, or a demo.
QString ServiceBaseAddress();
// The service's home page ("打开CINII搜索首页").
QString ServiceHomePage();
// The result page for a keyword, restricted to entries with full text; encodedKeyword is the
// keyword already percent-encoded (UrlEncode). The query ends with "&as_filetype=pdf".
QString ServiceSearchPage(const QString &encodedKeyword);

} // namespace papyrant

#pragma once

#include "search/searchapi.h"

#include <QString>

namespace papyrant {

struct ServiceProfile;

// The addresses of a literature service, from its profile. The environment variable
// PAPYRANT_SERVICE_BASE (for example "http://127.0.0.1:8080") puts another site in place of the
// service's scheme and host: the tests' local fixture site, or a demo.
QString ServiceBaseAddress(const ServiceProfile &profile);
// The service's home page ("打开CINII搜索首页").
QString ServiceHomePage(const ServiceProfile &profile);
// The result page for a keyword; encodedKeyword is the keyword already percent-encoded
// (UrlEncode), put where the profile's search address says {keyword}.
QString ServiceSearchPage(const ServiceProfile &profile, const QString &encodedKeyword);
// True for an address of the service (after PAPYRANT_SERVICE_BASE) under one of the profile's
// search paths: a page there must be a result list.
bool IsServiceSearchAddress(const ServiceProfile &profile, const QString &address);

// The first page of a keyword's search through the profile's API (its openSearch template): the
// template's path on the service's base address as the endpoint; its count when it gives a
// number (1 to 200), else 200; its other parameters, in their order. A profile without an API
// gives an empty endpoint.
ApiQuery ServiceApiQuery(const ServiceProfile &profile, const QString &keyword);

} // namespace papyrant

#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace papyrant {

// The service's search API (CiNii Research OpenSearch, format=json) and its records
// (/crid/<number>.json), read from their JSON. Both are JSON-LD: any value may come as a
// string, a number, an object with "@value" or "@id", or an array of these, and a list of one
// may come as the one value; every field is read in all these forms. Nothing here touches the
// network.

// A typed identifier: "cir:DOI" / "10.1234/x" in an answer, "DOI" / "10.1234/x" in a record.
struct ApiIdentifier
{
    QString type; // as the service spells it, prefix included
    QString value;
};

// The value of the first identifier of a type ("DOI" matches "DOI", "cir:DOI", "doi"), or empty.
QString IdentifierValue(const QList<ApiIdentifier> &identifiers, QStringView type);

// One hit of a search answer.
struct ApiItem
{
    QString recordAddress; // the record page (/crid/<number>): "@id", else "link"
    QString title;
    QStringList creators;             // "dc:creator"
    QString publicationName;          // "prism:publicationName"
    QString publicationDate;          // "prism:publicationDate"
    QList<ApiIdentifier> identifiers; // "dc:identifier": cir:DOI, cir:NAID, cir:URI, cir:HDL...
};

// One page of a search answer. When ok is false, error says why in words for the batch log and
// nothing else is set.
struct ApiPage
{
    bool ok = false;
    QString error;
    qint64 totalResults = -1; // "opensearch:totalResults"; -1 when the answer does not say
    qint64 startIndex = -1;   // "opensearch:startIndex" (1-based); -1 when it does not say
    qint64 itemsPerPage = -1; // "opensearch:itemsPerPage"; -1 when it does not say
    QList<ApiItem> items;
};

// A record (/crid/<number>.json). When ok is false, error says why and nothing else is set.
struct ApiRecord
{
    bool ok = false;
    QString error;
    QString recordAddress; // "@id"
    QString title;         // the first of "dc:title", "title", "dcterms:title"
    // "url": the full text's landing pages, in the record's order, as given (not checked); a
    // record without full text has none.
    QStringList fullTextAddresses;
    QList<ApiIdentifier> identifiers; // "productIdentifier": DOI, NAID, URI...
    QList<ApiIdentifier> dataSources; // "dataSourceIdentifier": IRDB, CIA...
    QString resourceType;             // "resourceType"
};

// Answers larger than this are not read: a page of 200 hits is some hundred kilobytes.
inline constexpr qsizetype MaxApiAnswerBytes = 16 * 1024 * 1024;

// Reads a search answer. An answer that is not JSON, is cut short, is an error answer, or holds
// neither "opensearch:totalResults" nor "items" is not ok, with its reason.
ApiPage ReadApiPage(QByteArrayView json);
// Reads a record. Not ok, with its reason, when it is not JSON, is cut short, is an error
// answer or is not a JSON object.
ApiRecord ReadApiRecord(QByteArrayView json);

// The service's own words when an answer is an error answer ({"error": ...}), one line; empty
// for anything else. For the log of a request that failed with an HTTP status.
QString ApiErrorText(QByteArrayView json);

// The start of the page after this one (1-based), or 0 when this page was the last: it had no
// items, or the next start lies beyond totalResults. start is what was asked for; the answer's
// own startIndex counts when it gives one. The next start follows the items received, so a
// server that sends fewer than were asked for skips none.
qint64 NextApiStart(const ApiPage &page, qint64 start);

// One page of a search by keyword.
struct ApiQuery
{
    QString endpoint; // the API address, e.g. "https://cir.nii.ac.jp/opensearch/articles"
    QString keyword;
    qint64 start = 1; // 1-based; less than 1 is 1
    int count = 200;  // hits per page, 1 to 200
    // Further parameters (sortorder, hasLinkToFullText, lang...), in order; "q", "count",
    // "start", "format" and "appid" among them are ignored.
    QList<std::pair<QString, QString>> parameters;
};

// The page's address as it may be shown and logged: never with an appid.
//   <endpoint>?q=<keyword>&count=<n>&start=<n>[&<parameters>]&format=json
// Names and values are percent-encoded as UTF-8 ("C++" is "C%2B%2B", a space "%20").
QString ApiPageAddress(const ApiQuery &query);
// The address that is sent: ApiPageAddress with "&appid=<appid>" added (nothing when the appid
// is empty). It must not reach a log, a setting export or a browser.
QString ApiRequestAddress(const ApiQuery &query, const QString &appid);
// Any address without its appid parameters (any case), the other parameters as they were: for
// an address a reply hands back (after redirects) before it is logged.
QString WithoutAppId(const QString &address);

// The record's JSON address for its page: http(s)://<host>/.../crid/<digits>[/] gives the same
// path with ".json" appended, without query or fragment; an address already ending in
// /crid/<digits>.json is returned without query or fragment. Empty for anything else.
QString RecordJsonAddress(const QString &recordPage);

// The address of a DOI: https://doi.org/<doi>, the DOI percent-encoded where an address needs
// it. "doi:", "info:doi/" and doi.org address prefixes are dropped; empty when what is left
// does not start with "10." and hold a "/".
QString DoiAddress(const QString &doi);
// Where a record's full text is to be fetched: its first "url" that is an http(s) address, else
// the address of its DOI, else empty.
QString RecordFullTextAddress(const ApiRecord &record);

} // namespace papyrant

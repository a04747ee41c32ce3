#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace papyrant {

class Element;

// Everything that depends on the literature service the search window works on: its addresses,
// how its result pages show entries, full texts and the next page, and how it says that it
// refuses a client. The extraction, the walk and the batch read these rules and name no service.
// Profiles are data (serviceprofiles.json, built in, and a file of the same form in the settings
// folder); the form is described in the README.
struct ServiceProfile
{
    // A test of a page: every part given must hold (an empty marker never holds).
    struct Marker
    {
        QString markup;    // this text in the page's markup (any case)
        QString text;      // this text in the page's rendered text (any case)
        QString tag;       // an element of this tag...
        QString classWord; // ...whose class holds this word (any case); with no tag, any element
        std::optional<qint64> hitCount; // the hit count is this number (-1: any number at all)
        bool isEmpty() const;
    };

    // The element that holds one result entry: of this tag, its class either this text
    // (trimmed, any case) or holding every one of these words.
    struct EntryRule
    {
        QString tag = QStringLiteral("DIV");
        QString classEquals;
        QStringList classWords;
        bool matches(const Element &element) const;
    };

    // The entry's title is the text of its first A, or of its first A with this class word.
    struct TitleRule
    {
        QString classWord;
    };

    // The first A of an entry, in document order, that qualifies: its text holds every text of
    // one of the groups (any case), or its class holds one of the words.
    struct FullTextRule
    {
        QList<QStringList> linkTexts;
        QStringList classWords;
        bool textQualifies(const QString &text) const;
        bool qualifies(const Element &a) const;
    };

    struct NextRule
    {
        enum Kind {
            Link,    // the first A whose class is classEquals and whose title is one of titles
            RelNext, // the first A or LINK whose rel holds "next"
            PageParameter, // the same address with `parameter` raised by one, while the page had
                           // entries and the hit count says there are more
        } kind = Link;
        QString classEquals;
        QStringList titles;
        QString parameter = QStringLiteral("page");
        QString countParameter = QStringLiteral("count"); // entries per page, in the address
        int pageSize = 20; // entries per page when the address does not say
        bool isLink(const Element &a) const;
    };

    // The hit count: a number (digits, with "," between thousands allowed) written between
    // these two texts in the page's rendered text.
    struct HitCountRule
    {
        QString before;
        QString after;
        bool isEmpty() const { return before.isEmpty() && after.isEmpty(); }
        std::optional<qint64> find(const QString &text) const;
    };

    struct BlockedRule
    {
        QList<Marker> markers;   // any of them: the service's refusal page
        QList<int> statuses;     // an HTTP answer with one of these on a search page
        QStringList searchPaths; // a page under one of these that carries neither a result-list
                                 // nor a no-results marker is a refusal in disguise
    };

    // The optional API the service offers to programs.
    struct Api
    {
        QString openSearch; // address template: {keyword}, {count}, {start}
        bool appidRequired = false;
    };

    QString id;   // what the settings keep
    QString name; // what the user sees
    QString base; // scheme and host; PAPYRANT_SERVICE_BASE replaces it
    QString home = QStringLiteral("/");
    QString search; // the result page of a keyword: path and query, {keyword} percent-encoded
    EntryRule entry;
    TitleRule title;
    FullTextRule fullText;
    QString rowType = QStringLiteral("PDF"); // what a full-text link leads to: "PDF", or "LINK"
                                             // for a landing page the download side resolves
    NextRule next;
    HitCountRule hitCount;
    QList<Marker> resultList; // any of them: the page is a result list
    QList<Marker> noResults;  // any of them: the service found nothing for the search
    BlockedRule blocked;
    bool reportEmptyPages = true; // say in the status bar why a page gave nothing
    std::optional<Api> api;
};

// The profiles the program knows, and what went wrong reading the user's file (empty when
// nothing did).
struct ServiceProfiles
{
    QList<ServiceProfile> profiles;
    QString error;

    const ServiceProfile *find(const QString &id) const;
    // The profile of that id, else the first one (the default).
    const ServiceProfile &chosen(const QString &id) const;
};

// True when a class attribute holds the word (any case; words split by any white space).
bool ClassHasWord(const QString &className, const QString &word);

// The name of the profile file, in the built-in resources and in the settings folder.
QString ServiceProfileFileName();
// The default profile of a new install.
QString DefaultServiceProfileId();

// Reads the profiles of a file in `json` over the built-in ones of `builtIn` (same form). A
// profile of the file whose id is a built-in one changes only the keys it gives (objects merge
// key by key, anything else is replaced); a profile of a new id must be complete. Unknown keys
// are ignored. A file with any fault is left out as a whole: the built-ins are returned and
// `error` names the file (`fileName`), the line and what was wrong there.
ServiceProfiles ReadServiceProfiles(const QByteArray &builtIn, const QByteArray &json,
                                    const QString &fileName);
// The built-in profiles, and the file ServiceProfileFileName() in `folder` (the settings folder)
// over them when there is one.
ServiceProfiles LoadServiceProfiles(const QString &folder);
// The built-in profiles alone, and their file.
const QList<ServiceProfile> &BuiltInServiceProfiles();
QByteArray BuiltInServiceProfileFile();

} // namespace papyrant

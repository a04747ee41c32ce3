#pragma once

#include "browser/browser.h"
#include "browser/staticdocument.h"

#include <QHash>
#include <QStringList>

namespace papyrant::test {

// A browser over pages held in memory, for logic tests that are not about the engine. Navigate
// and a click on a link load the page of that address one event-loop turn later (Busy until
// then) and report it like the real browser: BeforeNavigate2, TitleChange, DocumentComplete.
// Unknown addresses give an empty page; "about:blank" gives an empty page. Input values set
// through the document stay with the page on show.
class StaticBrowser : public Browser
{
    Q_OBJECT

public:
    explicit StaticBrowser(QObject *parent = nullptr);

    // The page shown at an address (exact match, else the address without its query).
    void setPage(const QString &address, const QString &html);
    // Shows the page at once, without events (the state after a finished load).
    void show(const QString &address, const QString &html);
    // The HTTP status the page at that address reports (HttpStatus); 200 for every other page.
    void setStatus(const QString &address, int status);

    void Navigate(const QString &address) override;
    void GoBack() override;
    void GoForward() override;
    void Refresh() override;
    bool Busy() const override { return m_busy; }
    bool Silent() const override { return m_silent; }
    void setSilent(bool silent) override { m_silent = silent; }
    std::shared_ptr<papyrant::Document> Document() override { return m_document; }
    QString URL() const override { return m_document ? m_document->URL() : QString(); }
    int HttpStatus() const override { return m_status; }

    QStringList visited; // every address loaded, in order
    // Addresses whose load never ends, as a server that does not answer: Busy stays true and the
    // page before stays on show.
    QStringList stalled;

private:
    void load(const QString &address, bool record);
    void finish(const QString &address);
    QString pageFor(const QString &address) const;

    QHash<QString, QString> m_pages;
    QHash<QString, int> m_statuses;
    int m_status = 0;
    std::shared_ptr<StaticDocument> m_document;
    QStringList m_history;
    int m_position = -1;
    bool m_busy = false;
    bool m_silent = false;
    int m_generation = 0;
};

// The fixture site's three result pages and its block page in memory under base ("/search",
// "/search2.html", "/search3.html", "/blocked.html"), with the first result page on show.
void loadFixtureResultPages(StaticBrowser &browser, const QString &base);
// The three result pages of a search on the fixture site's stand-in for today's service, in
// memory under base as the profile's walk asks for them ("/articles?q=wetland...", then the
// same with "&page=2" and "&page=3"), with the first one on show. Returns the first address.
QString loadResearchResultPages(StaticBrowser &browser, const QString &base);

} // namespace papyrant::test

#pragma once

#include "foundation/shell.h"

#include <QList>
#include <QStringList>
#include <QUrl>

namespace papyrant::test {

// Stands in for the desktop while it lives: records what would have been opened (documents,
// folders and addresses, the platform opener, the text editor) and answers whether the desktop
// managed. Nothing is launched.
struct OpenerLog
{
    bool desktopSucceeds = true;
    QList<QUrl> desktop;
    QStringList fallback;
    QStringList textEditor;

    OpenerLog()
    {
        setShellOpenersForTesting({[this](const QUrl &u) {
                                       desktop << u;
                                       return desktopSucceeds;
                                   },
                                   [this](const QString &t) {
                                       fallback << t;
                                       return true;
                                   }});
        setTextEditorForTesting([this](const QString &path) {
            textEditor << path;
            return true;
        });
    }
    ~OpenerLog()
    {
        setShellOpenersForTesting({});
        setTextEditorForTesting({});
    }
    OpenerLog(const OpenerLog &) = delete;
    OpenerLog &operator=(const OpenerLog &) = delete;
};

} // namespace papyrant::test

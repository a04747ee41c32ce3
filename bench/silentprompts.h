#pragma once

#include "foundation/prompts.h"

// Benchmarks run unattended: every prompt is answered at once with No or cancel.
class SilentPrompts : public papyrant::Prompts
{
public:
    void message(const QString &, Icon) override {}
    bool askYesNo(const QString &, Icon) override { return false; }
    std::optional<QString> input(const QString &, const QString &, const QString &) override
    {
        return {};
    }
    QString openFile(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &, const QString &, const QString &) override
    {
        return {};
    }
    QString browseFolder(const QString &, const QString &) override { return {}; }
};

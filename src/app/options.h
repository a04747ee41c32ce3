#pragma once

#include "transfer/sharednetwork.h"

#include <QList>
#include <QString>
#include <optional>

namespace papyrant {

class Prompts;

// The program-wide values the options dialog fOption edits.
struct OptionValues
{
    int downloadMethod = 2;          // 1: one transfer at a time; 2: up to six at once
    ProxySettings proxy;             // used by download method one
    double maxFileSizeMB = 10;       // MaxFileSizeMB
    int perHostLimit = 2;            // 每个网站同时下载数, 1..6
    int promptSavePathOnExtract = 1; // PromptSavePathOnExtract
    QString serviceProfile;          // the id of the search window's service profile
    QString updateSiteRoot;          // "更新网址": where the newest version is announced
    QString apiAppId;                // the appid of the service's API (kept out of every log)
};

// A service the options offer: its profile's id and the name the user sees.
struct ServiceChoice
{
    QString id;
    QString name;
};
// The services of the known profiles (built in, and the user's file when it is sound).
QList<ServiceChoice> ServiceChoices();

// The values as stored ("设置" section).
OptionValues LoadOptionValues();

// What the dialog's controls hold when "确定" is pressed.
struct OptionForm
{
    int method = 0;              // Option1 (1), Option2 (2), or neither (0)
    bool proxyOn = false;        // Check1
    QString proxyAddress;        // Text6
    QString proxyPort;           // Text8
    QString sizeLimitText;       // Text1
    int perHostLimit = 2;        // Combo2: 1..6
    bool promptSavePath = false; // Check2
    QString serviceProfile;      // Combo1: the id of the chosen service
    QString updateSiteRoot;      // Text9
    QString apiAppId;            // TextAppid
};

OptionForm FormFromValues(const OptionValues &values);

// The size limit as typed: a number of megabytes above 0 ("10", "2.5", or "2,5" in a locale
// that writes it so). None for anything else.
std::optional<double> ParseSizeLimit(const QString &text);
// The limit written back as text, as few digits as it needs ("10", "2.5").
QString SizeLimitText(double megabytes);

// "确定": stores the form and returns the values now in force. A size limit that is not a
// positive number is refused with a message before anything is stored (nothing returned, the
// dialog stays open). A proxy switched on without an address or with a port that is not a
// number is stored all the same, after a warning.
std::optional<OptionValues> SaveOptions(const OptionForm &form, const OptionValues &current,
                                        Prompts &prompts);

} // namespace papyrant

#pragma once

#include "app/options.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace papyrant {

class Prompts;

// The options dialog: download method, proxy, size limit of downloads, whether extracting
// result pages first asks for the save folder, the literature service searched and the appid of
// its API. Created for
// each show and shown modally.
class FOption : public QDialog
{
    Q_OBJECT
public:
    // `current` fills the controls; `applied` receives the values in force after "确定", so
    // that the open windows can take them at once.
    FOption(const OptionValues &current, Prompts &prompts,
            std::function<void(const OptionValues &)> applied, QWidget *parent = nullptr);

private:
    void command1Click();

    OptionValues m_current;
    Prompts &m_prompts;
    std::function<void(const OptionValues &)> m_applied;
    QRadioButton *m_option1 = nullptr;
    QRadioButton *m_option2 = nullptr;
    QCheckBox *m_check1 = nullptr;
    QCheckBox *m_check2 = nullptr;
    QLineEdit *m_text1 = nullptr;
    QLineEdit *m_text6 = nullptr;
    QLineEdit *m_text8 = nullptr;
    QComboBox *m_combo1 = nullptr;
    QLineEdit *m_text9 = nullptr;
    QLineEdit *m_textAppid = nullptr;
    QComboBox *m_combo2 = nullptr; // 每个网站同时下载数
};

} // namespace papyrant

#pragma once

#include "tools/savefolderpicker.h"

#include <QDialog>

class QComboBox;
class QRadioButton;

namespace papyrant {

class Prompts;

// The save-folder picker window: the folder history, a browse button, the two naming modes.
// Created for each show, so that every show reads the history and the stored folder again.
class FSeleFileSavePath : public QDialog
{
    Q_OBJECT
public:
    FSeleFileSavePath(SavePathValues &values, Prompts &prompts, QWidget *parent = nullptr);

private:
    void command1Click();
    void command2Click();
    void command3Click();

    SaveFolderPickerLogic m_logic;
    SaveFolderPickerLogic::Form m_form;
    QComboBox *m_combo1 = nullptr;
    QRadioButton *m_option1 = nullptr;
    QRadioButton *m_option2 = nullptr;
};

// Shows FSeleFileSavePath modally over the given window.
class QtSaveFolderPicker : public SaveFolderPicker
{
public:
    QtSaveFolderPicker(Prompts &prompts, QWidget *parent = nullptr)
        : m_prompts(prompts), m_parent(parent)
    {}
    void showModal(SavePathValues &values) override;

private:
    Prompts &m_prompts;
    QWidget *m_parent;
};

} // namespace papyrant

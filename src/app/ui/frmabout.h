#pragma once

#include <QDialog>
#include <QString>

namespace papyrant {

class Prompts;

// The system-information program of the desktop, where one is installed (empty otherwise).
QString SystemInformationProgram();

// The about box: title, version, the makers' pages, and the system information.
class FrmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit FrmAbout(Prompts &prompts, QWidget *parent = nullptr);

private:
    void showSystemInformation();
    Prompts &m_prompts;
};

// The usage window: the usage notes, to read.
class FUse : public QDialog
{
    Q_OBJECT
public:
    explicit FUse(QWidget *parent = nullptr);
};

} // namespace papyrant

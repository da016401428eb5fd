#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace q5n {

class ProgramHost;

// The window DlgCtrl "Control Key": 32 buttons carry the names of the control
// codes; the chosen name is inserted, in braces, into the prefix or suffix box
// of the open Miscellaneous page (which box and which page: ctrlKeyTarget and
// readerMode). Shown modally by the page's "Control Keys" buttons.
class ControlKeyPicker : public QDialog
{
    Q_OBJECT
public:
    explicit ControlKeyPicker(ProgramHost &host, QWidget *parent = nullptr);

    // The box an insertion goes into: txt694 (prefix) when ctrlKeyTarget is
    // set, else txt693 (suffix), of magcfg6 in reader mode, else of cfg6.
    // Null when that page is not open.
    QLineEdit *targetBox() const;

    QLineEdit *nameBox() const { return m_name; }

    // Sets ctrlKeyTarget (prefix or suffix) and shows the picker modally over `owner`.
    static void run(ProgramHost &host, QWidget *owner, bool prefix);

private:
    void insertName();
    void exitToTarget();

    ProgramHost &m_host;
    QLineEdit *m_name;
};

} // namespace q5n

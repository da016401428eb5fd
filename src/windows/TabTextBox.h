#pragma once

#include <QPlainTextEdit>

namespace q5n {

// A multi-line box whose Tab key is text, for what a decoder types (its data
// may hold a Tab). Ctrl+Tab and Ctrl+Shift+Tab move the focus to the next and
// the previous control instead, the way out of Qt's text boxes; as shortcuts
// of the box they come before the main window's own use of those keys
// (switching its inner windows).
class TabTextBox : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit TabTextBox(QWidget *parent = nullptr);
};

} // namespace q5n

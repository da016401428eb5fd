#pragma once

#include "model/FieldCatalogue.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <optional>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;

namespace q5n {

class ProgramState;
class Prompter;

// Binds one control (or one group of controls) to a catalogue entry and the
// program state. The control's own change handling writes the field at every
// change, whether the user or the program made it, so showing a value and
// restoring a default behave exactly like a user's choice.
class FieldBinding : public QObject
{
    Q_OBJECT
public:
    FieldBinding(const FieldEntry &entry, ProgramState &state, QObject *parent = nullptr);

    const FieldEntry &entry() const { return m_entry; }

    // Shows the field as workingImage (or the setup text) holds it.
    virtual void show() = 0;
    // Shows the value defaultImage holds, as a user's choice would: a control
    // that changes state writes its value, one that keeps its state writes nothing.
    virtual void restoreDefault() = 0;

Q_SIGNALS:
    // The field's value was written into the program state (the image or
    // its setup text), whoever made the change.
    void written();

protected:
    const FieldEntry &m_entry;
    ProgramState &m_state;
};

// Index and coded fields: an exclusive group of option buttons whose ids are
// the option indexes. The design selection is checked when the binding is
// made, before any write is connected.
class OptionGroupBinding : public FieldBinding
{
    Q_OBJECT
public:
    OptionGroupBinding(const FieldEntry &entry, ProgramState &state, const std::map<int, QAbstractButton *> &buttons,
                       QObject *parent = nullptr);

    void show() override;
    void restoreDefault() override;

    QButtonGroup *group() const { return m_group; }
    // The selected option's index; nothing when no option is selected.
    std::optional<int> selectedOption() const;
    // Selects an option from the program, as a click would.
    void select(int option);

private:
    // Selects the option that shows the masked value; with no such option,
    // selects none.
    bool showValue(int maskedValue);
    void clearSelection();
    // Only the selected option (the first on screen when none is) is a stop
    // of the Tab key, so tabbing into the group lands on the selection.
    void updateTabStop();

    QButtonGroup *m_group;
};

// A check box on a one-bit mask.
class FlagBinding : public FieldBinding
{
    Q_OBJECT
public:
    FlagBinding(const FieldEntry &entry, ProgramState &state, QCheckBox *box, QObject *parent = nullptr);

    void show() override;
    void restoreDefault() override;

private:
    QPointer<QCheckBox> m_box;
};

// Indexed check boxes on one byte; box i owns the bit its option names and
// behaves as a flag. Boxes are set in index order.
class BitSetBinding : public FieldBinding
{
    Q_OBJECT
public:
    BitSetBinding(const FieldEntry &entry, ProgramState &state, const std::map<int, QCheckBox *> &boxes,
                  QObject *parent = nullptr);

    void show() override;
    void restoreDefault() override;
    // Sets every box to the state `bits` gives it, in index order.
    void setBits(int bits);

private:
    std::map<int, QPointer<QCheckBox>> m_boxes;
};

// A text box bound to one setup text; the whole text is stored at every change.
class TextBinding : public FieldBinding
{
    Q_OBJECT
public:
    TextBinding(const FieldEntry &entry, ProgramState &state, QLineEdit *edit, QObject *parent = nullptr);

    void show() override;
    // Setup texts have no defaults: nothing happens.
    void restoreDefault() override {}

private:
    QPointer<QLineEdit> m_edit;
};

// A text box holding one character as a whole byte.
class CharacterBinding : public FieldBinding
{
    Q_OBJECT
public:
    enum class Rule {
        // Code ID boxes: one character of code 32 or more is stored, anything
        // else stores 0; a second character brings a message and empties the box.
        OneCharacterOrMessage,
        // Start/end character boxes: only the first character is kept; an empty
        // box leaves the byte as it is.
        KeepFirstCharacter,
    };

    CharacterBinding(const FieldEntry &entry, ProgramState &state, QLineEdit *edit, Rule rule, Prompter *prompter,
                     QObject *parent = nullptr);

    void show() override;
    void restoreDefault() override;

    static inline const QString kOneCharacterText = QStringLiteral("Allow only one character.");
    static inline const QString kOneCharacterTitle = QStringLiteral("Decoder Configuration Setup");

private:
    void fillFrom(quint8 byte);
    void onTextChanged(const QString &text);

    QPointer<QLineEdit> m_edit;
    Rule m_rule;
    Prompter *m_prompter;
};

// A text box holding a run of whole bytes in the brace notation. Its first
// byte can move (the reader page edits one of several slots).
class CharacterSequenceBinding : public FieldBinding
{
    Q_OBJECT
public:
    CharacterSequenceBinding(const FieldEntry &entry, ProgramState &state, QLineEdit *edit, QObject *parent = nullptr);

    void show() override;
    void restoreDefault() override;

    int firstByte() const { return m_first; }
    // Moves the field to another slot of the same length and shows it.
    void setFirstByte(int first);
    // Empties the slot (all bytes 255) and the box.
    void clear();

private:
    void fill(const QString &text);

    QPointer<QLineEdit> m_edit;
    int m_first;
};

// A number in an editable list of "0" to "9", stored shifted into its mask.
// A typed text stores the number it starts with (0 when none); a text whose
// number does not fit the field (0..15 for four bits) cannot be typed.
class CountBinding : public FieldBinding
{
    Q_OBJECT
public:
    CountBinding(const FieldEntry &entry, ProgramState &state, QComboBox *box, QObject *parent = nullptr);

    void show() override;
    void restoreDefault() override;
    // The number a text starts with; 0 when it starts with none.
    static int leadingNumber(const QString &text);

private:
    void fill(int count);
    QPointer<QComboBox> m_box;
};

// An editable list of the 32 control-code names: a picked name stores its
// code, a typed text stores the code of its first character. An emptied box
// leaves the byte as it is.
class CharacterChoiceBinding : public FieldBinding
{
    Q_OBJECT
public:
    CharacterChoiceBinding(const FieldEntry &entry, ProgramState &state, QComboBox *box, QObject *parent = nullptr);

    void show() override;
    void restoreDefault() override;

private:
    void fill(quint8 byte);
    void write();
    QPointer<QComboBox> m_box;
    bool m_picked = false; // the text is a picked item, not typed
};

// Makes the binding of an entry's kind for the given controls: option groups,
// flags and bit-sets take their member buttons by option index, the other
// kinds one box (a line edit, or a combo box for counts and character choices).
FieldBinding *makeBinding(const FieldEntry &entry, ProgramState &state, Prompter *prompter,
                          const std::map<int, QAbstractButton *> &buttons, QWidget *box, CharacterBinding::Rule rule,
                          QObject *parent);

} // namespace q5n

#include "pages/common/FieldBinding.h"

#include "model/Notation.h"
#include "model/ProgramState.h"
#include "model/Text8.h"
#include "pages/common/Text8Validator.h"
#include "platform/Prompter.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QValidator>

namespace q5n {

FieldBinding::FieldBinding(const FieldEntry &entry, ProgramState &state, QObject *parent)
    : QObject(parent), m_entry(entry), m_state(state)
{
    setObjectName(entry.name);
}

// ---------------------------------------------------------------- option groups

OptionGroupBinding::OptionGroupBinding(const FieldEntry &entry, ProgramState &state,
                                       const std::map<int, QAbstractButton *> &buttons, QObject *parent)
    : FieldBinding(entry, state, parent), m_group(new QButtonGroup(this))
{
    m_group->setObjectName(entry.name);
    m_group->setExclusive(true);
    for (const auto &[index, button] : buttons) {
        button->setCheckable(true);
        m_group->addButton(button, index);
    }
    // The design selection stands before anything is connected: it is the
    // state the page is created with, not a choice.
    if (QAbstractButton *design = m_group->button(entry.designSelection))
        design->setChecked(true);

    for (const auto &[index, button] : buttons) {
        const int option = index;
        // A button that becomes selected, by a click, the keyboard or the
        // program, performs its option's choice; the one already selected
        // does not toggle and so writes nothing.
        connect(button, &QAbstractButton::toggled, this, [this, option](bool checked) {
            if (checked) {
                m_state.setBits(m_entry.byte, m_entry.mask, m_entry.valueOf(option));
                Q_EMIT written();
            }
        });
    }
    // The Tab key enters the group at its selected option.
    connect(m_group, &QButtonGroup::idToggled, this, [this](int, bool) { updateTabStop(); });
    updateTabStop();
}

void OptionGroupBinding::updateTabStop()
{
    QAbstractButton *stop = m_group->checkedButton();
    if (!stop) {
        // No selection: the first option on screen (options are made in screen order).
        const QList<QAbstractButton *> members = m_group->buttons();
        for (QAbstractButton *b : members)
            if (!stop || (b->parentWidget() == stop->parentWidget() &&
                          b->parentWidget()->children().indexOf(b) < stop->parentWidget()->children().indexOf(stop)))
                stop = b;
    }
    for (QAbstractButton *b : m_group->buttons())
        b->setFocusPolicy(b == stop ? Qt::FocusPolicy(b->focusPolicy() | Qt::TabFocus)
                                    : Qt::FocusPolicy(b->focusPolicy() & ~Qt::TabFocus));
}

std::optional<int> OptionGroupBinding::selectedOption() const
{
    const int id = m_group->checkedId();
    if (id == -1)
        return std::nullopt;
    return id;
}

void OptionGroupBinding::select(int option)
{
    if (QAbstractButton *b = m_group->button(option))
        b->setChecked(true);
}

void OptionGroupBinding::clearSelection()
{
    QAbstractButton *checked = m_group->checkedButton();
    if (!checked)
        return;
    // An exclusive group keeps one button checked; lift that for a moment.
    m_group->setExclusive(false);
    checked->setChecked(false);
    m_group->setExclusive(true);
}

bool OptionGroupBinding::showValue(int maskedValue)
{
    const std::optional<int> option = m_entry.optionForCode(maskedValue / m_entry.unit());
    if (!option || !m_group->button(*option)) {
        // No option shows this value: none is selected, and the stored value
        // stays until the user chooses.
        clearSelection();
        return false;
    }
    select(*option);
    return true;
}

void OptionGroupBinding::show()
{
    showValue(m_state.getBits(m_entry.byte, m_entry.mask));
}

void OptionGroupBinding::restoreDefault()
{
    const int value = m_state.getDefaultBits(m_entry.byte, m_entry.mask);
    // A default that no option shows is copied as it is, so the image holds
    // the default and the empty selection tells the truth about it.
    if (!showValue(value)) {
        m_state.setBits(m_entry.byte, m_entry.mask, value);
        Q_EMIT written();
    }
}

// ---------------------------------------------------------------- flags

FlagBinding::FlagBinding(const FieldEntry &entry, ProgramState &state, QCheckBox *box, QObject *parent)
    : FieldBinding(entry, state, parent), m_box(box)
{
    connect(box, &QCheckBox::toggled, this, [this](bool checked) {
        m_state.setBits(m_entry.byte, m_entry.mask, checked ? m_entry.mask : 0);
        Q_EMIT written();
    });
}

void FlagBinding::show()
{
    if (m_box)
        m_box->setChecked(m_state.getBits(m_entry.byte, m_entry.mask) != 0);
}

void FlagBinding::restoreDefault()
{
    if (m_box)
        m_box->setChecked(m_state.getDefaultBits(m_entry.byte, m_entry.mask) != 0);
}

// ---------------------------------------------------------------- bit sets

BitSetBinding::BitSetBinding(const FieldEntry &entry, ProgramState &state, const std::map<int, QCheckBox *> &boxes,
                             QObject *parent)
    : FieldBinding(entry, state, parent)
{
    for (const auto &[index, box] : boxes) {
        const int bit = entry.valueOf(index);
        m_boxes[index] = box;
        connect(box, &QCheckBox::toggled, this, [this, bit](bool checked) {
            m_state.setBits(m_entry.byte, bit, checked ? bit : 0);
            Q_EMIT written();
        });
    }
}

void BitSetBinding::setBits(int bits)
{
    for (const auto &[index, box] : m_boxes)
        if (box)
            box->setChecked((bits & m_entry.valueOf(index)) != 0);
}

void BitSetBinding::show()
{
    setBits(m_state.getBits(m_entry.byte, m_entry.mask));
}

void BitSetBinding::restoreDefault()
{
    setBits(m_state.getDefaultBits(m_entry.byte, m_entry.mask));
}

// ---------------------------------------------------------------- setup texts

TextBinding::TextBinding(const FieldEntry &entry, ProgramState &state, QLineEdit *edit, QObject *parent)
    : FieldBinding(entry, state, parent), m_edit(edit)
{
    connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (m_entry.text)
            setupText(m_state.setupInfo, *m_entry.text) = text;
        Q_EMIT written();
    });
}

void TextBinding::show()
{
    if (m_edit && m_entry.text) {
        m_edit->setText(setupText(m_state.setupInfo, *m_entry.text));
        m_edit->setCursorPosition(0); // a long text shows its beginning
    }
}

// ---------------------------------------------------------------- characters

CharacterBinding::CharacterBinding(const FieldEntry &entry, ProgramState &state, QLineEdit *edit, Rule rule,
                                   Prompter *prompter, QObject *parent)
    : FieldBinding(entry, state, parent), m_edit(edit), m_rule(rule), m_prompter(prompter)
{
    connect(edit, &QLineEdit::textChanged, this, &CharacterBinding::onTextChanged);
}

void CharacterBinding::onTextChanged(const QString &text)
{
    ConfigImage &image = m_state.workingImage;
    const int index = m_entry.byte;
    if (text.size() >= 2) {
        if (m_rule == Rule::OneCharacterOrMessage) {
            if (m_prompter)
                m_prompter->inform(kOneCharacterTitle, kOneCharacterText);
            if (m_edit)
                m_edit->clear(); // a change of its own: stores 0
        } else if (m_edit) {
            m_edit->setText(text.left(1)); // a change of its own: stores that character
        }
        return;
    }
    if (text.isEmpty()) {
        if (m_rule == Rule::OneCharacterOrMessage) {
            image[index] = 0;
            Q_EMIT written();
        }
        return;
    }
    const std::optional<quint8> byte = byteFromChar(text.at(0));
    if (!byte)
        return; // refused where typed; a character without a byte is never stored
    if (m_rule == Rule::OneCharacterOrMessage)
        image[index] = *byte >= 32 ? *byte : 0;
    else
        image[index] = *byte;
    Q_EMIT written();
}

void CharacterBinding::fillFrom(quint8 byte)
{
    if (!m_edit)
        return;
    if (m_rule == Rule::OneCharacterOrMessage && byte == 0)
        m_edit->setText(QString());
    else
        m_edit->setText(QString(charFromByte(byte)));
}

void CharacterBinding::show()
{
    fillFrom(m_state.workingImage.at(m_entry.byte));
}

void CharacterBinding::restoreDefault()
{
    fillFrom(m_state.defaultImage.at(m_entry.byte));
}

// ---------------------------------------------------------------- character sequences

CharacterSequenceBinding::CharacterSequenceBinding(const FieldEntry &entry, ProgramState &state, QLineEdit *edit,
                                                   QObject *parent)
    : FieldBinding(entry, state, parent), m_edit(edit), m_first(entry.byte)
{
    connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) {
        textToInsertion(m_state.workingImage, text, m_first, m_entry.length);
        Q_EMIT written();
    });
}

void CharacterSequenceBinding::fill(const QString &text)
{
    if (!m_edit)
        return;
    // The filled text is read back into the bytes as an edit would be. A box
    // that already shows the text hears no change, so it is read back here.
    if (m_edit->text() == text)
        textToInsertion(m_state.workingImage, text, m_first, m_entry.length);
    else
        m_edit->setText(text);
}

void CharacterSequenceBinding::show()
{
    fill(insertionToText(m_state.workingImage, m_first, m_entry.length));
}

void CharacterSequenceBinding::restoreDefault()
{
    fill(insertionToText(m_state.defaultImage, m_first, m_entry.length));
}

void CharacterSequenceBinding::setFirstByte(int first)
{
    if (!ConfigImage::validIndex(first) || !ConfigImage::validIndex(first + m_entry.length - 1))
        return;
    m_first = first;
    show();
}

void CharacterSequenceBinding::clear()
{
    for (int k = 0; k < m_entry.length; ++k)
        m_state.workingImage[m_first + k] = 255;
    Q_EMIT written();
    if (m_edit)
        m_edit->clear();
}

// ---------------------------------------------------------------- counts

namespace {

// Any text is taken for the number it starts with (0 when it starts with
// none), as long as that number fits the field, so nothing spills into the
// neighbouring bits. A sign is refused: the fields hold no negative counts.
class CountValidator : public QValidator
{
public:
    CountValidator(int largest, QObject *parent) : QValidator(parent), m_largest(largest) {}
    State validate(QString &text, int &) const override
    {
        if (text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+')))
            return Invalid;
        return CountBinding::leadingNumber(text) <= m_largest ? Acceptable : Invalid;
    }

private:
    int m_largest;
};

} // namespace

CountBinding::CountBinding(const FieldEntry &entry, ProgramState &state, QComboBox *box, QObject *parent)
    : FieldBinding(entry, state, parent), m_box(box)
{
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    if (box->count() == 0)
        for (int n = 0; n <= 9; ++n)
            box->addItem(QString::number(n));
    box->setValidator(new CountValidator(entry.mask / entry.unit(), box));
    connect(box, &QComboBox::editTextChanged, this, [this](const QString &text) {
        const int n = std::min(leadingNumber(text), m_entry.mask / m_entry.unit());
        m_state.setBits(m_entry.byte, m_entry.mask, n * m_entry.unit());
        Q_EMIT written();
    });
}

int CountBinding::leadingNumber(const QString &text)
{
    int n = 0;
    for (QChar ch : text) {
        if (!ch.isDigit() || ch.unicode() > '9')
            break;
        n = n * 10 + (ch.unicode() - '0');
        if (n > 255)
            break;
    }
    return n;
}

void CountBinding::fill(int count)
{
    if (m_box)
        m_box->setEditText(QString::number(count));
}

void CountBinding::show()
{
    fill(m_state.getBits(m_entry.byte, m_entry.mask) / m_entry.unit());
}

void CountBinding::restoreDefault()
{
    fill(m_state.getDefaultBits(m_entry.byte, m_entry.mask) / m_entry.unit());
}

// ---------------------------------------------------------------- character choices

CharacterChoiceBinding::CharacterChoiceBinding(const FieldEntry &entry, ProgramState &state, QComboBox *box,
                                               QObject *parent)
    : FieldBinding(entry, state, parent), m_box(box)
{
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr); // a typed "CR" is the letter C, not the name
    if (box->count() == 0)
        for (const FieldOption &o : entry.options)
            box->addItem(o.caption);
    box->lineEdit()->setValidator(new Text8Validator(box));
    // Left with Tab, Enter or a click, the box would look its text up in the
    // list and report the item that spells it ("CR") as picked. Typed text
    // stays typed text: only the list (opened, or stepped with the arrow keys
    // and the wheel) picks an item.
    QObject::disconnect(box->lineEdit(), &QLineEdit::editingFinished, box, nullptr);
    QObject::disconnect(box->lineEdit(), &QLineEdit::returnPressed, box, nullptr);
    connect(box, &QComboBox::activated, this, [this](int) {
        m_picked = true;
        write();
    });
    connect(box->lineEdit(), &QLineEdit::textEdited, this, [this](const QString &) {
        m_picked = false;
        write();
    });
}

void CharacterChoiceBinding::write()
{
    if (!m_box)
        return;
    const int index = m_box->currentIndex();
    if (m_picked && index >= 0 && m_entry.option(index)) {
        m_state.workingImage[m_entry.byte] = static_cast<quint8>(m_entry.option(index)->code);
        Q_EMIT written();
        return;
    }
    const QString text = m_box->currentText();
    if (text.isEmpty())
        return; // nothing to take: the byte stays until a character is typed or picked
    if (const auto byte = byteFromChar(text.at(0))) {
        m_state.workingImage[m_entry.byte] = *byte;
        Q_EMIT written();
    }
}

void CharacterChoiceBinding::fill(quint8 byte)
{
    if (!m_box)
        return;
    if (byte > 31 || !m_entry.optionForCode(byte)) {
        m_box->setCurrentIndex(-1);
        m_box->setEditText(QString(charFromByte(byte)));
        m_picked = false;
    } else {
        m_box->setCurrentIndex(*m_entry.optionForCode(byte));
        m_picked = true;
    }
    write();
}

void CharacterChoiceBinding::show()
{
    fill(m_state.workingImage.at(m_entry.byte));
}

void CharacterChoiceBinding::restoreDefault()
{
    fill(m_state.defaultImage.at(m_entry.byte));
}

// ---------------------------------------------------------------- factory

FieldBinding *makeBinding(const FieldEntry &entry, ProgramState &state, Prompter *prompter,
                          const std::map<int, QAbstractButton *> &buttons, QWidget *box, CharacterBinding::Rule rule,
                          QObject *parent)
{
    auto *edit = qobject_cast<QLineEdit *>(box);
    auto *combo = qobject_cast<QComboBox *>(box);
    switch (entry.kind) {
    case FieldKind::Index:
    case FieldKind::Coded: return new OptionGroupBinding(entry, state, buttons, parent);
    case FieldKind::Flag: {
        auto *box = buttons.empty() ? nullptr : qobject_cast<QCheckBox *>(buttons.begin()->second);
        return box ? new FlagBinding(entry, state, box, parent) : nullptr;
    }
    case FieldKind::BitSet: {
        std::map<int, QCheckBox *> boxes;
        for (const auto &[index, b] : buttons)
            if (auto *box = qobject_cast<QCheckBox *>(b))
                boxes[index] = box;
        return new BitSetBinding(entry, state, boxes, parent);
    }
    case FieldKind::Character: return edit ? new CharacterBinding(entry, state, edit, rule, prompter, parent) : nullptr;
    case FieldKind::CharacterSequence: return edit ? new CharacterSequenceBinding(entry, state, edit, parent) : nullptr;
    case FieldKind::Text: return edit ? new TextBinding(entry, state, edit, parent) : nullptr;
    case FieldKind::Count: return combo ? new CountBinding(entry, state, combo, parent) : nullptr;
    case FieldKind::CharacterChoice: return combo ? new CharacterChoiceBinding(entry, state, combo, parent) : nullptr;
    }
    return nullptr;
}

} // namespace q5n

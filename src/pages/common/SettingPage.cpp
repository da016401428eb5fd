#include "pages/common/SettingPage.h"

#include "model/FieldCatalogue.h"
#include "model/ProgramState.h"
#include "model/TextItems.h"
#include "pages/common/Text8Validator.h"
#include "shell/AppContext.h"
#include "shell/ProgramHost.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <limits>

namespace q5n {

namespace {

// Where a placement stands on screen, for the order in which controls are
// made (which is the order Tab visits them): its frame, then the cell of the
// box it stands in (or its own cell), then its cell in that box.
using ScreenKey = std::array<int, 5>;
ScreenKey screenKey(const PageLayout &layout, int frame, const QString &box, const Cell &cell)
{
    for (const BoxPlacement &b : layout.boxes)
        if (!box.isEmpty() && b.key == box)
            return {frame, b.cell.row, b.cell.column, cell.row, cell.column};
    return {frame, cell.row, cell.column, -1, -1};
}

QGridLayout *makeGrid(QWidget *owner)
{
    auto *grid = new QGridLayout(owner);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(8);
    return grid;
}

} // namespace

QString spokenCaption(const QString &caption)
{
    QString spoken;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) {
            ++i; // "&x" is an access-key mark, "&&" a plain "&"
        }
        spoken += caption[i];
    }
    spoken = spoken.trimmed();
    while (spoken.endsWith(QLatin1Char(':')))
        spoken = spoken.chopped(1).trimmed();
    return spoken;
}

namespace {

// Option indexes as they stand on screen: the arrangement given, or one
// column in index order.
std::vector<std::vector<int>> rowsOf(const FieldPlacement &placement, const FieldEntry &entry)
{
    if (!placement.arrangement.empty())
        return placement.arrangement;
    std::vector<std::vector<int>> rows;
    for (const FieldOption &o : entry.options)
        rows.push_back({o.index});
    return rows;
}

} // namespace

QStringList layoutProblems(const PageLayout &layout)
{
    QStringList problems;
    const int page = layout.window.page;
    const int frames = int(layout.tabs.size());
    if (layout.tabs.empty())
        problems << QStringLiteral("no tabs");
    auto frameProblem = [&](const QString &who, int frame) {
        if (frame < 0 || frame >= frames)
            problems << QStringLiteral("%1: frame %2 does not exist").arg(who).arg(frame);
    };
    std::map<QString, int> boxes;
    for (const BoxPlacement &b : layout.boxes) {
        frameProblem(QStringLiteral("box ") + b.key, b.frame);
        if (++boxes[b.key] == 2)
            problems << QStringLiteral("box %1: key used twice").arg(b.key);
    }
    auto boxProblem = [&](const QString &who, const QString &box) {
        if (!box.isEmpty() && !boxes.count(box))
            problems << QStringLiteral("%1: box %2 does not exist").arg(who, box);
    };

    // How often each field, and each option of a group, stands on the page.
    std::map<QString, int> placed;
    std::map<std::pair<QString, int>, int> optionsPlaced;
    for (const FieldPlacement &p : layout.fields) {
        const FieldEntry *entry = findField(page, p.field);
        if (!entry) {
            problems << QStringLiteral("%1: no field of page %2").arg(p.field).arg(page);
            continue;
        }
        frameProblem(p.field, p.frame);
        boxProblem(p.field, p.box);
        ++placed[p.field];
        const bool members =
            entry->kind == FieldKind::Index || entry->kind == FieldKind::Coded || entry->kind == FieldKind::BitSet;
        if (!members) {
            if (!p.arrangement.empty())
                problems << QStringLiteral("%1: an arrangement for a field without options").arg(p.field);
            continue;
        }
        if (p.arrangement.empty()) {
            for (const FieldOption &o : entry->options)
                ++optionsPlaced[{p.field, o.index}];
            continue;
        }
        for (const auto &row : p.arrangement)
            for (int index : row) {
                if (index < 0)
                    continue;
                if (!entry->option(index))
                    problems << QStringLiteral("%1: option %2 does not exist").arg(p.field).arg(index);
                else
                    ++optionsPlaced[{p.field, index}];
            }
    }
    for (const FieldEntry *entry : fieldsOfPage(page)) {
        const int times = placed.count(entry->name) ? placed[entry->name] : 0;
        if (times == 0) {
            problems << QStringLiteral("%1: not placed").arg(entry->name);
            continue;
        }
        const bool members =
            entry->kind == FieldKind::Index || entry->kind == FieldKind::Coded || entry->kind == FieldKind::BitSet;
        if (!members) {
            if (times > 1)
                problems << QStringLiteral("%1: placed %2 times").arg(entry->name).arg(times);
            continue;
        }
        for (const FieldOption &o : entry->options) {
            const auto it = optionsPlaced.find({entry->name, o.index});
            const int n = it == optionsPlaced.end() ? 0 : it->second;
            if (n != 1)
                problems << QStringLiteral("%1: option %2 placed %3 times").arg(entry->name).arg(o.index).arg(n);
        }
    }

    std::map<QString, int> buttons;
    for (const ButtonPlacement &b : layout.buttons) {
        frameProblem(b.name, b.frame);
        boxProblem(b.name, b.box);
        if (++buttons[b.name] == 2)
            problems << QStringLiteral("%1: button name used twice").arg(b.name);
        if (b.restores.empty() && !b.action)
            problems << QStringLiteral("%1: restores nothing and has no action").arg(b.name);
        for (const QString &field : b.restores)
            if (!findField(page, field))
                problems << QStringLiteral("%1: restores %2, no field of page %3").arg(b.name, field).arg(page);
    }
    return problems;
}

SettingPage::SettingPage(ProgramHost &host, const PageLayout &layout, QWidget *parent)
    : PageWindow(host, layout.window, parent)
{
    build(layout);
}

QWidget *SettingPage::frame(int index) const
{
    return index >= 0 && index < frameCount() ? m_frames[std::size_t(index)] : nullptr;
}

FieldBinding *SettingPage::binding(const QString &field) const
{
    for (const auto &[name, b] : m_bindings)
        if (name == field)
            return b;
    return nullptr;
}

QPushButton *SettingPage::button(const QString &name) const
{
    const auto it = m_buttons.find(name);
    return it == m_buttons.end() ? nullptr : it->second;
}

QGridLayout *SettingPage::gridOf(int frame, const QString &box) const
{
    if (!box.isEmpty()) {
        const auto it = m_boxGrids.find(box);
        if (it != m_boxGrids.end())
            return it->second;
    }
    return frame >= 0 && frame < int(m_frameGrids.size()) ? m_frameGrids[std::size_t(frame)] : nullptr;
}

void SettingPage::build(const PageLayout &layout)
{
    // A layout that does not match its page's fields is a programming error;
    // the layout test runs this check over every page.
    for (const QString &problem : layoutProblems(layout))
        qCritical("Page %d layout: %s", layout.window.page, qPrintable(problem));

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 10, 10, 10);
    outer->setSpacing(0);

    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(layout.tabStrip);
    m_tabs->setExpanding(false);
    m_tabs->setDrawBase(false);
    for (const PageTab &tab : layout.tabs) {
        const int i = m_tabs->addTab(tab.caption);
        m_tabs->setTabToolTip(i, tab.tooltip);
    }
    outer->addWidget(m_tabs);

    // The pane under the tabs; every frame stands in the same place in it and
    // only the current one is visible.
    auto *pane = new QFrame(this);
    pane->setObjectName(layout.frameGroup + QStringLiteral("Pane"));
    pane->setFrameShape(QFrame::StyledPanel);
    pane->setFrameShadow(QFrame::Raised);
    auto *paneGrid = new QGridLayout(pane);
    paneGrid->setContentsMargins(12, 12, 12, 12);
    outer->addWidget(pane, 1);

    for (std::size_t k = 0; k < layout.tabs.size(); ++k) {
        const PageTab &tab = layout.tabs[k];
        QWidget *f;
        if (tab.frameCaption.isEmpty())
            f = new QFrame(pane);
        else
            f = new QGroupBox(tab.frameCaption, pane);
        // A screen reader names every frame: by its caption, else by its tab's.
        f->setAccessibleName(spokenCaption(tab.frameCaption.isEmpty() ? tab.caption : tab.frameCaption));
        f->setObjectName(layout.frameGroup + QLatin1Char('_') + QString::number(k));
        paneGrid->addWidget(f, 0, 0);
        m_frames.push_back(f);
        QGridLayout *grid = makeGrid(f);
        if (tab.frameCaption.isEmpty())
            grid->setContentsMargins(0, 0, 0, 0);
        m_frameGrids.push_back(grid);
    }

    for (const BoxPlacement &b : layout.boxes) {
        QGridLayout *frameGrid = gridOf(b.frame, QString());
        if (!frameGrid)
            continue;
        auto *box = new QGroupBox(b.caption, frame(b.frame));
        box->setAccessibleName(spokenCaption(b.caption));
        box->setObjectName(b.name);
        frameGrid->addWidget(box, b.cell.row, b.cell.column, b.cell.rowSpan, b.cell.columnSpan, b.cell.alignment);
        m_boxGrids[b.key] = makeGrid(box);
    }

    // Controls first, for every placement; the bindings follow once each
    // entry has all its members, in the order the table first names them.
    struct Members
    {
        const FieldEntry *entry = nullptr;
        const FieldPlacement *placement = nullptr;
        std::map<int, QAbstractButton *> buttons;
        QWidget *box = nullptr;
    };
    std::vector<Members> members;
    for (const FieldPlacement &p : layout.fields) {
        const FieldEntry *entry = findField(layout.window.page, p.field);
        if (!entry)
            continue;
        if (std::none_of(members.begin(), members.end(), [&](const Members &m) { return m.entry == entry; }))
            members.push_back({entry, &p, {}, nullptr});
    }

    // Controls and buttons are made in screen order, row by row and left to
    // right, so that Tab follows the screen.
    struct Placed
    {
        ScreenKey key;
        const FieldPlacement *field = nullptr;
        const ButtonPlacement *button = nullptr;
    };
    std::vector<Placed> placed;
    for (const FieldPlacement &p : layout.fields)
        placed.push_back({screenKey(layout, p.frame, p.box, p.cell), &p, nullptr});
    for (const ButtonPlacement &b : layout.buttons)
        placed.push_back({screenKey(layout, b.frame, b.box, b.cell), nullptr, &b});
    std::stable_sort(placed.begin(), placed.end(), [](const Placed &a, const Placed &b) { return a.key < b.key; });

    for (const Placed &item : placed) {
        if (const FieldPlacement *p = item.field) {
            const FieldEntry *entry = findField(layout.window.page, p->field);
            auto it = std::find_if(members.begin(), members.end(), [&](const Members &m) { return m.entry == entry; });
            if (it != members.end())
                placeField(*p, *entry, it->buttons, it->box);
            continue;
        }
        const ButtonPlacement &b = *item.button;
        QGridLayout *grid = gridOf(b.frame, b.box);
        if (!grid)
            continue;
        auto *button = new QPushButton(b.caption, grid->parentWidget());
        button->setObjectName(b.name);
        grid->addWidget(button, b.cell.row, b.cell.column, b.cell.rowSpan, b.cell.columnSpan, b.cell.alignment);
        m_buttons[b.name] = button;
        if (b.action) {
            auto action = b.action;
            connect(button, &QPushButton::clicked, this, [this, action] { action(*this); });
        } else {
            auto fields = b.restores;
            connect(button, &QPushButton::clicked, this, [this, fields] { restoreDefaults(fields); });
        }
    }

    // Each frame keeps its content at the top left, with the room the largest
    // frame needs, so switching tabs never resizes the window.
    QSize largest;
    for (std::size_t k = 0; k < m_frames.size(); ++k) {
        QGridLayout *grid = m_frameGrids[k];
        grid->setRowStretch(grid->rowCount(), 1);
        grid->setColumnStretch(grid->columnCount(), 1);
        largest = largest.expandedTo(m_frames[k]->sizeHint());
    }
    for (QWidget *f : m_frames)
        f->setMinimumSize(largest);

    for (const Members &m : members) {
        FieldBinding *b = makeBinding(*m.entry, context().state, &context().prompter, m.buttons, m.box,
                                      m.placement->characterRule, this);
        if (!b)
            continue;
        m_bindings.emplace_back(m.entry->name, b);
        const QString name = m.entry->name;
        connect(b, &FieldBinding::written, this, [this, name] { Q_EMIT fieldWritten(name); });
    }

    // Open: frame 0 visible, every other frame hidden, then every field shown.
    m_currentFrame = 0;
    for (std::size_t k = 0; k < m_frames.size(); ++k)
        m_frames[k]->setVisible(k == 0);
    for (const auto &entry : m_bindings)
        entry.second->show();

    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) { selectTab(index + 1); });

    // Besides the access keys, the keys every tabbed dialog knows switch the
    // frames: Ctrl+Tab and Ctrl+PgDn to the right, Ctrl+Shift+Tab and
    // Ctrl+PgUp to the left.
    const std::pair<QList<QKeySequence>, int> frameKeys[] = {
        {{QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)}, 1},
        {{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
          QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
         -1},
    };
    for (const auto &[keys, step] : frameKeys) {
        auto *shortcut = new QShortcut(this);
        shortcut->setKeys(keys);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] { stepTab(step); });
    }

    if (layout.afterShow)
        layout.afterShow(*this);
}

QWidget *SettingPage::fieldControl(const QString &field, int option) const
{
    const auto it = m_fieldWidgets.find(field);
    if (it == m_fieldWidgets.end())
        return nullptr;
    if (option < 0)
        return it->second.control;
    const auto o = it->second.options.find(option);
    return o == it->second.options.end() ? nullptr : o->second;
}

QList<QWidget *> SettingPage::fieldWidgets(const QString &field) const
{
    const auto it = m_fieldWidgets.find(field);
    return it == m_fieldWidgets.end() ? QList<QWidget *>() : it->second.all;
}

void SettingPage::setFieldEnabled(const QString &field, bool enabled)
{
    for (QWidget *w : fieldWidgets(field))
        w->setEnabled(enabled);
}

bool SettingPage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn)
        m_lastFocusedField = watched->objectName();
    // A text box drops its selection when the focus leaves it (this filter
    // runs before it does); the page keeps it for a picker.
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (event->type() == QEvent::FocusOut && box) {
        KeptSelection &kept = m_keptSelections[box->objectName()];
        kept.text = box->text();
        kept.cursor = box->cursorPosition();
        kept.start = box->hasSelectedText() ? box->selectionStart() : -1;
        kept.length = int(box->selectedText().size());
    }
    return PageWindow::eventFilter(watched, event);
}

void SettingPage::restoreSelection(QLineEdit *box) const
{
    const auto it = box ? m_keptSelections.find(box->objectName()) : m_keptSelections.end();
    if (it == m_keptSelections.end() || it->second.text != box->text())
        return;
    const KeptSelection &kept = it->second;
    if (kept.start < 0)
        box->setCursorPosition(kept.cursor);
    else if (kept.cursor == kept.start) // marked from right to left
        box->setSelection(kept.start + kept.length, -kept.length);
    else
        box->setSelection(kept.start, kept.length);
}

QWidget *SettingPage::firstStop(int index) const
{
    QWidget *f = frame(index);
    if (!f)
        return nullptr;
    // In the order of the focus chain, which the reader pages rearrange.
    for (QWidget *w = f->nextInFocusChain(); w && w != f; w = w->nextInFocusChain())
        if (f->isAncestorOf(w) && w->isVisibleTo(f) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
            return w;
    return nullptr;
}

void SettingPage::focusInEvent(QFocusEvent *event)
{
    PageWindow::focusInEvent(event);
    if (QWidget *first = firstStop(m_currentFrame))
        first->setFocus(event->reason());
}

void SettingPage::placeField(const FieldPlacement &p, const FieldEntry &entry,
                             std::map<int, QAbstractButton *> &buttons, QWidget *&boxOut)
{
    QGridLayout *grid = gridOf(p.frame, p.box);
    if (!grid)
        return;
    QWidget *owner = grid->parentWidget();
    FieldWidgets &made = m_fieldWidgets[entry.name];
    // A label beside a captioned control stands to its left, as its buddy.
    Cell cell = p.cell;
    QLabel *sideLabel = nullptr;
    if (!entry.label.isEmpty() && entry.kind != FieldKind::Text) {
        sideLabel = new QLabel(entry.label, owner);
        sideLabel->setObjectName(entry.name + QStringLiteral("Label"));
        made.all.append(sideLabel);
        grid->addWidget(sideLabel, cell.row, cell.column);
        cell.column += 1;
    }

    switch (entry.kind) {
    case FieldKind::Index:
    case FieldKind::Coded:
    case FieldKind::BitSet: {
        QGridLayout *target = grid;
        int row0 = p.cell.row;
        int col0 = p.cell.column;
        const bool ownBox = p.box.isEmpty() && entry.kind != FieldKind::BitSet && p.ownBox;
        if (ownBox) {
            // A group with a caption stands in a captioned box; one without
            // (its label beside it) in a plain row.
            QWidget *box = entry.caption.isEmpty() ? new QWidget(owner) : new QGroupBox(entry.caption, owner);
            // A group without a caption of its own is named by the label beside it.
            box->setAccessibleName(spokenCaption(entry.caption.isEmpty() ? entry.label : entry.caption));
            box->setObjectName(p.groupBoxName);
            made.all.append(box);
            grid->addWidget(box, cell.row, cell.column, cell.rowSpan, cell.columnSpan, cell.alignment);
            target = makeGrid(box);
            if (entry.caption.isEmpty())
                target->setContentsMargins(0, 0, 0, 0);
            owner = box;
            row0 = col0 = 0;
        }
        const auto rows = rowsOf(p, entry);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            for (std::size_t c = 0; c < rows[r].size(); ++c) {
                const FieldOption *o = entry.option(rows[r][c]);
                if (!o)
                    continue;
                QAbstractButton *b;
                if (entry.kind == FieldKind::BitSet)
                    b = new QCheckBox(o->caption, owner);
                else
                    b = new QRadioButton(o->caption, owner);
                b->setObjectName(entry.name + QLatin1Char('_') + QString::number(o->index));
                // Announced as a person reads the caption ("Not Optput", not its blank).
                b->setAccessibleName(spokenCaption(o->caption));
                target->addWidget(b, row0 + int(r), col0 + int(c));
                buttons[o->index] = b;
                made.options[o->index] = b;
                made.all.append(b);
                if (sideLabel && !sideLabel->buddy())
                    sideLabel->setBuddy(b);
            }
        }
        break;
    }
    case FieldKind::Flag: {
        auto *box = new QCheckBox(entry.caption, owner);
        box->setObjectName(entry.name);
        // A box captioned "ON" beside its label: the label says what it switches.
        if (sideLabel)
            box->setAccessibleDescription(spokenCaption(entry.label));
        grid->addWidget(box, cell.row, cell.column, cell.rowSpan, cell.columnSpan, cell.alignment);
        if (sideLabel)
            sideLabel->setBuddy(box);
        buttons[0] = box;
        made.control = box;
        made.all.append(box);
        break;
    }
    case FieldKind::Count:
    case FieldKind::CharacterChoice: {
        auto *label = new QLabel(entry.caption, owner);
        label->setObjectName(entry.name + QStringLiteral("Label"));
        auto *box = new QComboBox(owner);
        box->setObjectName(entry.name);
        // Editable from the start, so that its text box stands in the focus
        // chain where the list box stands on screen.
        box->setEditable(true);
        label->setBuddy(box);
        box->setAccessibleName(spokenCaption(entry.caption));
        made.control = box;
        made.all << label << box;
        box->installEventFilter(this);
        if (p.labelAbove) {
            grid->addWidget(label, p.cell.row, p.cell.column, 1, p.cell.columnSpan);
            grid->addWidget(box, p.cell.row + 1, p.cell.column, 1, p.cell.columnSpan, p.cell.alignment);
        } else {
            grid->addWidget(label, p.cell.row, p.cell.column);
            grid->addWidget(box, p.cell.row, p.cell.column + 1, p.cell.rowSpan, p.cell.columnSpan, p.cell.alignment);
        }
        boxOut = box;
        break;
    }
    case FieldKind::Text:
    case FieldKind::Character:
    case FieldKind::CharacterSequence: {
        auto *label = new QLabel(entry.caption, owner);
        label->setObjectName(entry.name + QStringLiteral("Label"));
        auto *box = new QLineEdit(owner);
        box->setObjectName(entry.name);
        box->setValidator(new Text8Validator(box));
        label->setBuddy(box);
        box->setAccessibleName(spokenCaption(entry.caption));
        made.control = box;
        made.all << label << box;
        box->installEventFilter(this);
        if (p.labelAbove) {
            grid->addWidget(label, p.cell.row, p.cell.column, 1, p.cell.columnSpan);
            grid->addWidget(box, p.cell.row + 1, p.cell.column, 1, p.cell.columnSpan);
        } else {
            grid->addWidget(label, p.cell.row, p.cell.column);
            grid->addWidget(box, p.cell.row, p.cell.column + 1, p.cell.rowSpan, p.cell.columnSpan);
        }
        if (entry.kind == FieldKind::Text) {
            box->setMinimumWidth(box->fontMetrics().averageCharWidth() * 48);
            // As long as a line of a setup file may be: the files refuse longer ones.
            box->setMaxLength(kMaxLineLength);
        } else if (entry.kind == FieldKind::Character)
            box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("WWWW")) + 12);
        boxOut = box;
        break;
    }
    }
}

void SettingPage::restoreDefaults(const std::vector<QString> &fields)
{
    for (const QString &name : fields)
        if (FieldBinding *b = binding(name))
            b->restoreDefault();
}

void SettingPage::selectTab(int position)
{
    if (position == m_currentFrame + 1)
        return;
    QWidget *next = frame(position - 1);
    QWidget *shown = frame(m_currentFrame);
    if (!next)
        return;
    next->setVisible(true);
    m_currentFrame = position - 1;
    // The focus goes to the frame shown before the other is hidden, which
    // would otherwise pass it on along the focus chain.
    if (shown && shown->isAncestorOf(focusWidget()))
        if (QWidget *first = firstStop(m_currentFrame))
            first->setFocus(Qt::TabFocusReason);
    if (shown)
        shown->setVisible(false);
}

void SettingPage::stepTab(int step)
{
    const int count = m_tabs->count();
    if (count > 0)
        m_tabs->setCurrentIndex(((m_tabs->currentIndex() + step) % count + count) % count);
}

} // namespace q5n

#include "support/FocusOrder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QHash>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace q5n::test {

namespace {

// The exclusive group a button belongs to, as an identity (nullptr: none).
const QObject *exclusiveGroup(const QWidget *w)
{
    auto *button = qobject_cast<const QAbstractButton *>(w);
    if (!button || !button->isCheckable())
        return nullptr;
    if (button->group() && button->group()->exclusive())
        return button->group();
    if (button->autoExclusive())
        return button->parentWidget();
    return nullptr;
}

std::vector<QAbstractButton *> groupMembers(const QWidget *w)
{
    std::vector<QAbstractButton *> members;
    auto *button = qobject_cast<const QAbstractButton *>(w);
    if (button->group()) {
        for (QAbstractButton *b : button->group()->buttons())
            members.push_back(b);
    } else {
        for (QAbstractButton *b : button->parentWidget()->findChildren<QAbstractButton *>(Qt::FindDirectChildrenOnly))
            if (b->autoExclusive() && b->isCheckable())
                members.push_back(b);
    }
    return members;
}

bool shown(const QWidget *w, const QWidget *window)
{
    return w->isVisibleTo(window) && w->isEnabled() && (w == window || window->isAncestorOf(w));
}

// A control that the screen order counts: a stop, or any member of an
// exclusive option group (the group itself decides which member is the stop).
bool counts(const QWidget *w, const QWidget *window)
{
    if (!shown(w, window) || w->focusProxy())
        return false;
    return (w->focusPolicy() & Qt::TabFocus) || exclusiveGroup(w);
}

// The controls under `parent`, in screen order: the child widgets that hold
// any are read in rows (a child starts a new row when it stands below the
// ones read so far), each row from left to right, each child whole.
void screenOrder(QWidget *parent, const QWidget *window, QList<QWidget *> &out)
{
    struct Child
    {
        QWidget *widget;
        QRect rect;
    };
    std::vector<Child> children;
    for (QWidget *child : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!child->isVisibleTo(window) || child->isWindow())
            continue;
        bool holds = counts(child, window);
        if (!holds)
            for (QWidget *w : child->findChildren<QWidget *>())
                if (counts(w, window)) {
                    holds = true;
                    break;
                }
        if (holds)
            children.push_back({child, child->geometry()});
    }
    std::stable_sort(children.begin(), children.end(),
                     [](const Child &a, const Child &b) { return a.rect.top() < b.rect.top(); });
    std::size_t i = 0;
    while (i < children.size()) {
        // A row: every child whose top lies above the middle of the row's
        // first child.
        const int rowMiddle = children[i].rect.center().y();
        std::size_t end = i + 1;
        while (end < children.size() && children[end].rect.top() < rowMiddle)
            ++end;
        std::stable_sort(children.begin() + std::ptrdiff_t(i), children.begin() + std::ptrdiff_t(end),
                         [](const Child &a, const Child &b) { return a.rect.left() < b.rect.left(); });
        for (std::size_t k = i; k < end; ++k) {
            if (counts(children[k].widget, window))
                out.append(children[k].widget);
            else
                screenOrder(children[k].widget, window, out);
        }
        i = end;
    }
}

// One entry per group: its first member in the given order stands for it.
QList<QWidget *> oneEntryPerGroup(const QList<QWidget *> &order)
{
    QList<QWidget *> result;
    QList<const QObject *> groups;
    for (QWidget *w : order) {
        if (const QObject *g = exclusiveGroup(w)) {
            if (groups.contains(g))
                continue;
            groups.append(g);
        }
        result.append(w);
    }
    return result;
}

// The member a group should be entered at: the selected one, else the first
// on screen.
QWidget *entryOf(QWidget *first)
{
    for (QAbstractButton *b : groupMembers(first))
        if (b->isChecked())
            return b;
    return first;
}

QString names(const QList<QWidget *> &list)
{
    QStringList n;
    for (const QWidget *w : list)
        n << describeWidget(w);
    return n.join(QStringLiteral(", "));
}

} // namespace

QString describeWidget(const QWidget *w)
{
    if (!w)
        return QStringLiteral("(none)");
    if (!w->objectName().isEmpty())
        return w->objectName();
    QString text;
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        text = b->text();
    return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w->metaObject()->className()), text);
}

namespace {

// The stops the keyboard visits from `start` on (Tab, or Shift+Tab backwards),
// pressed as a user presses them, until the focus is back at `start`. A
// text box that types Tab is left with Ctrl+Tab. What is hidden or
// outside `window` is a problem.
QList<QWidget *> walk(QWidget *start, bool forward, const QWidget *window, QStringList &problems)
{
    const QString key = forward ? QStringLiteral("Tab") : QStringLiteral("Shift+Tab");
    const Qt::Key tab = forward ? Qt::Key_Tab : Qt::Key_Backtab;
    const Qt::KeyboardModifiers shift = forward ? Qt::NoModifier : Qt::ShiftModifier;
    // A focused option becomes its group's only Tab stop; the walk leaves
    // the window's stops as it found them.
    QHash<QWidget *, Qt::FocusPolicy> policies;
    for (QWidget *child : window->findChildren<QWidget *>())
        policies.insert(child, child->focusPolicy());
    // Only what changed: a viewport would pass its own to its box, the proxy.
    const auto restore = qScopeGuard([&policies] {
        for (auto it = policies.cbegin(); it != policies.cend(); ++it)
            if (it.key()->focusPolicy() != it.value())
                it.key()->setFocusPolicy(it.value());
    });
    QList<QWidget *> visited;
    start->setFocus(Qt::TabFocusReason);
    QWidget *w = QApplication::focusWidget();
    while (w && !visited.contains(w) && visited.size() < 1000) {
        visited.append(w);
        QTest::keyClick(w, tab, shift);
        auto *box = qobject_cast<QPlainTextEdit *>(w);
        if (QApplication::focusWidget() == w && box && !box->tabChangesFocus() && !box->isReadOnly())
            QTest::keyClick(w, tab, shift | Qt::ControlModifier);
        QWidget *next = QApplication::focusWidget();
        if (!next || next == start)
            break;
        if (!window->isAncestorOf(next)) {
            problems << QStringLiteral("%1 leaves the window from %2 to %3")
                            .arg(key, describeWidget(w), describeWidget(next));
            break;
        }
        if (!next->isVisibleTo(window) || !next->isEnabled())
            problems << QStringLiteral("%1 reaches %2 after %3, which is not shown")
                            .arg(key, describeWidget(next), describeWidget(w));
        w = next;
    }
    if (QApplication::focusWidget() != start)
        problems << QStringLiteral("%1 does not come back to %2").arg(key, describeWidget(start));
    return visited;
}

} // namespace

QStringList focusOrderProblems(QWidget *window)
{
    QStringList problems;
    QList<QWidget *> screen;
    screenOrder(window, window, screen);
    screen = oneEntryPerGroup(screen);
    if (screen.isEmpty())
        return problems;

    // The keyboard's round, from where the screen order starts, both ways.
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window->window()))
        return {QStringLiteral("the window cannot take the focus")};
    QWidget *first = exclusiveGroup(screen.first()) ? entryOf(screen.first()) : screen.first();
    QList<QWidget *> chain = walk(first, true, window, problems);
    const QList<QWidget *> back = walk(first, false, window, problems);
    QList<QWidget *> reversed;
    for (qsizetype i = back.size() - 1; i > 0; --i)
        reversed.append(back[i]);
    if (back.isEmpty() || chain.mid(1) != reversed)
        problems << QStringLiteral("Shift+Tab order is not the Tab order reversed: %1").arg(names(back));
    chain = oneEntryPerGroup(chain);

    // The round is a circle: start it where the screen order starts (or at
    // the group member that stands for the screen's first entry).
    const QObject *firstGroup = exclusiveGroup(screen.first());
    qsizetype start = -1;
    for (qsizetype i = 0; i < chain.size(); ++i)
        if (chain[i] == screen.first() || (firstGroup && exclusiveGroup(chain[i]) == firstGroup)) {
            start = i;
            break;
        }
    if (start > 0)
        chain = chain.mid(start) + chain.mid(0, start);

    // Groups: where Tab enters them.
    for (qsizetype i = 0; i < chain.size(); ++i) {
        if (!exclusiveGroup(chain[i]))
            continue;
        QWidget *entry = entryOf(chain[i]);
        if (entry != chain[i])
            problems << QStringLiteral("Tab enters the group of %1 at %2, not at its selected option")
                            .arg(describeWidget(entry), describeWidget(chain[i]));
        chain[i] = entry;
    }
    for (qsizetype i = 0; i < screen.size(); ++i)
        if (exclusiveGroup(screen[i]))
            screen[i] = entryOf(screen[i]);

    if (chain != screen)
        problems << QStringLiteral("Tab order: %1\nscreen order: %2").arg(names(chain), names(screen));
    return problems;
}

} // namespace q5n::test

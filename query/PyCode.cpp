#include "query/PyCode.h"

#include "platform/text/Pinyin.h"
#include "platform/ui/Guard.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSet>
#include <QSignalBlocker>
#include <QTimer>

namespace {


// Sets the box's text to text, choosing the entry of that text when there is one. This is a
// change of the box (its change signals fire), as when the user picks an entry.
void chooseEntry(QComboBox* cmb, const QString& text)
{
    const int row = cmb->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (row >= 0 && row != cmb->currentIndex()) cmb->setCurrentIndex(row);
    if (cmb->currentText() != text) cmb->setEditText(text);
    if (QLineEdit* le = cmb->lineEdit()) le->setCursorPosition(int(text.size()));
}

// While the list of an editable combo box is rebuilt Qt replaces its text (emptying the list
// empties it, filling an empty list shows the first entry). This keeps text and caret and keeps
// those internal changes from reaching the box's change handlers.
class KeptText {
public:
    explicit KeptText(QComboBox* box)
        : cmb(box), text(box->currentText()),
          cursor(box->lineEdit() ? box->lineEdit()->cursorPosition() : 0),
          blockBox(box), blockEdit(box->lineEdit())
    {
    }
    ~KeptText()
    {
        if (!cmb->lineEdit()) return;
        if (cmb->currentText() != text) cmb->setEditText(text);
        cmb->lineEdit()->setCursorPosition(cursor);
    }
    KeptText(const KeptText&) = delete;
    KeptText& operator=(const KeptText&) = delete;

private:
    QComboBox* cmb;
    QString text;
    int cursor;
    QSignalBlocker blockBox;
    QSignalBlocker blockEdit;
};

// The drop-down of a filtering combo box: a completer popup over the box's own (filtered) model.
// Unlike QComboBox::showPopup it leaves the keyboard focus in the box; keys typed while it is
// open are passed on to the box, so typing goes on narrowing the list.
class InitialsPopup : public QObject {
public:
    explicit InitialsPopup(QComboBox* box) : QObject(box), cmb(box)
    {
        completer = new QCompleter(cmb->model(), this);
        completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
        completer->setMaxVisibleItems(cmb->maxVisibleItems());
        completer->setWidget(cmb);
        connect(completer, qOverload<const QString&>(&QCompleter::activated), this,
                [this](const QString& text) {
                    guard([&] { chooseEntry(cmb, text); }, cmb);
                });
        // Installed after the completer's own filter, so it sees the popup's keys first.
        completer->popup()->installEventFilter(this);
        openTimer.setSingleShot(true);
        openTimer.setInterval(0);
        connect(&openTimer, &QTimer::timeout, this, [this] { guard([this] { open(); }, cmb); });
    }

    static InitialsPopup* find(QComboBox* cmb)
    {
        for (QObject* o : cmb->children()) {
            if (auto* p = dynamic_cast<InitialsPopup*>(o)) return p;
        }
        return nullptr;
    }
    static InitialsPopup* of(QComboBox* cmb)
    {
        InitialsPopup* p = find(cmb);
        return p ? p : new InitialsPopup(cmb);
    }

    QAbstractItemView* view() const { return completer->popup(); }
    void cancelOpen() { openTimer.stop(); }
    void close()
    {
        openTimer.stop();
        if (view()->isVisible()) view()->hide();
        if (cmb->view()->isVisible()) cmb->hidePopup();
    }
    // Opening is deferred to the event loop rather than done inside the change handler, so a
    // fast typist's next key is handled after the list is complete, never in the middle of it.
    void openLater() { openTimer.start(); }

    QStringList fullList;

private:
    void open()
    {
        if (!cmb->isVisible() || !cmb->hasFocus() || cmb->currentText().isEmpty()) return;
        completer->complete();
    }

    bool eventFilter(QObject* obj, QEvent* ev) override
    {
        if (obj != view() || ev->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(ev)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
        // Enter takes the row the user moved to, or else behaves as Enter in the box.
        const QModelIndex cur = view()->currentIndex();
        const QString picked = cur.isValid() ? cur.data(Qt::DisplayRole).toString() : QString();
        guard([&] {
            view()->hide();
            if (cur.isValid()) {
                chooseEntry(cmb, picked);
                RestoreFullList(cmb, fullList);
            } else {
                InitialsEnterKey(cmb, fullList);
            }
        }, cmb);
        return true;
    }

    QComboBox* cmb;
    QCompleter* completer;
    QTimer openTimer;
};

} // namespace

void RestoreFullList(QComboBox* cmb, const QStringList& fullList)
{
    if (!cmb) return;
    KeptText keep(cmb);
    QSet<QString> have;
    for (int i = 0; i < cmb->count(); ++i) have.insert(cmb->itemText(i).toCaseFolded());
    for (const QString& entry : fullList) {
        const QString key = entry.toCaseFolded();
        if (have.contains(key)) continue;
        have.insert(key);
        cmb->addItem(entry);
    }
}

void ApplyInitialsFilter(QComboBox* cmb, const QStringList& fullList)
{
    if (!cmb || !cmb->lineEdit()) return;
    InitialsPopup* popup = InitialsPopup::of(cmb);
    popup->fullList = fullList;
    const QString text = cmb->currentText();

    if (cmb->findText(text, Qt::MatchFixedString) >= 0) {
        popup->cancelOpen();
        RestoreFullList(cmb, fullList);
        return;
    }

    popup->close();
    {
        KeptText keep(cmb);
        cmb->clear();
        cmb->addItems(InitialsMatches(fullList, text));
        cmb->setCurrentIndex(-1);
    }
    cmb->lineEdit()->setCursorPosition(int(text.size()));
    if (!text.isEmpty()) popup->openLater();
}

bool InitialsEnterKey(QComboBox* cmb, const QStringList& fullList)
{
    if (!cmb || !cmb->lineEdit() || cmb->lineEdit()->hasSelectedText() || cmb->count() == 0)
        return false;
    if (InitialsPopup* popup = InitialsPopup::find(cmb)) popup->close();
    chooseEntry(cmb, cmb->itemText(0));
    RestoreFullList(cmb, fullList);
    return true;
}

#include "query/PyCode.h"

#include "platform/text/Gbk.h"
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

char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool isOneByteInitial(int b)
{
    return b == '(' || b == ')' || b == '[' || b == ']' || (b >= '0' && b <= '9')
        || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

// Row 0xA2 of GBK: numbered list symbols (ⅰ, ⒈, ⑴, ①, ㈠, Ⅰ ...); the initial is the first
// digit of the number, so ⑩ gives "1".
QByteArray numberSymbolInitial(int trail)
{
    static const struct { int first, last; } runs[] = {
        {0xA1, 0xAA}, {0xB1, 0xC4}, {0xC5, 0xD8}, {0xD9, 0xE2}, {0xE5, 0xEE}, {0xF1, 0xFC}};
    for (const auto& r : runs) {
        if (trail >= r.first && trail <= r.last) return QByteArray::number(trail - r.first + 1).left(1);
    }
    return {};
}

// Row 0xA6: Greek capitals at trails 0xA1.., small letters at 0xC1..; the initial is the first
// letter of the Latin name (alpha, beta, gamma, ..., phi, chi, psi, omega).
QByteArray greekInitial(int trail)
{
    static const char first[] = "ABGDEZETIKLMNXOPRSTUPKPO";
    int pos = 0;
    if (trail >= 161 && trail <= 184) pos = trail - 160;
    else if (trail >= 193 && trail <= 216) pos = trail - 192;
    return pos ? QByteArray(1, first[pos - 1]) : QByteArray();
}

QByteArray tableInitial(int lead, int trail)
{
    // The table has rows for leads 129..254 only; 255 is no lead of GBK.
    if (lead < 129 || lead > 254 || trail < 64 || trail > 254) return {};
    const int n = PyCodeTable::Readings[(lead - 129) * PyCodeTable::Trails + (trail - 64)];
    if (n < 1 || n > PyCodeTable::SyllableCount) return {};
    return QByteArray(1, asciiUpper(PyCodeTable::Syllables[n - 1][0]));
}

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
    explicit KeptText(QComboBox* cmb)
        : cmb(cmb), text(cmb->currentText()),
          cursor(cmb->lineEdit() ? cmb->lineEdit()->cursorPosition() : 0),
          blockBox(cmb), blockEdit(cmb->lineEdit())
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

QByteArray PinyinInitial(const char* ch, int size)
{
    if (!ch || size < 1) return {};
    const int lead = static_cast<unsigned char>(ch[0]);
    if (lead <= 128 || size < 2) return isOneByteInitial(lead) ? QByteArray(1, ch[0]) : QByteArray();

    const int trail = static_cast<unsigned char>(ch[1]);
    if (trail < 64 || trail == 255) return {};
    if (lead == 162 && trail > 160) return numberSymbolInitial(trail);
    if (lead == 163 && isOneByteInitial(trail - 128)) return QByteArray(1, char(trail - 128));
    if (lead == 166) {
        const QByteArray g = greekInitial(trail);
        if (!g.isEmpty()) return g;
    }
    return tableInitial(lead, trail);
}

QByteArray PinyinInitials(const QByteArray& gbk)
{
    QByteArray out;
    const char* p = gbk.constData();
    const int n = int(gbk.size());
    for (int i = 0; i < n;) {
        const int size = static_cast<unsigned char>(p[i]) > 128 && i + 1 < n ? 2 : 1;
        out += PinyinInitial(p + i, size);
        i += size;
    }
    return out;
}

QString PinyinInitials(const QString& text)
{
    return QString::fromLatin1(PinyinInitials(Gbk::encode(text)));
}

bool MatchesInitials(const QByteArray& entry, const QByteArray& typed)
{
    if (entry.startsWith(typed)) return true;
    for (int k = 0; k < typed.size(); ++k) {
        if (typed[k] == '?') continue;
        const int pos = 2 * k;
        if (pos >= entry.size()) return false;
        const QByteArray initials = PinyinInitials(entry.mid(pos, 2));
        if (initials.size() != 1 || asciiUpper(initials[0]) != asciiUpper(typed[k])) return false;
    }
    return true;
}

QStringList InitialsMatches(const QStringList& fullList, const QString& typed)
{
    const QByteArray t = Gbk::encode(typed);
    QStringList out;
    for (const QString& entry : fullList) {
        if (MatchesInitials(Gbk::encode(entry), t)) out << entry;
    }
    return out;
}

QString FilterByInitials(const QStringList& fullList, const QString& typed)
{
    return InitialsMatches(fullList, typed).join(QChar(13));
}

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

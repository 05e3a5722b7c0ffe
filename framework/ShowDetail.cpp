#include "framework/ShowDetail.h"

#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "module/MISPub.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/grid/DBGridEh.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Guard.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QResizeEvent>
#include <QScreen>
#include <QStringList>
#include <QWidget>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Field pairs: odd numbers in the left column, even in the right; rows 24 pixels apart.
constexpr int kTitleLeft[2] = {16, 240};
constexpr int kFieldTop = 16;
constexpr int kFieldRowStep = 24;
constexpr int kValueOffset = 88;
constexpr int kValueWidth = 132;
constexpr int kLabelHeight = 18;
// Links: four per row.
constexpr int kLinkLeft[4] = {24, 128, 232, 336};
constexpr int kLinkTop[2] = {16, 40};
constexpr int kLinkWidth = 100;
// The whole panel is blended onto what lies under it.
constexpr double kOpacity = 200.0 / 255.0;

const char* const kLinkIndex = "LinkIndex";

QLabel* makeLabel(QWidget* parent, const QString& name)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    // Values come from the data: never read them as markup.
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(false);
    l->hide();
    return l;
}

QFrame* makeEdge(QWidget* parent, const QString& name)
{
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setFrameShape(QFrame::NoFrame);
    f->setAutoFillBackground(true);
    QPalette p = f->palette();
    p.setColor(QPalette::Window, p.color(QPalette::ToolTipText));
    f->setPalette(p);
    return f;
}

// The work area (screen without panels and task bars) of the screen at a point; the primary
// screen's when the point lies on none.
QRect workAreaAt(const QPoint& at)
{
    QScreen* s = QGuiApplication::screenAt(at);
    if (!s) s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect();
}

QString caption(const QString& title)
{
    QString c = title;
    c.remove(QLatin1Char('|'));
    return Gbk::leftBytes(c, TfrmQorDetail::CaptionBytes) + u": "_s;
}

QString shownValue(const QString& value)
{
    const QString cut = Gbk::leftBytes(value, TfrmQorDetail::ValueBytes);
    return cut.size() < value.size() ? cut + u"…"_s : cut;
}

} // namespace

// --- the panel ---------------------------------------------------------------------------------

TfrmQorDetail::TfrmQorDetail(QWidget* parent) : TfrmBase(parent)
{
    setObjectName(u"frmQorDetail"_s);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    // Closing the panel must never end the host because it happened to be the last window.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowOpacity(kOpacity);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, p.color(QPalette::ToolTipBase));
    p.setColor(QPalette::WindowText, p.color(QPalette::ToolTipText));
    setPalette(p);

    pnlMain = new QWidget(this);
    pnlMain->setObjectName(u"pnlMain"_s);
    pnlMain->installEventFilter(this);
    for (int i = 0; i < MaxFields; ++i) {
        const int x = kTitleLeft[i % 2];
        const int y = kFieldTop + (i / 2) * kFieldRowStep;
        lblTitle[i] = makeLabel(pnlMain, u"lblTitle"_s + QString::number(i + 1));
        lblTitle[i]->setGeometry(x, y, kValueOffset, kLabelHeight);
        lblInfor[i] = makeLabel(pnlMain, u"lblInfor"_s + QString::number(i + 1));
        lblInfor[i]->setGeometry(x + kValueOffset, y, kValueWidth, kLabelHeight);
    }

    bvlLine = new QFrame(this);
    bvlLine->setObjectName(u"bvlLine"_s);
    bvlLine->setFrameShape(QFrame::HLine);
    bvlLine->setFrameShadow(QFrame::Sunken);

    pnlBottom = new QWidget(this);
    pnlBottom->setObjectName(u"pnlBottom"_s);
    pnlBottom->installEventFilter(this);
    for (int i = 0; i < MaxLinks; ++i) {
        QLabel* l = makeLabel(pnlBottom, u"lblLink"_s + QString::number(i + 1));
        l->setGeometry(kLinkLeft[i % 4], kLinkTop[i / 4], kLinkWidth, kLabelHeight);
        QPalette lp = l->palette();
        lp.setColor(QPalette::WindowText, QColor(Qt::blue));
        l->setPalette(lp);
        QFont f = l->font();
        f.setUnderline(true);
        l->setFont(f);
        l->setCursor(Qt::PointingHandCursor);
        l->setProperty(kLinkIndex, i);
        l->installEventFilter(this);
        lblLink[i] = l;
    }

    shpTop = makeEdge(this, u"shpTop"_s);
    shpBottom = makeEdge(this, u"shpBottom"_s);
    shpLeft = makeEdge(this, u"shpLeft"_s);
    shpRight = makeEdge(this, u"shpRight"_s);
}

TfrmQorDetail::~TfrmQorDetail() = default;

void TfrmQorDetail::FormCreate(QObject* sender)
{
    TfrmBase::FormCreate(sender);
    // The panel has no dataset of its own: the texts it shows come from the grid, masked there.
    CheckFieldRights = false;
}

void TfrmQorDetail::setDetail(const QString& extra, const QList<TDetailField>& fields,
                              const QList<TLinkFuncItem>& links)
{
    m_extra = extra;
    m_fields = fields;
    m_links = links;
}

void TfrmQorDetail::FormShow(QObject* sender)
{
    // What the base show reads (the default print format) means nothing to the panel; a failure
    // there must not keep the record from showing.
    try {
        TfrmBase::FormShow(sender);
    } catch (...) {
        LogCurrentException();
    }

    for (int i = 0; i < MaxFields; ++i) {
        lblTitle[i]->hide();
        lblInfor[i]->hide();
    }
    for (QLabel* l : lblLink) l->hide();

    const int nFields = std::min<int>(MaxFields, int(m_fields.size()));
    for (int i = 0; i < nFields; ++i) {
        lblTitle[i]->setText(caption(m_fields[i].first));
        lblInfor[i]->setText(shownValue(m_fields[i].second));
        lblTitle[i]->show();
        lblInfor[i]->show();
    }
    const int nLinks = std::min<int>(MaxLinks, int(m_links.size()));
    for (int i = 0; i < nLinks; ++i) {
        lblLink[i]->setText(m_links[i].FunName);
        lblLink[i]->setToolTip(QString());
        lblLink[i]->show();
    }
    const bool hasLinks = nLinks > 0;
    bvlLine->setVisible(hasLinks);
    pnlBottom->setVisible(hasLinks);
    if (!hasLinks && !m_shortened) {
        m_shortened = true;
        resize(width(), height() - BottomHeight);
    }
    layoutParts();
}

void TfrmQorDetail::FormClose(QObject* sender, TCloseAction& action)
{
    TfrmBase::FormClose(sender, action);
    m_fields.clear();
    m_links.clear();
    action = caFree;
}

void TfrmQorDetail::lblLinkClick(int index)
{
    if (index < 0 || index >= m_links.size() || index >= MaxLinks) return;
    const TLinkFuncProc proc = linkFuncProc();
    if (!proc) return;
    // A copy: the procedure may open a form that closes this panel.
    const TLinkFuncItem link = m_links[index];
    const QString extra = m_extra;
    proc(link.LinkFunCode, link.FunName, link.DllName, link.DllFun, link.FormType, extra);
}

void TfrmQorDetail::pnlMainClick() { close(); }
void TfrmQorDetail::pnlBottomClick() { close(); }

TfrmQorDetail* TfrmQorDetail::current()
{
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        auto* d = qobject_cast<TfrmQorDetail*>(w);
        if (d && !d->Closing && d->isVisible()) return d;
    }
    return nullptr;
}

void TfrmQorDetail::layoutParts()
{
    const int w = width();
    const int h = height();
    const int bottom = pnlBottom->isVisible() ? BottomHeight : 0;
    pnlMain->setGeometry(0, 0, w, h - bottom);
    pnlBottom->setGeometry(0, h - bottom, w, bottom);
    bvlLine->setGeometry(8, h - bottom, std::max(0, w - 16), 2);
    shpTop->setGeometry(0, 0, w, 1);
    shpBottom->setGeometry(0, h - 1, w, 1);
    shpLeft->setGeometry(0, 0, 1, h);
    shpRight->setGeometry(w - 1, 0, 1, h);
    for (QFrame* f : {bvlLine, shpTop, shpBottom, shpLeft, shpRight}) f->raise();
}

void TfrmQorDetail::resizeEvent(QResizeEvent* e)
{
    TfrmBase::resizeEvent(e);
    layoutParts();
}

void TfrmQorDetail::keyPressEvent(QKeyEvent* e)
{
    // The base form leaves Escape to its actions; for the panel it is the way out.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        e->accept();
        close();
        return;
    }
    TfrmBase::keyPressEvent(e);
}

bool TfrmQorDetail::linkEvent(int index, QEvent* e)
{
    auto* me = static_cast<QMouseEvent*>(e);
    if (me->button() != Qt::LeftButton) return false;
    if (e->type() == QEvent::MouseButtonRelease && lblLink[index]->rect().contains(me->position().toPoint()))
        guard([&] { lblLinkClick(index); }, this);
    // The link's own press and release never reach the panel under it, which would close.
    return true;
}

bool TfrmQorDetail::closingClickEvent(QWidget* part, QEvent* e)
{
    auto* me = static_cast<QMouseEvent*>(e);
    if (me->button() != Qt::LeftButton) return false;
    if (e->type() == QEvent::MouseButtonRelease) {
        // Positions of events passed on from a label are in the panel's part already.
        if (!part->rect().contains(me->position().toPoint())) return true;
        guard([&] { part == pnlMain ? pnlMainClick() : pnlBottomClick(); }, this);
    }
    return true;
}

bool TfrmQorDetail::eventFilter(QObject* o, QEvent* e)
{
    // The base form watches every key of the application (key preview); the panel's own mouse
    // handling concerns its two parts and the link labels only.
    const bool mouse = e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonRelease;
    if (mouse && o->isWidgetType()) {
        if (o == pnlMain || o == pnlBottom) return closingClickEvent(static_cast<QWidget*>(o), e);
        if (o->parent() == pnlBottom) {
            const QVariant link = o->property(kLinkIndex);
            if (link.isValid()) return linkEvent(link.toInt(), e);
        }
    }
    return TfrmBase::eventFilter(o, e);
}

// --- collecting and opening ----------------------------------------------------------------------

QList<TDetailField> CollectDetailFields(TDBGridEh* grid)
{
    QList<TDetailField> fields;
    TClientDataSet* ds = grid ? grid->DataSet() : nullptr;
    if (!ds || !ds->Active() || ds->IsEmpty()) return fields;
    const int row = ds->Bookmark();
    TDBGridColumnsEh* columns = grid->Columns();
    for (int i = 0; i < columns->Count(); ++i) {
        const TColumnEh* c = columns->Items(i);
        if (!c->Visible()) continue;
        QString title = c->Title()->Caption();
        title.remove(QLatin1Char('|'));
        fields.append({title, row >= 0 ? c->displayTextAt(row) : QString()});
    }
    return fields;
}

QList<TLinkFuncItem> CollectDetailLinks(const QString& funCode, const QString& userCode)
{
    QString edition;
    if (UIsShop())
        edition = u" and (F.VER='0' or F.VER='2' or F.VER='3')"_s;
    else if (UIsCenter())
        edition = u" and (F.VER='1' or F.VER='2' or F.VER='4')"_s;
    else
        edition = u" and (F.VER='0' or F.VER='1' or F.VER='2')"_s;

    TQorAdoQry q(GetSharedConnection());
    q.SQL = QStringList{
        u"select L.LinkFunCode,F.FunName,"_s,
        u"F.DllType,F.FormType,F.DllName,F.DllFun"_s,
        u" from XtLinkFunc L,XtFunction F,"_s,
        u" (Select Distinct R.FunCode"_s,
        u"    from XtUserSub S,XtRightFunc R"_s,
        u"   where S.StaffCode=:UserCode"_s,
        u"     and S.UGrpCode=R.UGrpCode"_s,
        u"   group by R.FunCode) A"_s,
        u" where L.LinkFunCode=F.FunCode"_s,
        u" and L.LinkFunCode=A.FunCode"_s,
        u" and L.FunCode=:FunCode"_s,
        u" and F.FunType='1'"_s,
        u" and F.IsMenu='1'"_s,
        edition,
        u" order by L.SerialNo"_s,
    };
    // A null code is an empty text to the server, not NULL.
    q.Parameters.ParamByName(u"UserCode"_s).Value = QVariant(userCode.isNull() ? u""_s : userCode);
    q.Parameters.ParamByName(u"FunCode"_s).Value = QVariant(funCode.isNull() ? u""_s : funCode);
    q.OpenSized();

    const auto text = [&q](const QString& name) { return q.FieldByName(name).AsString(); };
    QList<TLinkFuncItem> links;
    for (; !q.Eof(); q.Next()) {
        TLinkFuncItem item{text(u"LinkFunCode"_s), text(u"FunName"_s), text(u"DllName"_s),
                           text(u"DllFun"_s), text(u"FormType"_s)};
        // Fixed-width columns may pad an empty entry point with blanks.
        if (item.DllFun.trimmed().isEmpty()) continue;
        links.append(item);
    }
    q.Close();
    return links;
}

QPoint FitDetailPosition(const QRect& workArea, int left, int top, int width, int height)
{
    if (workArea.isEmpty()) return {left, top};
    const int right = workArea.x() + workArea.width();
    const int bottom = workArea.y() + workArea.height();
    if (left + width > right) left = right - width;
    if (top + height > bottom) top = bottom - height;
    // A panel larger than the work area keeps its top left corner on it.
    return {std::max(left, workArea.x()), std::max(top, workArea.y())};
}

void ShowRowDetail(TLinkFuncProc linkFuncProc, TDBGridEh* grid, const QString& funCode,
                   int height, int width, const QString& extra, int top, int left,
                   const QString& userCode)
{
    QPointer<TfrmQorDetail> panel;
    try {
        TClientDataSet* ds = grid ? grid->DataSet() : nullptr;
        if (!ds || !ds->Active() || ds->IsEmpty()) return;

        // One panel at a time.
        const QList<QWidget*> windows = QApplication::topLevelWidgets();
        for (QWidget* w : windows) {
            auto* old = qobject_cast<TfrmQorDetail*>(w);
            if (old && !old->Closing) old->close();
        }

        panel = TfrmBase::create<TfrmQorDetail>();
        panel->setLinkFuncProc(linkFuncProc);
        const QPoint at = FitDetailPosition(workAreaAt(QPoint(left, top)), left, top, width, height);
        panel->setGeometry(at.x(), at.y(), width, height);
        panel->setDetail(extra, CollectDetailFields(grid), CollectDetailLinks(funCode, userCode));
        panel->show();
        panel->raise();
        panel->activateWindow();
    } catch (...) {
        // The panel is a convenience: a failure leaves the list form as it was.
        LogCurrentException();
        delete panel.data();
    }
}

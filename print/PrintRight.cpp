#include "print/PrintRight.h"

#include "ui_PrintRight.h"

#include "framework/PrintFmtRules.h"
#include "host/include/PubProcDll.h"
#include "module/Guarded.h"
#include "module/MISPub.h"
#include "print/ActionButton.h"
#include "print/PrintFmt.h"

#include <QHash>
#include <QIcon>
#include <QPushButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

const QString kLevelRoot = u"0"_s, kLevelFormat = u"1"_s, kLevelGroup = u"2"_s;
enum { kImageSelected = 0, kImageGroup = 2, kImageRoot = 3, kImageFormat = 8 };

// The dialog's image list by index; an index without a picture gives a null icon.
QIcon treeImage(int index)
{
    static QHash<int, QIcon> cache;
    if (auto it = cache.constFind(index); it != cache.constEnd()) return *it;
    const char* file = nullptr;
    switch (index) {
    case kImageSelected: file = "actions/go-next.png"; break;
    case kImageGroup: file = "apps/system-users.png"; break;
    case kImageRoot: file = "places/folder_home.png"; break;
    case kImageFormat: file = "mimetypes/x-office-document.png"; break;
    default: break;
    }
    QIcon icon;
    if (file) icon = QIcon(u"/usr/share/icons/Tango/16x16/"_s + QString::fromLatin1(file));
    cache.insert(index, icon);
    return icon;
}

QString rightTrimmed(QString s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) --n;
    s.truncate(n);
    return s;
}

bool isGroup(const QTreeWidgetItem* i) { return i->data(0, TfrmPrintRight::kLevelRole).toString() == kLevelGroup; }

} // namespace

QList<PrnGroupRight> LoadPrnGroupRights(TADOConnection* c, const QString& prnCode, int serialNo)
{
    TQorAdoQry q(c);
    // The format's filters belong to the join: in the WHERE they would drop every group
    // without the right, and such a group could never be granted one here.
    q.SQL << u"select S.UGrpCode,S.UGrpName,F.PrnCode "_s
          << u"from XtUserGrp S left join tXtRightPrn F on F.UGrpCode=S.UGrpCode and F.PrnCode=:PrnCode "
             u"and F.PrnType=:PrnType and F.SerialNo=:SerialNo"_s;
    q.Parameters.ParamByName(u"PrnCode"_s).Value = QVariant(prnCode.isNull() ? u""_s : prnCode);
    q.Parameters.ParamByName(u"PrnType"_s).Value = QVariant(PrnTypeValue());
    q.Parameters.ParamByName(u"SerialNo"_s).Value = QVariant(qint64(serialNo));
    q.OpenSized();
    QList<PrnGroupRight> out;
    for (; !q.Eof(); q.Next()) {
        PrnGroupRight r;
        r.UGrpCode = rightTrimmed(q.FieldByName(u"UGrpCode"_s).AsString());
        r.UGrpName = rightTrimmed(q.FieldByName(u"UGrpName"_s).AsString());
        r.Granted = !q.FieldByName(u"PrnCode"_s).AsString().trimmed().isEmpty();
        out << r;
    }
    q.Close();
    return out;
}

TfrmPrintRight::TfrmPrintRight(QWidget* parent) : TfrmBase(parent), ui(new Ui::TfrmPrintRight)
{
    ui->setupUi(this);
    setObjectName(u"frmPrintRight"_s);
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(356, 301);

    fcRightTree = ui->fcRightTree;
    btnOk = ui->btnOk;
    BtnSelect = ui->BtnSelect;
    Button1 = ui->Button1;
    btnClose = ui->btnClose;

    bindButtonToAction(btnClose, actClose);
    connect(btnOk, &QPushButton::clicked, this, guarded([this] { btnOkClick(btnOk); }, this));
    connect(BtnSelect, &QPushButton::clicked, this, guarded([this] { BtnSelectClick(BtnSelect); }, this));
    connect(Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(Button1); }, this));
}

TfrmPrintRight::~TfrmPrintRight() = default;

QTreeWidgetItem* TfrmPrintRight::addNode(QTreeWidgetItem* parent, const QString& level, const QString& text,
                                         const QString& key, int image, bool checkable, bool checked)
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(fcRightTree);
    item->setText(0, text);
    item->setData(0, kLevelRole, level);
    item->setData(0, kKeyRole, key);
    item->setData(0, kImageRole, image);
    item->setData(0, kSelectedImageRole, int(kImageSelected));
    QIcon icon = treeImage(image);
    const QIcon selected = treeImage(kImageSelected);
    for (const QSize& s : selected.availableSizes()) icon.addPixmap(selected.pixmap(s), QIcon::Selected);
    item->setIcon(0, icon);
    // Only group nodes carry a check box (a tree item offers one by default).
    item->setFlags(checkable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable
                             : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (checkable) item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    return item;
}

void TfrmPrintRight::BuildTree()
{
    fcRightTree->clear();
    QTreeWidgetItem* root = addNode(nullptr, kLevelRoot, sShopName(), QString(), kImageRoot, false, false);

    TADOConnection* c = GetSharedConnection();
    TQorAdoQry q(c);
    q.SQL << u"Select * from tXtPrnFormat  "_s << u"Where PrnType=:PrnType "_s << u"and PrnCode=:PrnCode "_s;
    AppendPrnEditionFilter(q.SQL, CurVER());
    q.SQL << u"order by serialNo"_s;
    q.Parameters.ParamByName(u"PrnType"_s).Value = QVariant(PrnTypeValue());
    q.Parameters.ParamByName(u"PrnCode"_s).Value = QVariant(CurPrnCode.isNull() ? u""_s : CurPrnCode);
    q.OpenSized();
    struct Format {
        int serial;
        QString name;
    };
    QList<Format> formats;
    for (; !q.Eof(); q.Next())
        formats.append({int(q.FieldByName(u"SerialNo"_s).AsInteger()),
                        rightTrimmed(q.FieldByName(u"PrnName"_s).AsString())});
    q.Close();

    for (const Format& f : formats) {
        const QString key = QString::number(f.serial);
        QTreeWidgetItem* node = addNode(root, kLevelFormat, key + u"-"_s + f.name, key, kImageFormat, false, false);
        for (const PrnGroupRight& g : LoadPrnGroupRights(c, CurPrnCode, f.serial))
            addNode(node, kLevelGroup, g.UGrpCode + u"-"_s + g.UGrpName, g.UGrpCode, kImageGroup, true, g.Granted);
    }
    root->setExpanded(true);
}

void TfrmPrintRight::FormShow(QObject* sender)
{
    TfrmBase::FormShow(sender);
    BuildTree();
}

template <class F> void TfrmPrintRight::forSelectedGroups(F fn)
{
    QTreeWidgetItem* sel = fcRightTree->currentItem();
    if (!sel) return;
    const QString level = sel->data(0, kLevelRole).toString();
    if (level == kLevelGroup) {
        fn(sel);
    } else if (level == kLevelFormat) {
        for (int i = 0; i < sel->childCount(); ++i)
            if (isGroup(sel->child(i))) fn(sel->child(i));
    } else if (level == kLevelRoot) {
        for (int i = 0; i < sel->childCount(); ++i) {
            QTreeWidgetItem* fmt = sel->child(i);
            for (int j = 0; j < fmt->childCount(); ++j)
                if (isGroup(fmt->child(j))) fn(fmt->child(j));
        }
    }
}

void TfrmPrintRight::BtnSelectClick(QObject*)
{
    forSelectedGroups([](QTreeWidgetItem* g) { g->setCheckState(0, Qt::Checked); });
}

void TfrmPrintRight::Button1Click(QObject*)
{
    forSelectedGroups([](QTreeWidgetItem* g) {
        g->setCheckState(0, g->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    });
}

void TfrmPrintRight::btnOkClick(QObject*)
{
    m_inserted = m_deleted = 0;
    if (fcRightTree->topLevelItemCount() == 0) return;
    QTreeWidgetItem* root = fcRightTree->topLevelItem(0);
    TADOConnection* c = GetSharedConnection();
    // All or nothing: a failure halfway leaves the rights as they were.
    DbTransaction tx(c);
    int inserted = 0, deleted = 0;
    for (int i = 0; i < root->childCount(); ++i) {
        QTreeWidgetItem* fmt = root->child(i);
        bool ok = false;
        const int serial = fmt->data(0, kKeyRole).toString().toInt(&ok);
        if (!ok) continue;
        for (int j = 0; j < fmt->childCount(); ++j) {
            QTreeWidgetItem* g = fmt->child(j);
            if (!isGroup(g)) continue;
            const bool ticked = g->checkState(0) == Qt::Checked;
            if (SetPrnGroupRight(c, CurPrnCode, serial, g->data(0, kKeyRole).toString(), ticked))
                ++(ticked ? inserted : deleted);
        }
    }
    tx.commit();
    m_inserted = inserted;
    m_deleted = deleted;
}

void TfrmPrintRight::FormClose(QObject* sender, TCloseAction& action)
{
    TfrmBase::FormClose(sender, action);
    action = caFree;
    if (auto* list = qobject_cast<TfrmPrintFmt*>(parent()); list && list->frmPrintRight == this)
        list->frmPrintRight = nullptr;
}

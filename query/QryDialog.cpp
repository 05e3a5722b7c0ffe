#include "query/QryDialog.h"

#include "framework/SharedUtils.h"
#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "module/MISPub.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"
#include "ui_PubQuery.h"

#include <QListWidget>
#include <QPointer>

namespace {

const QString kInvalid = QStringLiteral("语句无效！请检查条件的设置！");

// The one dialog of the module; cleared when it is destroyed.
QPointer<TfrmQry>& currentDialog()
{
    static QPointer<TfrmQry> d;
    return d;
}

// Controls of the dataset stay disabled for the life of the object, also when an error leaves.
class ControlsOff {
public:
    explicit ControlsOff(TClientDataSet* ds) : m_ds(ds) { m_ds->DisableControls(); }
    ~ControlsOff() { m_ds->EnableControls(); }
    ControlsOff(const ControlsOff&) = delete;
    ControlsOff& operator=(const ControlsOff&) = delete;

private:
    TClientDataSet* m_ds;
};

// Deletes the lines of saved condition number serialNo of the query type.
void deleteSavedLines(TQorAdoQry& d, const QString& qryType, int serialNo)
{
    d.SQL << QStringLiteral("delete from txtQrySave ")
          << QStringLiteral(" where QryType = '") + EscapeQuotes(qryType) + QStringLiteral("' ")
          << QStringLiteral(" and serialno=") + QString::number(serialNo);
    ExecChecked(d);
}

const QString kDuplicateName = QStringLiteral("查询条件名称不允许重复！");

// A name for a new saved condition (trimmed by the caller): not empty and no field name. Says why
// otherwise. Whether another saved condition has it is asked where the lines are stored, in the
// same transaction.
bool nameAccepted(const QString& qryType, const QString& name)
{
    if (name.isEmpty()) {
        ShowInfoMsg(QStringLiteral("查询条件名称不允许为空！"));
        return false;
    }
    if (IsQryFieldName(qryType, name)) {
        ShowInfoMsg(QStringLiteral("查询条件名称不允许与字段名称相同！"));
        return false;
    }
    return true;
}

// True when a saved condition of the type already has the name (the table's collation decides
// letter case and trailing blanks, as the server does); locks the range on the server.
bool savedNameTaken(TQorAdoQry& q, TADOConnection* c, const QString& qryType, const QString& name)
{
    q.SQL << QStringLiteral("select SerialNo from tXtQrySave") + QryLockHint(c)
          << QStringLiteral(" where QryType=:QryType and QryName=:QryName");
    q.Parameters.ParamByName(QStringLiteral("QryType")).Value = qryType;
    q.Parameters.ParamByName(QStringLiteral("QryName")).Value = name;
    q.OpenSized();
    const bool taken = !q.Eof();
    q.Close();
    return taken;
}

} // namespace

// --- construction -----------------------------------------------------------------------------

TfrmQry::TfrmQry(QWidget* parent) : TfrmBase(parent), ui(std::make_unique<Ui::TfrmQry>())
{
    ui->setupUi(this);
    grpQrySave = ui->grpQrySave;
    cmbQrySave = ui->cmbQrySave;
    btnSave = ui->btnSave;
    btnSaveAs = ui->btnSaveAs;
    btnDelete = ui->btnDelete;
    grpQuery = ui->grpQuery;
    lstQuery = ui->lstQuery;
    btnAdd = ui->btnAdd;
    btnDel = ui->btnDel;
    btnDelAdd = ui->btnDelAdd;
    dgrdQuery = ui->dgrdQuery;
    btnAll = ui->btnAll;
    btnOK = ui->btnOK;
    btnCancel = ui->btnCancel;
    setFixedSize(563, 346);
    setModal(true);

    qryTemp = new TClientDataSet(this);
    qryTemp->setObjectName(QStringLiteral("qryTemp"));
    dsQuery = new TDataSource(this);
    dsQuery->setObjectName(QStringLiteral("dsQuery"));

    auto click = [this](QPushButton* b, void (TfrmQry::*h)(QObject*)) {
        connect(b, &QPushButton::clicked, this, [this, b, h] { guard([&] { (this->*h)(b); }, this); });
    };
    click(btnSave, &TfrmQry::btnSaveClick);
    click(btnSaveAs, &TfrmQry::btnSaveAsClick);
    click(btnDelete, &TfrmQry::btnDeleteClick);
    click(btnAdd, &TfrmQry::btnAddClick);
    click(btnDel, &TfrmQry::btnDelClick);
    click(btnDelAdd, &TfrmQry::btnDelAddClick);
    click(btnAll, &TfrmQry::btnAllClick);
    click(btnOK, &TfrmQry::btnOKClick);
    click(btnCancel, &TfrmQry::btnCancelClick);
    connect(lstQuery, &QListWidget::itemDoubleClicked, this,
            [this] { guard([this] { btnAddClick(lstQuery); }, this); });
    connect(cmbQrySave, &QComboBox::activated, this,
            [this] { guard([this] { cmbQrySaveChange(cmbQrySave); }, this); });
    btnOK->setDefault(false);
    btnOK->setAutoDefault(false);
}

TfrmQry::~TfrmQry() = default;

TField* TfrmQry::fld(const char* name) const { return qryTemp->FieldByName(QString::fromLatin1(name)); }

TQorAdoQry& TfrmQry::query(std::unique_ptr<TQorAdoQry>& q)
{
    if (!q) q = std::make_unique<TQorAdoQry>();
    q->Close();
    q->setConnection(GetSharedConnection());
    q->SQL.clear();
    q->Parameters.Clear();
    return *q;
}

void TfrmQry::FormCreate(QObject* sender)
{
    TfrmBase::FormCreate(sender);
    // The condition row. Sizes are for display only: stored codes and values are never cut.
    struct Def {
        const char* name;
        TFieldType type;
        int size;
        const char* label;
    } defs[] = {
        {"FldCode", ftString, 20, "字段编码"}, {"FldName", ftString, 40, "字段"},
        {"FldOp", ftString, 10, "操作符"},     {"FldValue", ftString, 60, "值"},
        {"FldJoin", ftString, 4, "连接符"},    {"FldType", ftString, 1, "字段类型"},
        {"SerialNo", ftInteger, 0, "字段序号"},
    };
    for (const Def& d : defs)
        qryTemp->addField(QString::fromLatin1(d.name), d.type, d.size)->setDisplayLabel(QString::fromUtf8(d.label));
    qryTemp->CreateDataSet();
    dsQuery->setDataSet(qryTemp);

    dgrdQuery->setDataSource(dsQuery);
    dgrdQuery->setTitleLines(2);
    struct Col {
        const char* field;
        int width;
    } cols[] = {{"FldName", 88}, {"FldOp", 58}, {"FldValue", 117}, {"FldJoin", 46}};
    for (const Col& c : cols) {
        TColumnEh* col = dgrdQuery->Columns()->Add();
        col->setFieldName(QString::fromLatin1(c.field));
        col->setWidth(c.width);
    }
    dgrdQuery->Columns()->Items(0)->setReadOnly(true);
    dgrdQuery->setOnKeyPress([this](TDBGridEh* g, QChar& key) { dgrdQueryKeyPress(g, key); });
    dsQuery->setOnDataChange([this](TDataSource* s, TField* f) { dsQueryDataChange(s, f); });
}

// --- show and close ---------------------------------------------------------------------------

void TfrmQry::FormShow(QObject* sender)
{
    TfrmBase::FormShow(sender);
    const QColor c = colorFromTColor(UGridColor());
    dgrdQuery->setFixedColor(c);
    dgrdQuery->setFooterColor(c);
    lstQuery->clear();
    if (Catalog)
        for (const TQryField& f : Catalog->Fields) lstQuery->addItem(f.FldName);
    FillSavedList();
}

void TfrmQry::FormClose(QObject* sender, TCloseAction& action)
{
    TfrmBase::FormClose(sender, action);
    Catalog.reset();
    for (auto* q : {qryMaster.get(), QryDetail.get(), qryTmpBDE.get()})
        if (q) q->Close();
    qryTemp->Close();
}

void TfrmQry::reject() { done(ResultCancel); }

// --- saved-condition list ---------------------------------------------------------------------

void TfrmQry::FillSavedList()
{
    cmbQrySave->clear();
    TQorAdoQry& q = query(qryMaster);
    q.SQL << QStringLiteral("select distinct QryName,SerialNo from tXTQrySave  ")
          << QStringLiteral(" where QryType='") + EscapeQuotes(QryType) + QStringLiteral("'")
          << QStringLiteral("order by SerialNo,QryName");
    q.OpenSized();
    while (!q.Eof()) {
        cmbQrySave->addItem(q.FieldByName(QStringLiteral("SerialNo")).AsString() + QLatin1Char('_') +
                            q.FieldByName(QStringLiteral("QryName")).AsString());
        q.Next();
    }
    q.Close();
    cmbQrySave->addItem(QString());
    cmbQrySave->setCurrentIndex(-1);
}

bool TfrmQry::SavedConditionSelected() const
{
    const int i = cmbQrySave->currentIndex();
    return i >= 0 && i < cmbQrySave->count() - 1;
}

// --- lines ------------------------------------------------------------------------------------

void TfrmQry::btnAddClick(QObject*)
{
    QListWidgetItem* item = lstQuery->currentItem();
    if (!item || !item->isSelected()) return;
    const QString name = item->text();
    const QString type = GetQryFieldAttr(name, QStringLiteral("FldType"), Catalog.get());
    qryTemp->Append();
    fld("FldCode")->setAsString(GetQryFieldAttr(name, QStringLiteral("FldCode"), Catalog.get()));
    fld("FldName")->setAsString(name);
    fld("FldOp")->setAsString(QStringLiteral("="));
    fld("FldValue")->setAsString(type.compare(QLatin1String("S"), Qt::CaseInsensitive) == 0 ? QString()
                                                                                             : QStringLiteral("0"));
    fld("FldJoin")->setAsString(QryWords::And);
    fld("FldType")->setAsString(type);
    fld("SerialNo")->setAsInteger(0);
    qryTemp->Post();
}

void TfrmQry::btnDelClick(QObject*)
{
    if (!qryTemp->IsEmpty()) qryTemp->Delete();
}

void TfrmQry::btnDelAddClick(QObject*)
{
    ControlsOff off(qryTemp);
    qryTemp->EmptyDataSet();
}

void TfrmQry::dsQueryDataChange(TDataSource*, TField*)
{
    TColumnEh* op = dgrdQuery->Columns()->FindColumnByName(QStringLiteral("FldOp"));
    TColumnEh* value = dgrdQuery->Columns()->FindColumnByName(QStringLiteral("FldValue"));
    TColumnEh* join = dgrdQuery->Columns()->FindColumnByName(QStringLiteral("FldJoin"));
    op->setPickList({});
    value->setPickList({});
    join->setPickList({});
    if (!qryTemp->Active() || qryTemp->IsEmpty() || qryTemp->State() == dsInsert) return;
    const QString name = fld("FldName")->AsString();
    QStringList list;
    FillQryOperators(QryType, name, list, Catalog);
    op->setPickList(list);
    FillQryValues(QryType, name, list, Catalog);
    value->setPickList(list);
    join->setPickList(QryWords::joins());
}

void TfrmQry::dgrdQueryKeyPress(TDBGridEh* sender, QChar& key)
{
    // Operator and join are chosen from their lists only.
    const int col = sender->SelectedIndex();
    if (col == 1 || col == 3) key = QChar();
}

bool TfrmQry::IsConditionValid()
{
    if (qryTemp->IsEmpty()) return false;
    ControlsOff off(qryTemp);
    qryTemp->First();
    QStringList ops;
    while (!qryTemp->Eof()) {
        const QString name = fld("FldName")->AsString();
        const QString op = fld("FldOp")->AsString();
        FillQryOperators(QryType, name, ops, Catalog);
        if (!ops.contains(op) || !QryWords::joins().contains(fld("FldJoin")->AsString())) return false;
        // A field outside the catalogue or a value that gives no SQL (a bad number) would leave
        // the list form with a statement that cannot run.
        if (BuildQryComparison(name, op, fld("FldValue")->AsString(), Catalog.get()).isEmpty()) return false;
        qryTemp->Next();
    }
    return true;
}

// --- OK, all, cancel --------------------------------------------------------------------------

void TfrmQry::btnOKClick(QObject*)
{
    if (!IsConditionValid()) {
        ShowInfoMsg(kInvalid);
        return;
    }
    int result = ResultOK;
    try {
        ControlsOff off(qryTemp);
        TQryWhereBuilder where;
        QString desc;
        const int n = qryTemp->RecordCount();
        qryTemp->First();
        for (int i = 1; i <= n && !qryTemp->Eof(); ++i) {
            const QString name = fld("FldName")->AsString();
            const QString op = fld("FldOp")->AsString();
            const QString value = fld("FldValue")->AsString();
            const QString join = fld("FldJoin")->AsString();
            where.add(BuildQryComparison(name, op, value, Catalog.get()), i == n ? QryWords::End : join);
            const bool text = fld("FldType")->AsString().compare(QLatin1String("S"), Qt::CaseInsensitive) == 0;
            desc += QLatin1Char('(') + name + QLatin1Char(' ') + op + QLatin1Char(' ') +
                    (text ? QuotedStr(value) : value) + QLatin1Char(')');
            if (i < n) desc += QLatin1Char(' ') + join + QChar(13);
            qryTemp->Next();
        }
        QryWhereText = QStringLiteral(" (") + where.text() + QLatin1Char(')');
        QryDescText = desc;
    } catch (...) {
        // the list form keeps its previous condition
        LogException(currentExceptionMessage());
        result = ResultNo;
    }
    done(result);
}

void TfrmQry::btnAllClick(QObject*)
{
    QryWhereText = QStringLiteral(" 0=0 ");
    QryDescText = QryWords::All;
    done(ResultOK);
}

void TfrmQry::btnCancelClick(QObject*) { done(ResultCancel); }

// --- choosing a saved condition ----------------------------------------------------------------

void TfrmQry::cmbQrySaveChange(QObject*)
{
    const int i = cmbQrySave->currentIndex();
    if (i < 0) return;
    if (i == cmbQrySave->count() - 1) {
        btnDelAddClick(cmbQrySave);
        CurSerialNo = 0;
        CurQryName.clear();
        return;
    }
    const QString item = cmbQrySave->itemText(i);
    const int us = item.indexOf(QLatin1Char('_'));
    CurSerialNo = item.left(us).toInt();
    CurQryName = us >= 0 ? item.mid(us + 1) : QString();
    TQorAdoQry& q = query(QryDetail);
    q.SQL << QStringLiteral("select * from tXtQrySave where QryType='") + EscapeQuotes(QryType) + QStringLiteral("' ")
          << QStringLiteral(" and  Serialno=") + QString::number(CurSerialNo)
          << QStringLiteral(" order by OrderNo");
    q.OpenSized();
    LoadData();
}

void TfrmQry::LoadData()
{
    TfrmBase::LoadData();
    if (!QryDetail || !QryDetail->Active() || QryDetail->Eof()) return;
    TQorAdoQry& q = *QryDetail;
    {
        ControlsOff off(qryTemp);
        qryTemp->EmptyDataSet();
        while (!q.Eof()) {
            const QString code = q.FieldByName(QStringLiteral("FldCode")).AsString();
            const QString name = GetQryFldName(QryType, code);
            qryTemp->Append();
            fld("FldCode")->setAsString(code);
            fld("FldName")->setAsString(name);
            fld("FldOp")->setAsString(q.FieldByName(QStringLiteral("Operator")).AsString());
            fld("FldValue")->setAsString(q.FieldByName(QStringLiteral("FieldValue")).AsString());
            fld("FldJoin")->setAsString(q.FieldByName(QStringLiteral("LinkFlag")).AsString());
            fld("FldType")->setAsString(GetQryFieldAttr(name, QStringLiteral("FldType"), Catalog.get()));
            fld("SerialNo")->setAsInteger(q.FieldByName(QStringLiteral("SerialNo")).AsInteger());
            qryTemp->Post();
            q.Next();
        }
        qryTemp->First();
    }
    q.Close();
}

// --- saving -------------------------------------------------------------------------------------

bool TfrmQry::StoreRows(int serialNo, const QString& name, bool replace)
{
    TADOConnection* c = GetSharedConnection();
    bool taken = false;
    try {
        DbTransaction t(c);
        // A new number takes a name no other saved condition has, those stored meanwhile included;
        // a name taken ends the transaction unwritten.
        taken = serialNo == 0 && savedNameTaken(query(qryTmpBDE), c, QryType, name);
        if (!taken) {
            if (replace) {
                deleteSavedLines(query(qryTmpBDE), QryType, serialNo);
            }
            if (serialNo == 0) {
                TQorAdoQry& m = query(qryTmpBDE);
                m.SQL << QStringLiteral("select Max(SerialNo) SerialNo from tXTQrySave") + QryLockHint(c) + QLatin1Char(' ')
                      << QStringLiteral(" where QryType='") + EscapeQuotes(QryType) + QStringLiteral("'");
                m.OpenSized();
                serialNo = int(m.Eof() ? 0 : m.FieldByName(QStringLiteral("SerialNo")).AsInteger()) + 1;
                m.Close();
            }
            {
                ControlsOff off(qryTemp);
                qryTemp->First();
                while (!qryTemp->Eof()) {
                    TQorAdoQry& m = query(qryTmpBDE);
                    m.SQL << QStringLiteral("select Max(OrderNo) OrderNo from tXTQrySave") + QryLockHint(c) + QLatin1Char(' ')
                          << QStringLiteral(" where QryType='") + EscapeQuotes(QryType) + QStringLiteral("' and Serialno=") +
                                 QString::number(serialNo);
                    m.OpenSized();
                    const qint64 line = (m.Eof() ? 0 : m.FieldByName(QStringLiteral("OrderNo")).AsInteger()) + 1;
                    m.Close();
                    TQorAdoQry& ins = query(qryTmpBDE);
                    ins.SQL << QStringLiteral("insert into tXTQrySave(qrytype,Serialno,OrderNo,QryName,FldCode,Operator,FieldValue,LinkFlag)")
                            << QStringLiteral("values ('") + EscapeQuotes(QryType) + QStringLiteral("',") +
                                   QString::number(serialNo) + QLatin1Char(',') + QString::number(line) + QStringLiteral(",'") +
                                   EscapeQuotes(name) + QStringLiteral("' ,")
                            << QStringLiteral(" '") + EscapeQuotes(fld("FldCode")->AsString()) + QStringLiteral("','") +
                                   EscapeQuotes(fld("FldOp")->AsString()) + QStringLiteral("','") +
                                   EscapeQuotes(fld("FldValue")->AsString()) + QStringLiteral("','") +
                                   EscapeQuotes(fld("FldJoin")->AsString()) + QStringLiteral("')");
                    ExecChecked(ins);
                    qryTemp->Next();
                }
            }
            t.commit();
        }
    } catch (...) {
        // Nothing of the store is kept; the selection and the current condition stay.
        ShowErrorMsg(currentExceptionMessage());
        return false;
    }
    if (taken) {
        ShowInfoMsg(kDuplicateName);
        return false;
    }
    CurSerialNo = serialNo;
    CurQryName = name;
    FillSavedList();
    cmbQrySave->setCurrentIndex(cmbQrySave->findText(QString::number(serialNo) + QLatin1Char('_') + name));
    return true;
}

bool TfrmQry::AskName(QString& name)
{
    return InputQueryText(QStringLiteral("查询条件名称"), QStringLiteral("请输入查询条件名称："), CurQryName, name);
}

void TfrmQry::btnSaveClick(QObject*)
{
    if (!IsConditionValid()) {
        ShowInfoMsg(kInvalid);
        return;
    }
    if (SavedConditionSelected()) {
        StoreRows(CurSerialNo, CurQryName, true);
        return;
    }
    QString name;
    if (!AskName(name)) return;
    // Blanks around a name are no part of it (the server compares "ABC " equal to "ABC").
    name = name.trimmed();
    if (!nameAccepted(QryType, name)) return;
    StoreRows(0, name, false);
}

void TfrmQry::btnSaveAsClick(QObject*)
{
    if (!IsConditionValid()) {
        ShowInfoMsg(kInvalid);
        return;
    }
    // The new number is taken when the lines are stored, in the same transaction.
    QString name;
    if (!AskName(name)) return;
    name = name.trimmed();
    if (!nameAccepted(QryType, name)) return;
    StoreRows(0, name, false);
}

void TfrmQry::btnDeleteClick(QObject*)
{
    const int i = cmbQrySave->currentIndex();
    if (i >= 0 && i == cmbQrySave->count() - 1) return;
    if (i < 0) {
        ShowInfoMsg(QStringLiteral("没有选定要删除的查询条件！"));
        return;
    }
    if (!AskYesNoDefaultNo(QStringLiteral("确认要删除该查询条件吗？"))) return;
    deleteSavedLines(query(qryTmpBDE), QryType, CurSerialNo);
    btnDelAddClick(btnDelete);
    FillSavedList();
}

// --- entry point --------------------------------------------------------------------------------

bool ShowQryDialog(const QString& qryType, QString& whereText, QString& descText)
{
    QPointer<TfrmQry>& current = currentDialog();
    if (current) return false; // one dialog at a time
    int result = TfrmQry::ResultCancel;
    {
        // Closing frees the dialog; one that a caller's hook left open goes as well.
        ModalDialog<TfrmQry> dlg(TfrmBase::create<TfrmQry>(nullptr));
        current = dlg.get();
        CurQryType = qryType;
        dlg->QryType = qryType;
        LoadQryFields(qryType, dlg->Catalog);
        result = dlg.exec();
    }
    if (result != TfrmQry::ResultOK) return false;
    whereText = QryWhereText;
    descText = QryDescText;
    return true;
}

#include "calc/SetCalcFld.h"

#include "ui_SetCalcFld.h"

#include "framework/SharedUtils.h"
#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "module/Guarded.h"
#include "module/MISPub.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QToolTip>

namespace {

const QString kMsgNoName = QStringLiteral("字段属性中“字段名称”没有设置，不能保存！");
const QString kMsgNoCaption = QStringLiteral("字段属性中“字段标题”没有设置，不能保存！");
const QString kMsgNoType = QStringLiteral("字段属性中“字段类型”没有设置，不能保存！");
const QString kMsgNoLength = QStringLiteral("字段属性中“字段长度”没有设置，不能保存！");

// The name box: letters, digits and "_", at most 40. Typed keys are filtered before they arrive;
// a paste that does not fit is refused whole, and said so at the box.
class NameValidator : public QRegularExpressionValidator {
public:
    explicit NameValidator(QComboBox* box)
        : QRegularExpressionValidator(QRegularExpression(QStringLiteral("[A-Za-z0-9_]{0,40}")), box), m_box(box)
    {
    }
    State validate(QString& input, int& pos) const override
    {
        const State s = QRegularExpressionValidator::validate(input, pos);
        QLineEdit* e = m_box->lineEdit();
        if (s == Invalid && e && e->isVisible())
            QToolTip::showText(e->mapToGlobal(QPoint(0, e->height())),
                               QStringLiteral("字段名称只能由字母、数字和下划线组成，最多40个字符；粘贴的内容未输入。"), e);
        return s;
    }

private:
    QComboBox* m_box;
};

// Positions of lbxOperator.
enum { opPlus, opMinus, opTimes, opDivide, opOpen, opClose, opConstant };

bool isOperatorChar(QChar c)
{
    return c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('*') ||
           c == QLatin1Char('/');
}

int indexOfText(const QStringList& items, const QString& text)
{
    for (int i = 0; i < items.size(); ++i)
        if (items[i].compare(text, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QStringList itemTexts(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

QStringList comboItems(const QComboBox* combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i) out << combo->itemText(i);
    return out;
}

// Runs a function for the events of one widget.
class EventHook : public QObject {
public:
    EventHook(QObject* target, std::function<bool(QEvent*)> fn) : QObject(target), m_fn(std::move(fn))
    {
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override { return m_fn(e); }

private:
    std::function<bool(QEvent*)> m_fn;
};

// The focus entering a control because the user (or the form) moved it there, not because the
// window became active again after a message box.
bool isFocusEntry(QEvent* e)
{
    if (e->type() != QEvent::FocusIn) return false;
    const auto reason = static_cast<QFocusEvent*>(e)->reason();
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
           reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason ||
           reason == Qt::OtherFocusReason;
}

QPointer<TfrmSetCalcFld> g_calcEditor; // the editor while it is shown

} // namespace

// --- opening -------------------------------------------------------------------------------------

void ShowCalcFieldEditor(TClientDataSet* ds, const QString& formKey)
{
    if (!ds || g_calcEditor) return;
    QWidget* owner = nullptr;
    for (QObject* o = ds->parent(); o && !owner; o = o->parent())
        if (o->isWidgetType()) owner = static_cast<QWidget*>(o)->window();
    if (!owner) owner = QApplication::activeWindow();

    ModalDialog<TfrmSetCalcFld> f(TfrmBase::create<TfrmSetCalcFld>(owner));
    g_calcEditor = f.get();
    f->CalcDataSet = ds;
    f->FormKey = formKey;
    f->FillColumns(-1);
    f.exec();
}

// --- the form ------------------------------------------------------------------------------------

TfrmSetCalcFld::TfrmSetCalcFld(QWidget* parent) : TfrmBase(parent), ui(new Ui::TfrmSetCalcFld)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("frmSetCalcFld"));
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(480, 378);

    GroupBox1 = ui->GroupBox1;
    GroupBox2 = ui->GroupBox2;
    cbxFldName = ui->cbxFldName;
    EdtFldCaption = ui->EdtFldCaption;
    CbxFlgType = ui->CbxFlgType;
    EdtFldLen = ui->EdtFldLen;
    CbxFormat = ui->CbxFormat;
    ChkIsSum = ui->ChkIsSum;
    EdtReMark = ui->EdtReMark;
    lbxFieldCaption = ui->lbxFieldCaption;
    lbxOperator = ui->lbxOperator;
    lbxFieldName = ui->lbxFieldName;
    MmExpress = ui->MmExpress;
    btnOk = ui->btnOk;
    btnClose = ui->btnClose;
    btnClear = ui->btnClear;
    btnDelete = ui->btnDelete;
    QryCalc = std::make_unique<TQorAdoQry>();

    // Widths are GBK bytes, as the table stores them.
    cbxFldName->setCompleter(nullptr);
    cbxFldName->setValidator(new NameValidator(cbxFldName));
    EdtFldCaption->setValidator(new GbkLengthValidator(40, EdtFldCaption));
    EdtReMark->setValidator(new GbkLengthValidator(40, EdtReMark));
    EdtFldLen->setValidator(new GbkLengthValidator(4, EdtFldLen, true));
    CbxFormat->setCompleter(nullptr);
    CbxFormat->setValidator(new GbkLengthValidator(15, CbxFormat));
    CbxFormat->setEditText(QStringLiteral("#,##0.00"));
    CbxFlgType->setCurrentIndex(-1);
    lbxFieldName->setVisible(false);

    // cbxFldName: typing and choosing from the drop-down both change it.
    connect(cbxFldName->lineEdit(), &QLineEdit::textEdited, this, guarded([this](const QString& text) {
                m_nameIndex = indexOfText(comboItems(cbxFldName), text.trimmed());
                cbxFldNameChange(cbxFldName);
            }, this));
    connect(cbxFldName, &QComboBox::activated, this, guarded([this](int index) {
                m_nameIndex = index;
                cbxFldNameChange(cbxFldName);
            }, this));
    SetOnExit(cbxFldName, [this] { cbxFldNameExit(cbxFldName); });
    new EventHook(cbxFldName, [this](QEvent* e) {
        if (e->type() != QEvent::KeyPress) return false;
        bool swallow = false;
        guard([&] { swallow = nameKeyPress(static_cast<QKeyEvent*>(e)); }, this);
        return swallow;
    });
    connect(CbxFlgType, &QComboBox::activated, this, guarded([this] { CbxFlgTypeChange(CbxFlgType); }, this));
    connect(lbxFieldCaption, &QListWidget::itemClicked, this,
            guarded([this] { lbxFieldCaptionClick(lbxFieldCaption); }, this));
    connect(lbxFieldCaption, &QListWidget::itemDoubleClicked, this,
            guarded([this] { lbxFieldCaptionDblClick(lbxFieldCaption); }, this));
    connect(lbxOperator, &QListWidget::itemDoubleClicked, this,
            guarded([this] { lbxOperatorDblClick(lbxOperator); }, this));
    for (QListWidget* list : {lbxFieldCaption, lbxOperator}) {
        new EventHook(list, [this, list](QEvent* e) {
            if (isFocusEntry(e)) guard([&] { ConfirmAttributes(list); }, this);
            return false;
        });
    }
    connect(btnOk, &QPushButton::clicked, this, guarded([this] { btnOkClick(btnOk); }, this));
    connect(btnClear, &QPushButton::clicked, this, guarded([this] { btnClearClick(btnClear); }, this));
    connect(btnDelete, &QPushButton::clicked, this, guarded([this] { btnDeleteClick(btnDelete); }, this));
    connect(btnClose, &QPushButton::clicked, this, guarded([this] { btnCloseClick(btnClose); }, this));
}

TfrmSetCalcFld::~TfrmSetCalcFld() = default;

// --- state ---------------------------------------------------------------------------------------

void TfrmSetCalcFld::setState(TEditState s)
{
    m_state = s;
    setMemoFinished(s == esFinished);
}

void TfrmSetCalcFld::setMemoFinished(bool finished)
{
    QPalette p = MmExpress->palette();
    p.setColor(QPalette::Base, QApplication::palette().color(finished ? QPalette::ToolTipBase : QPalette::Base));
    MmExpress->setPalette(p);
}

void TfrmSetCalcFld::showMemo()
{
    MmExpress->setPlainText(m_display + m_pending.display);
}

void TfrmSetCalcFld::commitPending()
{
    m_display += m_pending.display;
    m_stored += m_pending.stored;
    m_pending = Pending();
}

void TfrmSetCalcFld::setPending(TPendingKind kind, const QString& display, const QString& stored)
{
    m_pending.kind = kind;
    m_pending.display = display;
    m_pending.stored = stored;
}

int TfrmSetCalcFld::typeIndex() const { return CbxFlgType->currentIndex(); }

QString TfrmSetCalcFld::trimmedName() const { return cbxFldName->currentText().trimmed(); }

void TfrmSetCalcFld::setNameText(const QString& text)
{
    const QSignalBlocker block(cbxFldName);
    cbxFldName->setEditText(text);
}

// --- the column lists ----------------------------------------------------------------------------

void TfrmSetCalcFld::FillColumns(int type)
{
    lbxFieldCaption->clear();
    lbxFieldName->clear();
    if (!CalcDataSet) return;
    const QStringList calcNames = comboItems(cbxFldName);
    const bool shop = UIsShop();
    const bool centre = UIsCenter();
    for (TField* f : CalcDataSet->Fields()) {
        const TFieldType t = f->DataType();
        const bool integer = t == ftInteger || t == ftLargeint;
        bool fits = true;
        if (type == 0)
            fits = t == ftString;
        else if (type == 1)
            fits = integer;
        else if (type == 2)
            fits = integer || t == ftFloat || t == ftCurrency;
        if (!fits || f->FieldKind() != fkData) continue;
        const int tag = f->Tag();
        if ((tag == 1 && shop) || (tag == 2 && centre) || tag == 3) continue;
        // A calculated field cannot be used in another one.
        if (IsCalcFieldTag(tag)) continue;
        if (indexOfText(calcNames, f->FieldName()) >= 0) continue;
        if (f->HasOnGetText()) continue;
        lbxFieldCaption->addItem(f->DisplayLabel().remove(QLatin1Char('|')).trimmed());
        lbxFieldName->addItem(f->FieldName());
    }
}

void TfrmSetCalcFld::LoadNames()
{
    {
        const QSignalBlocker block(cbxFldName);
        cbxFldName->clear();
    }
    m_nameIndex = -1;
    try {
        TQorAdoQry q(GetSharedConnection());
        q.SQL << QStringLiteral("Select * from tXtQryField")
              << QStringLiteral("Where QryCode=:QryCode and DataSet=:DataSet");
        bindKey(q, nullptr);
        q.OpenSized();
        for (; !q.Eof(); q.Next()) {
            const QString name = q.FieldByName(QStringLiteral("FldName")).AsString();
            {
                const QSignalBlocker block(cbxFldName);
                cbxFldName->addItem(name);
            }
            const int row = indexOfText(itemTexts(lbxFieldName), QLatin1String("R_") + name.trimmed());
            if (row >= 0) {
                delete lbxFieldCaption->takeItem(row);
                delete lbxFieldName->takeItem(row);
            }
        }
    } catch (...) {
        const QString message = currentExceptionMessage();
        ShowErrorMsg(QStringLiteral("计算字段信息读取失败！") + QLatin1Char('\n') + message);
        LogException(message);
    }
    const QSignalBlocker block(cbxFldName);
    cbxFldName->setCurrentIndex(-1);
    cbxFldName->setEditText(QString());
}

void TfrmSetCalcFld::bindKey(TQorAdoQry& q, const QString* fldName) const
{
    q.Parameters.ParamByName(QStringLiteral("QryCode")).Value = FormKey;
    q.Parameters.ParamByName(QStringLiteral("DataSet")).Value =
        CalcDataSet ? CalcDataSet->objectName() : QString();
    if (fldName) q.Parameters.ParamByName(QStringLiteral("FldName")).Value = fldName->trimmed();
}

// --- attributes ----------------------------------------------------------------------------------

void TfrmSetCalcFld::ResetEditor()
{
    setNameText(QString());
    m_nameIndex = -1;
    EdtFldCaption->clear();
    EdtFldLen->clear();
    EdtReMark->clear();
    {
        const QSignalBlocker block(CbxFlgType);
        CbxFlgType->setCurrentIndex(-1);
    }
    m_display.clear();
    m_stored.clear();
    m_pending = Pending();
    CbxFormat->setEditText(QStringLiteral("#,##0.00"));
    CbxFormat->setEnabled(false);
    ChkIsSum->setChecked(false);
    ChkIsSum->setEnabled(false);
    MmExpress->clear();
    setMemoFinished(false);
    TypeChange(false);
    setState(esUnchecked);
}

void TfrmSetCalcFld::TypeChange(bool clearLength)
{
    const int t = typeIndex();
    EdtFldLen->setEnabled(t == 0);
    if (clearLength) EdtFldLen->clear();
    FillColumns(t);
    // The expression starts afresh; a pending parenthesis or constant still waits.
    m_display.clear();
    m_stored.clear();
    if (m_pending.kind == pkField || m_pending.kind == pkOperator) m_pending = Pending();
    if (t == 1 || t == 2) {
        ChkIsSum->setEnabled(true);
        CbxFormat->setEnabled(true);
        CbxFormat->setEditText(t == 1 ? QStringLiteral("#,##0.") : QStringLiteral("#,##0.00"));
    } else {
        ChkIsSum->setEnabled(false);
        ChkIsSum->setChecked(false);
        CbxFormat->setEnabled(false);
        CbxFormat->setEditText(QString());
    }
}

void TfrmSetCalcFld::CheckName()
{
    const QString name = trimmedName();
    if (name.isEmpty()) return;
    if (name[0].isDigit()) {
        setNameText(QString());
        m_nameIndex = -1;
        return;
    }
    if (m_nameIndex < 0) FillColumns(-1);
    const int calcIndex = indexOfText(comboItems(cbxFldName), name);
    if (indexOfText(itemTexts(lbxFieldName), name) >= 0) {
        if (calcIndex < 0) {
            ShowWarningMsg(QStringLiteral("该名称已经被系统使用，请更换新的字段名称！"));
            FocusControl(cbxFldName);
            return;
        }
        m_nameIndex = calcIndex;
        {
            const QSignalBlocker block(cbxFldName);
            cbxFldName->setCurrentIndex(calcIndex);
        }
        LoadDefinition();
    }
    if (calcIndex < 0 && typeIndex() < 0) {
        const QSignalBlocker block(CbxFlgType);
        CbxFlgType->setCurrentIndex(2);
    }
    if (m_nameIndex < 0) TypeChange(false);
}

void TfrmSetCalcFld::LoadDefinition()
{
    if (m_nameIndex < 0) {
        if (m_state != esUnchecked) {
            ResetEditor();
            setState(esUnchecked);
        }
        return;
    }
    const QString name = trimmedName();
    QryCalc->Close();
    QryCalc->setConnection(GetSharedConnection());
    QryCalc->SQL.clear();
    QryCalc->Parameters.Clear();
    QryCalc->SQL << QStringLiteral("Select * from tXtQryField")
                 << QStringLiteral("Where QryCode=:QryCode and DataSet=:DataSet and FldName=:FldName");
    bindKey(*QryCalc, &name);
    QryCalc->OpenSized(); // sizes the parameters first
    if (QryCalc->Eof()) {
        const QString typed = cbxFldName->currentText();
        ResetEditor();
        setNameText(typed);
        return;
    }
    auto column = [this](const char* c) { return QryCalc->FieldByName(QString::fromLatin1(c)).AsString().trimmed(); };
    const int chosen = m_nameIndex;
    setNameText(column("FldName"));
    m_nameIndex = chosen;
    EdtFldCaption->setText(column("FldCaption"));
    const QString type = column("FldType");
    {
        const QSignalBlocker block(CbxFlgType);
        if (type == QLatin1String("S"))
            CbxFlgType->setCurrentIndex(0);
        else if (type == QLatin1String("I"))
            CbxFlgType->setCurrentIndex(1);
        else if (type == QLatin1String("F"))
            CbxFlgType->setCurrentIndex(2);
    }
    TypeChange(true);
    EdtFldLen->setText(column("FldSize"));
    m_stored = column("FldExpress");
    CbxFormat->setEditText(column("FldFormat"));
    ChkIsSum->setChecked(column("IsSum") == QLatin1String("1"));
    EdtReMark->setText(column("Remark"));
    m_display = ExpressToCaption(m_stored, itemTexts(lbxFieldName), itemTexts(lbxFieldCaption));
    // What the memo shows is the loaded definition and nothing else: an item left pending
    // from before must not be saved into it.
    m_pending = Pending();
    MmExpress->setPlainText(m_display);
    setState(esFinished);
}

bool TfrmSetCalcFld::checkAttributes(bool forSave)
{
    QWidget* missing = nullptr;
    QString text;
    const QString length = EdtFldLen->text().trimmed();
    if (trimmedName().isEmpty()) {
        missing = cbxFldName;
        text = kMsgNoName;
    } else if (EdtFldCaption->text().trimmed().isEmpty()) {
        missing = EdtFldCaption;
        text = kMsgNoCaption;
    } else if (typeIndex() < 0) {
        missing = CbxFlgType;
        text = kMsgNoType;
    } else if (typeIndex() == 0 && (length.isEmpty() || (forSave && length.toInt() == 0))) {
        missing = EdtFldLen;
        text = kMsgNoLength;
    }
    if (!missing) return true;
    ShowWarningMsg(text);
    FocusControl(missing);
    return false;
}

void TfrmSetCalcFld::ConfirmAttributes(QWidget*)
{
    if (m_state != esUnchecked) return;
    if (checkAttributes(false)) setState(esEditing);
}

// --- building the expression ---------------------------------------------------------------------

void TfrmSetCalcFld::ChooseField()
{
    if (m_state != esEditing) return;
    const int row = lbxFieldCaption->currentRow();
    if (row < 0 || row >= lbxFieldName->count()) return;
    const QString caption = lbxFieldCaption->item(row)->text();
    const QString name = lbxFieldName->item(row)->text();
    switch (m_pending.kind) {
    case pkOperator:
    case pkOpen:
        commitPending();
        break;
    case pkClose:
        return; // an operand cannot follow ")"
    default:
        break; // replaces a pending field or constant
    }
    setPending(pkField, caption, name);
    showMemo();
}

void TfrmSetCalcFld::ChooseOperator()
{
    if (m_state != esEditing) return;
    const int row = lbxOperator->currentRow();
    if (row < 0) return;
    const QString item = lbxOperator->item(row)->text();
    // String fields only concatenate.
    if (typeIndex() == 0 && (row == opMinus || row == opTimes || row == opDivide)) return;
    if (row == opConstant) {
        chooseConstant();
        return;
    }
    if (row == opOpen || row == opClose) {
        choosePunctuation(item);
        return;
    }
    if (m_display.isEmpty() && m_stored.isEmpty() && m_pending.kind == pkNone) return;
    switch (m_pending.kind) {
    case pkOperator:
        setPending(pkOperator, item, item);
        break;
    case pkOpen:
    case pkNone:
        return;
    case pkClose:
    case pkField:
    case pkConstant:
        commitPending();
        setPending(pkOperator, item, item);
        break;
    }
    showMemo();
}

void TfrmSetCalcFld::choosePunctuation(const QString& p)
{
    const bool close = p == QLatin1String(")");
    const TPendingKind kind = close ? pkClose : pkOpen;
    switch (m_pending.kind) {
    case pkOpen:
    case pkClose:
        if (m_pending.kind != kind) return;
        commitPending();
        break;
    case pkField:
    case pkConstant:
        if (!close) return;
        commitPending();
        break;
    case pkOperator:
        if (close) return;
        commitPending();
        break;
    case pkNone:
        break;
    }
    setPending(kind, p, p);
    showMemo();
}

void TfrmSetCalcFld::chooseConstant()
{
    QString k = InputText(QStringLiteral("自定义常量"), QString(), QString()).trimmed();
    for (QChar c : QStringLiteral("#@+-*/()'")) {
        if (k.contains(c)) {
            ShowWarningMsg(QStringLiteral("常量禁止使用字符：# 、@ 、' 和运算符+、-、*、/、(、)"));
            return;
        }
    }
    // Nothing entered (or the box cancelled): nothing to add, for string fields too.
    if (k.isEmpty()) return;
    if (typeIndex() == 0) {
        k = QLatin1Char('\'') + k + QLatin1Char('\'');
    } else if (!IsNumericConstant(k)) {
        ShowWarningMsg(QStringLiteral("输入的数字无效！"));
        return;
    }
    switch (m_pending.kind) {
    case pkOperator:
    case pkOpen:
        commitPending();
        break;
    case pkClose:
        return;
    default:
        break; // replaces a pending constant or field
    }
    setPending(pkConstant, k, QLatin1Char('#') + k);
    showMemo();
}

// --- saving and deleting -------------------------------------------------------------------------

void TfrmSetCalcFld::Save()
{
    if (!checkAttributes(true)) return;
    if (m_pending.kind == pkField || m_pending.kind == pkConstant || m_pending.kind == pkClose)
        commitPending();
    if (!m_stored.isEmpty()) {
        const QString checked = CheckExpression(m_stored);
        if (ShowExpressionError(checked)) {
            showMemo();
            return;
        }
        // The display text loses the same operators: they are copied into it one for one.
        const bool leading = isOperatorChar(m_stored.front());
        const bool trailing = m_stored.size() > (leading ? 1 : 0) && isOperatorChar(m_stored.back());
        if (leading && !m_display.isEmpty()) m_display.remove(0, 1);
        if (trailing && !m_display.isEmpty()) m_display.chop(1);
        m_stored = checked;
    }
    MmExpress->setPlainText(m_display);
    setState(esFinished);
    if (Gbk::byteLength(m_stored) > 100) {
        ShowWarningMsg(QStringLiteral("表达式长度太大，不能保存！"));
        FocusControl(MmExpress);
        return;
    }
    // Each divisor is written twice by the division guard: deeply nested divisions would give a
    // statement of gigabytes when the list opens.
    if (typeIndex() != 0 && !m_stored.isEmpty()) {
        QString bare = m_stored;
        bare.remove(QLatin1Char('#'));
        if (GuardDivisions(bare, typeIndex() == 2).isEmpty()) {
            ShowWarningMsg(QStringLiteral("表达式中的除法嵌套过深，不能保存！"));
            FocusControl(MmExpress);
            return;
        }
    }
    saveToDatabase();
}

void TfrmSetCalcFld::saveToDatabase()
{
    const QString name = trimmedName();
    bool failed = false;
    try {
        TQorAdoQry q(GetSharedConnection());
        q.SQL << QStringLiteral("Select * from tXtQryField")
              << QStringLiteral("Where QryCode=:QryCode and DataSet=:DataSet and FldName=:FldName");
        bindKey(q, &name); // stays bound for the insert or update below
        q.OpenSized();
        const bool exists = !q.Eof();
        q.Close();
        if (!m_stored.isEmpty()) {
            q.SQL.clear();
            if (!exists) {
                q.SQL << QStringLiteral("Insert into  tXtQryField (QryCode,DataSet, FldName,FldCaption,FldType,FldSize,FldExpress,FldFormat,IsSum,Remark) ")
                      << QStringLiteral("Values(:QryCode,:DataSet, :FldName,:FldCaption,:FldType,:FldSize,:FldExpress,:FldFormat,:IsSum,:Remark)");
            } else {
                if (!AskYesNo(QStringLiteral("该字段已经存在，是否覆盖！"))) {
                    setState(esEditing);
                    return;
                }
                q.SQL << QStringLiteral("Update tXtQryField Set FldCaption=:FldCaption,FldType=:FldType,FldSize=:FldSize,FldExpress=:FldExpress,FldFormat=:FldFormat,IsSum=:IsSum,Remark=:Remark")
                      << QStringLiteral("Where QryCode=:QryCode and DataSet=:DataSet and FldName=:FldName");
            }
            static const QString letters = QStringLiteral("SIF");
            bool ok = false;
            const int size = EdtFldLen->text().trimmed().toInt(&ok);
            auto param = [&q](const char* n) -> QVariant& {
                return q.Parameters.ParamByName(QString::fromLatin1(n)).Value;
            };
            param("FldCaption") = EdtFldCaption->text().trimmed();
            param("FldType") = QString(letters[typeIndex()]);
            param("FldSize") = qint64(ok ? size : 0);
            param("FldExpress") = m_stored.trimmed();
            param("FldFormat") = CbxFormat->isEnabled() ? CbxFormat->currentText().trimmed() : QString();
            param("IsSum") = ChkIsSum->isChecked() && ChkIsSum->isEnabled() ? QStringLiteral("1") : QStringLiteral("0");
            param("Remark") = EdtReMark->text().trimmed();
            ExecChecked(q);
        } else {
            if (!exists) {
                ShowWarningMsg(QStringLiteral("表达式为空，不能保存！"));
                setState(esEditing);
                return;
            }
            if (!AskYesNoDefaultNo(QStringLiteral("该字段表达为空，确认要删除该字段吗？"))) {
                setState(esEditing);
                return;
            }
            failed = !DeleteDefinition(name);
        }
    } catch (...) {
        const QString message = currentExceptionMessage();
        ShowErrorMsg(QStringLiteral("自定义计算字段保存失败！") + QLatin1Char('\n') + message);
        LogException(message);
        failed = true;
    }
    if (failed) {
        // The entry stays on screen, so that it can be saved again.
        setState(esEditing);
        showMemo();
        return;
    }
    LoadNames();
    ResetEditor();
    setState(esUnchecked);
}

bool TfrmSetCalcFld::DeleteDefinition(const QString& name)
{
    try {
        TQorAdoQry q(GetSharedConnection());
        q.SQL << QStringLiteral("Delete from tXtQryField")
              << QStringLiteral("Where QryCode=:QryCode and DataSet=:DataSet and FldName=:FldName");
        bindKey(q, &name);
        ExecChecked(q);
        return true;
    } catch (...) {
        const QString message = currentExceptionMessage();
        ShowErrorMsg(QStringLiteral("删除失败，请查看日志！"));
        LogException(message);
        return false;
    }
}

// --- handlers ------------------------------------------------------------------------------------

void TfrmSetCalcFld::FormShow(QObject* sender)
{
    std::exception_ptr inherited;
    try {
        TfrmBase::FormShow(sender);
    } catch (...) {
        inherited = std::current_exception();
    }
    setState(esUnchecked);
    EnsureCalcFieldTable();
    LoadNames();
    if (inherited) std::rethrow_exception(inherited);
}

void TfrmSetCalcFld::FormClose(QObject* sender, TCloseAction& action)
{
    TfrmBase::FormClose(sender, action);
    QryCalc->Close();
    action = caHide; // the opener frees the dialog after its modal loop
}

void TfrmSetCalcFld::cbxFldNameChange(QObject*) { LoadDefinition(); }

void TfrmSetCalcFld::cbxFldNameExit(QObject*) { CheckName(); }

void TfrmSetCalcFld::CbxFlgTypeChange(QObject*) { TypeChange(true); }

void TfrmSetCalcFld::lbxFieldCaptionClick(QObject*)
{
    if (QListWidgetItem* item = lbxFieldCaption->currentItem()) lbxFieldCaption->setToolTip(item->text());
}

void TfrmSetCalcFld::lbxFieldCaptionDblClick(QObject*) { ChooseField(); }

void TfrmSetCalcFld::lbxOperatorDblClick(QObject*) { ChooseOperator(); }

void TfrmSetCalcFld::btnOkClick(QObject*) { Save(); }

void TfrmSetCalcFld::btnClearClick(QObject*)
{
    MmExpress->clear();
    m_display.clear();
    m_stored.clear();
    m_pending = Pending();
    setState(m_state == esUnchecked ? esUnchecked : esEditing);
    TypeChange(false);
}

void TfrmSetCalcFld::btnDeleteClick(QObject*)
{
    if (m_nameIndex < 0) return;
    const QString name = trimmedName();
    if (!AskYesNoDefaultNo(QStringLiteral("确定要删除自定义列") + name + QStringLiteral("吗？"))) return;
    if (!DeleteDefinition(name)) return;
    ShowInfoMsg(QStringLiteral("成功删除"));
    close();
}

void TfrmSetCalcFld::btnCloseClick(QObject*) { close(); }

bool TfrmSetCalcFld::nameKeyPress(QKeyEvent* e)
{
    const QString typed = e->text();
    if (typed.size() != 1) return false;
    const QChar c = typed[0];
    if (c.unicode() < 0x20 || c.unicode() == 0x7f) return false; // backspace, Enter, shortcuts
    const bool letter = (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
    const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (!letter && !digit && c != QLatin1Char('_')) return true;
    const QString text = cbxFldName->currentText();
    if (text.isEmpty() && digit) return true;
    if (!text.isEmpty() && (text[0].isDigit() || text[0] == QLatin1Char('_'))) setNameText(QString());
    return false;
}

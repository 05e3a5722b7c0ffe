#include "tryout/TryOutLr.h"

#include "framework/GridBridge.h"
#include "framework/SharedUtils.h"
#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "module/Guarded.h"
#include "module/MISPub.h"
#include "platform/db/Db.h"
#include "platform/sys/Clock.h"
#include "platform/text/Gbk.h"
#include "tryout/TryOutRefresh.h"

#include "ui_TryOutLr.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <exception>

namespace {

// Widths of TryOutBK as GBK bytes.
constexpr int OrgCodeWidth = 6;
constexpr int PluCodeWidth = 20;
constexpr int ZdrCodeWidth = 20;
constexpr int NameWidth = 10;
constexpr int RemarkWidth = 100;

const QString SaveFailedText = QStringLiteral("保存试用记录失败，请查看系统日志。");

class KeyHook : public QObject {
public:
    KeyHook(QLineEdit* target, std::function<bool(QKeyEvent*)> fn) : QObject(target), m_fn(std::move(fn))
    {
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() != QEvent::KeyPress) return false;
        return m_fn(static_cast<QKeyEvent*>(e));
    }

private:
    std::function<bool(QKeyEvent*)> m_fn;
};

// A key that types into a box: a printable character, backspace, delete, paste or cut. Moving
// keys (Tab, arrows, Enter) and shortcuts of the form are not typing.
bool typesText(const QKeyEvent* e)
{
    if (e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut)) return true;
    if (e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete) return true;
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    const QString t = e->text();
    return !t.isEmpty() && t.at(0).isPrint();
}

} // namespace

// --- creation --------------------------------------------------------------------------------

TfrmTryOutLr::TfrmTryOutLr(QWidget* parent) : TfrmBase(parent), ui(new Ui::TfrmTryOutLr)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("frmTryOutLr"));
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) & ~Qt::WindowContextHelpButtonHint);
    // The form's layout fixes its size from its contents: the advisor's caption comes from the
    // suite and may be longer than the form's own.

    lblOrg = ui->lblOrg;
    lblBeauty = ui->lblBeauty;
    lblGoods = ui->lblGoods;
    lblShop = ui->lblShop;
    lblResult = ui->lblResult;
    edtGrpCode = ui->edtGrpCode;
    edtGrpName = ui->edtGrpName;
    edtBeautyCode = ui->edtBeautyCode;
    edtBeauty = ui->edtBeauty;
    edtGoodsCode = ui->edtGoodsCode;
    edtGoodsName = ui->edtGoodsName;
    edtRemark = ui->edtRemark;
    btnOrg = ui->btnOrg;
    btnBeauty = ui->btnBeauty;
    btnGoods = ui->btnGoods;
    btnConfirm = ui->btnConfirm;
    btnCancel = ui->btnCancel;
    btnClose = ui->btnClose;
    cmbResult = ui->cmbResult;
    qryTryOut = std::make_unique<TQorAdoQry>();

    // Only digits reach the code boxes, typed, pasted or dropped; widths count GBK bytes.
    edtGrpCode->setValidator(new GbkLengthValidator(OrgCodeWidth, edtGrpCode, true));
    edtBeautyCode->setValidator(new GbkLengthValidator(ZdrCodeWidth, edtBeautyCode, true));
    edtGoodsCode->setValidator(new GbkLengthValidator(PluCodeWidth, edtGoodsCode, true));
    edtRemark->setValidator(new GbkLengthValidator(RemarkWidth, edtRemark));
    edtBeauty->setValidator(new GbkLengthValidator(NameWidth, edtBeauty));

    SetOnExit(edtGrpCode, [this] { edtGrpCodeExit(edtGrpCode); });
    SetOnExit(edtBeautyCode, [this] { edtBeautyCodeExit(edtBeautyCode); });
    SetOnExit(edtGoodsCode, [this] { edtGoodsCodeExit(edtGoodsCode); });
    for (QLineEdit* box : {edtGrpCode, edtBeautyCode, edtGoodsCode}) {
        new KeyHook(box, [this, box](QKeyEvent* e) {
            bool handled = false;
            guard([&] { edtCodeKeyPress(box, e, handled); }, this);
            return handled;
        });
    }

    connect(btnOrg, &QPushButton::clicked, this, guarded([this] { btnOrgClick(btnOrg); }, this));
    connect(btnBeauty, &QPushButton::clicked, this, guarded([this] { btnBeautyClick(btnBeauty); }, this));
    connect(btnGoods, &QPushButton::clicked, this, guarded([this] { btnGoodsClick(btnGoods); }, this));
    connect(btnConfirm, &QPushButton::clicked, this, guarded([this] { btnConfirmClick(btnConfirm); }, this));
    connect(btnCancel, &QPushButton::clicked, this, guarded([this] { btnCancelClick(btnCancel); }, this));
    connect(btnClose, &QPushButton::clicked, this, guarded([this] { btnCloseClick(btnClose); }, this));
}

TfrmTryOutLr::~TfrmTryOutLr() = default;

void TfrmTryOutLr::setOpener(TTryOutRefresh* list)
{
    m_opener = list;
    QObject* o = dynamic_cast<QObject*>(list);
    m_openerIsObject = o != nullptr;
    m_openerObject = o;
}

TTryOutRefresh* TfrmTryOutLr::opener() const
{
    if (m_openerIsObject && m_openerObject.isNull()) return nullptr;
    return m_opener;
}

void TfrmTryOutLr::SetRecord(const TTryOutRecord& record)
{
    m_record = record;
    m_haveRecord = true;
    loadRecord();
}

void TfrmTryOutLr::loadRecord()
{
    // The record's organisation was accepted with it: leaving its box unchanged re-checks nothing.
    CurrentOrg = m_record.OrgCode.trimmed();
    BookDate = m_record.BookDate;
    BookTime = m_record.BookTime;
    edtGrpCode->setText(m_record.OrgCode);
    edtGrpName->setText(m_record.OrgName);
    edtBeautyCode->setText(m_record.ZdrCode);
    edtBeauty->setText(m_record.ZdrName);
    edtGoodsCode->setText(m_record.PluCode);
    edtGoodsName->setText(m_record.PluName);
    edtRemark->setText(m_record.Remark);
    cmbResult->setCurrentIndex(cmbResult->findText(m_record.ResultD));
}

QString TfrmTryOutLr::clerk() const { return UClerkCaption(); }

// --- showing ---------------------------------------------------------------------------------

void TfrmTryOutLr::FormShow(QObject* sender)
{
    // The entry must be prepared even when the base form could not read its settings.
    std::exception_ptr baseError;
    try {
        TfrmBase::FormShow(sender);
    } catch (...) {
        baseError = std::current_exception();
    }
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    showSteps();
    if (baseError) std::rethrow_exception(baseError);
}

void TfrmTryOutLr::showSteps()
{
    lblBeauty->setText(clerk() + QStringLiteral("："));
    const bool shop = UIsShop();
    if (shop) {
        btnOrg->setEnabled(false);
        edtGrpCode->setEnabled(false);
        // The name box is read-only already; disabled it would be grey on grey.
        // An edited record keeps its own organisation, also when it is not the station's.
        if (!EditMode) {
            edtGrpCode->setText(sBranchNo());
            edtGrpName->setText(sShopName());
        }
    }
    if (EditMode) {
        setWindowTitle(QStringLiteral("试用品试用登记修改"));
        if (!m_haveRecord) {
            // Filled through the boxes: what they hold now is the record being edited.
            m_record.BookDate = BookDate;
            m_record.BookTime = BookTime;
            m_record.OrgCode = edtGrpCode->text();
            m_record.OrgName = edtGrpName->text();
            m_record.ZdrCode = edtBeautyCode->text();
            m_record.ZdrName = edtBeauty->text();
            m_record.PluCode = edtGoodsCode->text();
            m_record.PluName = edtGoodsName->text();
            m_record.Remark = edtRemark->text();
            m_record.ResultD = cmbResult->currentText();
            m_haveRecord = true;
            CurrentOrg = m_record.OrgCode.trimmed();
        }
        OldPluCode = edtGoodsCode->text();
        FocusControl(edtBeautyCode);
    } else {
        setWindowTitle(QStringLiteral("试用品试用登记新增"));
        FocusControl(shop ? edtBeautyCode : edtGrpCode);
        edtBeautyCode->clear();
        edtBeauty->clear();
        edtGoodsCode->clear();
        edtGoodsName->clear();
        edtRemark->clear();
        cmbResult->setCurrentIndex(0);
        OldPluCode.clear();
    }
}

// --- checks ----------------------------------------------------------------------------------

bool TfrmTryOutLr::CheckOrganisation()
{
    const QString code = edtGrpCode->text().trimmed();
    if (code.isEmpty()) {
        edtGrpName->clear();
        return true;
    }
    try {
        TQorAdoQry q(GetSharedConnection());
        q.SQL << QStringLiteral("select OrgName from SubShop where OrgType<>'2' and IsDbDeploy ='1' and OrgCode = :OrgCode");
        q.Parameters.ParamByName(QStringLiteral("OrgCode")).Value = code;
        q.OpenSized();
        if (q.Eof()) {
            q.Close();
            ShowWarningMsg(QStringLiteral("输入的组织信息不存在！"));
            edtGrpName->clear();
            FocusControl(edtGrpCode);
            return false;
        }
        const QString name = q.FieldByName(QStringLiteral("OrgName")).AsString();
        q.Close();
        if (code != CurrentOrg) recheckForOrganisation(code);
        CurrentOrg = code;
        edtGrpName->setText(name);
        return true;
    } catch (...) {
        LogCurrentException();
        ShowErrorMsg(QStringLiteral("验证组织信息有效性失败，请查看系统日志。"));
        FocusControl(edtGrpCode);
        return false;
    }
}

// The advisor and the good were accepted for the previous organisation; what the new one does
// not allow is cleared after its warning.
void TfrmTryOutLr::recheckForOrganisation(const QString& orgCode)
{
    if (!CheckAdvisor(orgCode)) {
        edtBeauty->clear();
        edtBeautyCode->clear();
    }
    if (!CheckGood(orgCode)) {
        edtGoodsCode->clear();
        edtGoodsName->clear();
    }
}

bool TfrmTryOutLr::recordsOwn(const QString& orgCode, const QString& code, const QString& recordCode) const
{
    return EditMode && m_haveRecord && orgCode.trimmed() == m_record.OrgCode.trimmed()
        && code == recordCode.trimmed();
}

bool TfrmTryOutLr::CheckAdvisor(const QString& orgCode)
{
    const QString code = edtBeautyCode->text().trimmed();
    if (code.isEmpty()) return true;
    // The edited record's advisor was checked when the record was made; she may have left the
    // counter since, which must not stop a change of the remark.
    if (recordsOwn(orgCode, code, m_record.ZdrCode)) return true;
    TQorAdoQry q(GetSharedConnection());
    q.SQL << QStringLiteral("Select S.StaffCode from Staffs S,UserOrg O,XtUserSub R")
          << QStringLiteral(" where S.StaffCode = O.StaffCode and S.StaffCode = R.StaffCode and")
          << QStringLiteral("       O.OrgCode = :OrgCode and R.UGrpCode = '01' and ")
          << QStringLiteral("       S.StaffCode =:StaffCode");
    q.Parameters.ParamByName(QStringLiteral("OrgCode")).Value = orgCode;
    q.Parameters.ParamByName(QStringLiteral("StaffCode")).Value = code;
    q.OpenSized();
    const bool found = !q.Eof();
    q.Close();
    if (found) return true;
    const QString C = clerk();
    const QChar CR = QLatin1Char('\r');
    ShowWarningMsg(QStringLiteral("没有查询到") + C + QStringLiteral("编码。可能原因如下：") + CR +
                   QStringLiteral("1、该") + C + QStringLiteral("不存在。") + CR +
                   QStringLiteral("2、输入的员工不属于") + C + QStringLiteral("组。") + CR +
                   QStringLiteral("3、输入的") + C + QStringLiteral("不属于选择的组织。"));
    return false;
}

bool TfrmTryOutLr::CheckGood(const QString& orgCode)
{
    const QString code = edtGoodsCode->text().trimmed();
    if (code.isEmpty()) return true;
    // Likewise the edited record's good, whose bill may have been un-booked since.
    if (recordsOwn(orgCode, code, m_record.PluCode)) return true;
    TQorAdoQry q(GetSharedConnection());
    q.SQL << QStringLiteral("Select PluCode from drawdetail D,drawForm F Where F.DrawNo = D.DrawNo and F.OrgCode = :OrgCode "
                            "and F.BillType  ='1' and F.RzDate<>'' and F.RzDate is not null ")
          << QStringLiteral(" and D.PluCode =:PluCode ");
    q.Parameters.ParamByName(QStringLiteral("OrgCode")).Value = orgCode;
    q.Parameters.ParamByName(QStringLiteral("PluCode")).Value = code;
    q.OpenSized();
    const bool found = !q.Eof();
    q.Close();
    if (found) return true;
    ShowWarningMsg(QStringLiteral("试用品不存在或该商品领用单没有入账。"));
    return false;
}

bool TfrmTryOutLr::acceptAdvisor()
{
    if (edtBeautyCode->text().trimmed().isEmpty()) {
        edtBeauty->clear();
        return true;
    }
    if (!CheckAdvisor(edtGrpCode->text().trimmed())) {
        edtBeautyCode->clear();
        edtBeauty->clear();
        FocusControl(edtBeautyCode);
        return false;
    }
    if (recordsOwn(edtGrpCode->text(), edtBeautyCode->text().trimmed(), m_record.ZdrCode)) {
        edtBeauty->setText(m_record.ZdrName);
        return true;
    }
    TQorAdoQry q(GetSharedConnection());
    q.SQL << QStringLiteral("Select StaffName from Staffs where StaffCode =:StaffCode ");
    q.Parameters.ParamByName(QStringLiteral("StaffCode")).Value = edtBeautyCode->text().trimmed();
    q.OpenSized();
    // The name is stored with the trial in a column of 10 bytes.
    edtBeauty->setText(q.Eof() ? QString()
                               : Gbk::leftBytes(q.FieldByName(QStringLiteral("StaffName")).AsString(), NameWidth));
    return true;
}

bool TfrmTryOutLr::acceptGood()
{
    if (edtGoodsCode->text().trimmed().isEmpty()) {
        edtGoodsName->clear();
        return true;
    }
    const QString org = edtGrpCode->text().trimmed();
    if (!CheckGood(org)) {
        edtGoodsCode->clear();
        edtGoodsName->clear();
        FocusControl(edtGoodsCode);
        return false;
    }
    if (recordsOwn(org, edtGoodsCode->text().trimmed(), m_record.PluCode)) {
        edtGoodsName->setText(m_record.PluName);
        return true;
    }
    TQorAdoQry q(GetSharedConnection());
    q.SQL << QStringLiteral("Select D.PluName from drawForm F,drawDetail D ")
          << QStringLiteral(" Where F.DrawNo = D.DrawNo and F.OrgCode = :OrgCode and F.BillType  ='1' "
                            "and F.RzDate<>'' and F.RzDate is not null")
          << QStringLiteral("and PluCode =:PluCode");
    q.Parameters.ParamByName(QStringLiteral("OrgCode")).Value = org;
    q.Parameters.ParamByName(QStringLiteral("PluCode")).Value = edtGoodsCode->text().trimmed();
    q.OpenSized();
    edtGoodsName->setText(q.Eof() ? QString() : q.FieldByName(QStringLiteral("PluName")).AsString());
    return true;
}

// --- leaving the code boxes --------------------------------------------------------------------

void TfrmTryOutLr::edtGrpCodeExit(QObject*) { CheckOrganisation(); }

void TfrmTryOutLr::edtBeautyCodeExit(QObject*)
{
    QWidget* next = QApplication::focusWidget();
    if (next == btnClose) return;
    if (edtBeautyCode->text().trimmed().isEmpty()) {
        edtBeauty->clear();
        return;
    }
    if (next == btnCancel) return;
    acceptAdvisor();
}

void TfrmTryOutLr::edtGoodsCodeExit(QObject*)
{
    QWidget* next = QApplication::focusWidget();
    if (next == btnClose) return;
    if (edtGoodsCode->text().trimmed().isEmpty()) {
        edtGoodsName->clear();
        return;
    }
    if (next == btnCancel) return;
    acceptGood();
}

void TfrmTryOutLr::edtCodeKeyPress(QLineEdit* sender, QKeyEvent* key, bool& handled)
{
    if (sender != edtBeautyCode && sender != edtGoodsCode) return;
    if (!edtGrpCode->text().trimmed().isEmpty() || !typesText(key)) return;
    handled = true;
    ShowWarningMsg(QStringLiteral("请首先输入组织。"));
    // The box is left for the organisation: its own check has nothing to check against yet.
    SetOnExit(sender, {});
    FocusControl(edtGrpCode);
    if (sender == edtBeautyCode)
        SetOnExit(edtBeautyCode, [this] { edtBeautyCodeExit(edtBeautyCode); });
    else
        SetOnExit(edtGoodsCode, [this] { edtGoodsCodeExit(edtGoodsCode); });
}

// --- look-ups --------------------------------------------------------------------------------

void TfrmTryOutLr::btnOrgClick(QObject*)
{
    const QString code = PickFromGrid(GetSharedConnection(),
                                      QStringLiteral("SubShop Where ") + QStringLiteral("OrgType<>'2' ") +
                                          QStringLiteral("and IsDbDeploy ='1' "),
                                      QStringLiteral("OrgCode|OrgName"), QStringLiteral("组织编码|组织名称"))
                             .trimmed();
    if (code.isEmpty()) {
        edtGrpName->clear();
        return;
    }
    if (code != CurrentOrg) recheckForOrganisation(code);
    CurrentOrg = code;
    edtGrpCode->setText(code);
    // Leaving edtGrpCode fills the name; from any other box the name is filled here, so that the
    // box never shows the previous organisation's name beside the new code.
    if (QApplication::focusWidget() != edtGrpCode) CheckOrganisation();
    FocusControl(edtBeautyCode);
}

void TfrmTryOutLr::btnBeautyClick(QObject*)
{
    const QString org = edtGrpCode->text().trimmed();
    if (org.isEmpty()) {
        ShowWarningMsg(QStringLiteral("请首先录入组织。"));
        return;
    }
    const QString C = clerk();
    const QString picked = PickFromGridMultiLine(
        GetSharedConnection(),
        QStringLiteral("Staffs S,XtUserSub X, UserOrg O") +
            QStringLiteral(" Where X.UGrpCode ='01' and S.StaffCode = X.StaffCode and S.StaffCode = O.StaffCode "
                           "and O.OrgCode = '") +
            EscapeQuotes(org) + QStringLiteral("' "),
        QStringLiteral("S.StaffCode|S.StaffName"), C + QStringLiteral("编码|") + C + QStringLiteral("姓名"), 2);
    if (picked.isEmpty()) return;
    edtBeautyCode->setText(SplitLeftRight(picked, QStringLiteral("+"), QStringLiteral("L")));
    edtBeauty->setText(Gbk::leftBytes(SplitLeftRight(picked, QStringLiteral("+"), QStringLiteral("R")), NameWidth));
    FocusControl(edtGoodsCode);
}

void TfrmTryOutLr::btnGoodsClick(QObject*)
{
    const QString org = edtGrpCode->text().trimmed();
    const QString picked = PickFromGridMultiLine(
        GetSharedConnection(),
        QStringLiteral("DrawForm F,DrawDetail D ") + QStringLiteral(" Where F.DrawNo = D.DrawNo and F.OrgCode = '") +
            EscapeQuotes(org) +
            QStringLiteral("' and F.BillType  ='1' and F.RzDate<>'' and F.RzDate is not null "),
        QStringLiteral("D.PluCode|D.PluName"), QStringLiteral("试用品编码|试用品名称"), 2);
    if (picked.isEmpty()) return;
    edtGoodsCode->setText(SplitLeftRight(picked, QStringLiteral("+"), QStringLiteral("L")));
    edtGoodsName->setText(SplitLeftRight(picked, QStringLiteral("+"), QStringLiteral("R")));
    FocusControl(cmbResult);
}

// --- confirm, cancel, close ----------------------------------------------------------------------

void TfrmTryOutLr::btnConfirmClick(QObject*)
{
    const QString C = clerk();
    if (!UIsShop()) {
        if (edtGrpCode->text().trimmed().isEmpty()) {
            ShowWarningMsg(QStringLiteral("请输入组织号！"));
            FocusControl(edtGrpCode);
            return;
        }
        // A path that skipped the box's exit check must not save an unchecked organisation; the
        // edited record's own organisation was checked when the record was made.
        const bool own = EditMode && m_haveRecord && edtGrpCode->text().trimmed() == m_record.OrgCode.trimmed();
        if (!own && !CheckOrganisation()) return;
    }
    if (edtBeautyCode->text().trimmed().isEmpty()) {
        ShowWarningMsg(QStringLiteral("请输入") + C + QStringLiteral("！"));
        FocusControl(edtBeautyCode);
        return;
    }
    if (edtGoodsCode->text().trimmed().isEmpty()) {
        ShowWarningMsg(QStringLiteral("请输入试用品编码！"));
        FocusControl(edtGoodsCode);
        return;
    }
    if (cmbResult->currentIndex() < 0) {
        ShowWarningMsg(QStringLiteral("请选择试用结果！"));
        FocusControl(cmbResult);
        return;
    }
    // A remark loaded with an old record may not fit the column or the code page: say so here
    // rather than fail on the server.
    const QString remark = edtRemark->text();
    if (Gbk::byteLength(remark) > RemarkWidth) {
        ShowWarningMsg(QStringLiteral("评价超过最大长度（%1字节），请修改后再保存！").arg(RemarkWidth));
        FocusControl(edtRemark);
        return;
    }
    if (!Gbk::canEncode(remark)) {
        ShowWarningMsg(QStringLiteral("评价中有不能保存的字符，请修改后再保存！"));
        FocusControl(edtRemark);
        return;
    }
    // The same for the advisor and the good.
    if (!acceptAdvisor() || !acceptGood()) return;

    if (!EditMode) {
        const QDateTime now = clockNow();
        BookDate = now.toString(QStringLiteral("yyyy-MM-dd"));
        BookTime = now.toString(QStringLiteral("HH:mm:ss"));
    }
    if (!save()) return;
    reloadOpener();
    if (EditMode) {
        close();
        return;
    }
    edtGoodsCode->clear();
    edtGoodsName->clear();
    FocusControl(edtGoodsCode);
}

// The duplicate check and the write, in one transaction. True when the trial was stored; every
// failure has been reported to the user (the entry stays as it is).
bool TfrmTryOutLr::save()
{
    const QString org = edtGrpCode->text().trimmed();
    const QString plu = edtGoodsCode->text().trimmed();
    // In edit mode the record is addressed by its original key; in add mode nothing is excluded.
    const QString oldOrg = EditMode ? m_record.OrgCode : QString();
    const QString oldPlu = EditMode ? OldPluCode : QString();

    bool duplicate = false;
    bool failed = false;
    QString failure;
    try {
        if (!qryTryOut) qryTryOut = std::make_unique<TQorAdoQry>();
        TQorAdoQry& q = *qryTryOut;
        q.Close();
        q.setConnection(GetSharedConnection());
        q.SQL.clear();
        q.Parameters.Clear();
        DbTransaction tx(q.connection());

        q.SQL << QStringLiteral("select OrgCode from TryOutBK")
              << QStringLiteral(" where BookDate=:BookDate and BookTime=:BookTime")
              << QStringLiteral(" and OrgCode=:OrgCode and PluCode=:PluCode")
              << QStringLiteral("and not (OrgCode=:OldOrgCode and PluCode=:OldPluCode)");
        q.Parameters.ParamByName(QStringLiteral("BookDate")).Value = BookDate;
        q.Parameters.ParamByName(QStringLiteral("BookTime")).Value = BookTime;
        q.Parameters.ParamByName(QStringLiteral("OrgCode")).Value = org;
        q.Parameters.ParamByName(QStringLiteral("PluCode")).Value = plu;
        q.Parameters.ParamByName(QStringLiteral("OldOrgCode")).Value = oldOrg;
        q.Parameters.ParamByName(QStringLiteral("OldPluCode")).Value = oldPlu;
        q.OpenSized();
        duplicate = !q.Eof();
        q.Close();

        if (!duplicate) {
            q.SQL.clear();
            q.Parameters.Clear();
            if (!EditMode) {
                q.SQL << QStringLiteral("insert into TryOutBK(OrgCode,PluCode,Result,Remark,ZdrCode,ZdrName,BookDate,"
                                        "BookTime,UserCode,UserName) ")
                      << QStringLiteral("values(:OrgCode,:PluCode,:Result,:Remark,:ZdrCode,:ZdrName,:BookDate,"
                                        ":BookTime,:UserCode,:UserName) ");
            } else {
                // The organisation is written too: advisor and good were checked against the one
                // shown.
                q.SQL << QStringLiteral("update TryOutBK set OrgCode=:OrgCode,PluCode=:PluCode,Result=:Result,"
                                        "Remark=:Remark,ZdrCode=:ZdrCode,ZdrName=:ZdrName ")
                      << QStringLiteral("where OrgCode=:OldOrgCode and BookDate=:BookDate and BookTime=:BookTime "
                                        "and PluCode=:OldPluCode");
            }
            q.Parameters.ParamByName(QStringLiteral("OrgCode")).Value = org;
            q.Parameters.ParamByName(QStringLiteral("PluCode")).Value = plu;
            q.Parameters.ParamByName(QStringLiteral("Result")).Value = QString::number(cmbResult->currentIndex());
            q.Parameters.ParamByName(QStringLiteral("Remark")).Value = edtRemark->text();
            q.Parameters.ParamByName(QStringLiteral("ZdrCode")).Value = edtBeautyCode->text().trimmed();
            q.Parameters.ParamByName(QStringLiteral("ZdrName")).Value = Gbk::leftBytes(edtBeauty->text(), NameWidth);
            q.Parameters.ParamByName(QStringLiteral("BookDate")).Value = BookDate;
            q.Parameters.ParamByName(QStringLiteral("BookTime")).Value = BookTime;
            if (!EditMode) {
                q.Parameters.ParamByName(QStringLiteral("UserCode")).Value = CurUserCode();
                q.Parameters.ParamByName(QStringLiteral("UserName")).Value = Gbk::leftBytes(CurUserName(), NameWidth);
            } else {
                q.Parameters.ParamByName(QStringLiteral("OldOrgCode")).Value = oldOrg;
                q.Parameters.ParamByName(QStringLiteral("OldPluCode")).Value = oldPlu;
            }
            FixParamSizes(q);
            const int rows = ExecChecked(q);
            if (EditMode && rows == 0) {
                failed = true;
                failure = QStringLiteral("修改试用记录失败：记录（%1 %2 %3 %4）已被删除或已被其他站点修改。")
                              .arg(BookDate, BookTime, oldOrg, oldPlu);
            } else if (EditMode && rows > 1) {
                failed = true;
                failure = QStringLiteral("修改试用记录失败：条件（%1 %2 %3 %4）对应 %5 条记录，修改已撤销。")
                              .arg(BookDate, BookTime, oldOrg, oldPlu)
                              .arg(rows);
            } else {
                tx.commit();
            }
        }
    } catch (const DbError& e) {
        // Another station stored the same key meanwhile: the table's unique key refused it.
        if (e.isUniqueViolation()) {
            duplicate = true;
        } else {
            failed = true;
            failure = e.message();
        }
    } catch (...) {
        failed = true;
        failure = currentExceptionMessage();
    }
    if (qryTryOut) qryTryOut->Close();

    // Messages only after the transaction has ended: no lock is held while a box is open.
    if (duplicate) {
        ShowWarningMsg(QStringLiteral("当前记录已存在。"));
        return false;
    }
    if (failed) {
        LogException(failure);
        ShowErrorMsg(SaveFailedText);
        FocusControl(edtGoodsCode);
        return false;
    }
    return true;
}

void TfrmTryOutLr::reloadOpener()
{
    TTryOutRefresh* list = opener();
    if (!list) return;
    // The trial is stored; a list that cannot reload keeps the entry going.
    try {
        list->LoadData();
    } catch (...) {
        LogCurrentException();
    }
}

void TfrmTryOutLr::btnCancelClick(QObject*)
{
    if (!EditMode) {
        showSteps();
        return;
    }
    loadRecord();
}

void TfrmTryOutLr::btnCloseClick(QObject*) { close(); }

void TfrmTryOutLr::FormClose(QObject* sender, TCloseAction& action)
{
    if (qryTryOut) {
        qryTryOut->Close();
        qryTryOut.reset();
    }
    TfrmBase::FormClose(sender, action);
}

// --- opening ---------------------------------------------------------------------------------

void ShowTryOutEntry(QWidget* owner, TTryOutRefresh* opener, const TTryOutRecord* record)
{
    ModalDialog<TfrmTryOutLr> f(TfrmBase::create<TfrmTryOutLr>(owner));
    f->EditMode = record != nullptr;
    if (record) f->SetRecord(*record);
    f->setOpener(opener);
    f.exec();
}

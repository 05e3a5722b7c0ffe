#include "host/app/SessionDialog.h"

#include "host/include/Appres.h"
#include "platform/db/Db.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Code and name of every row of a two-column statement, as "code-name" items keyed by the code.
void fillCodes(QComboBox* box, TADOConnection& conn, const QString& sql)
{
    TADOQuery q(&conn);
    q.SQL << sql;
    q.Open();
    while (!q.Eof()) {
        const QString code = q.Field(0).AsString().trimmed();
        box->addItem(code + u'-' + q.Field(1).AsString().trimmed(), code);
        q.Next();
    }
}

void selectCode(QComboBox* box, const QString& code)
{
    const int i = box->findData(code);
    if (i >= 0) box->setCurrentIndex(i);
}

} // namespace

SessionDialog::SessionDialog(TADOConnection& conn, const QorSession& current, QWidget* parent)
    : QDialog(parent), m_conn(conn), m_base(current), m_session(current)
{
    setObjectName(u"frmSession"_s);
    setWindowTitle(u"切换用户/站点"_s);

    cmbUser = new QComboBox(this);
    cmbUser->setObjectName(u"cmbUser"_s);
    fillCodes(cmbUser, conn, u"select StaffCode, StaffName from Staffs order by StaffCode"_s);
    selectCode(cmbUser, current.userCode);

    rbCenter = new QRadioButton(u"总部站点"_s, this);
    rbCenter->setObjectName(u"rbCenter"_s);
    rbShop = new QRadioButton(u"门店站点"_s, this);
    rbShop->setObjectName(u"rbShop"_s);
    cmbShop = new QComboBox(this);
    cmbShop->setObjectName(u"cmbShop"_s);
    fillCodes(cmbShop, conn, u"select OrgCode, OrgName from SubShop order by OrgCode"_s);
    (current.isCenter ? rbCenter : rbShop)->setChecked(true);
    if (!current.isCenter) selectCode(cmbShop, current.branchNo);

    cmbVersion = new QComboBox(this);
    cmbVersion->setObjectName(u"cmbVersion"_s);
    cmbVersion->addItems({u"0"_s, u"1"_s, u"2"_s});
    cmbVersion->setCurrentIndex(std::max(0, cmbVersion->findText(current.version)));

    edtStation = new QLineEdit(current.stationId, this);
    edtStation->setObjectName(u"edtStation"_s);
    edtStation->setMaxLength(30);

    btnOK = new QPushButton(u"确定"_s, this);
    btnOK->setObjectName(u"btnOK"_s);
    btnOK->setDefault(true);
    btnCancel = new QPushButton(u"取消"_s, this);
    btnCancel->setObjectName(u"btnCancel"_s);

    auto* kind = new QHBoxLayout;
    kind->addWidget(rbCenter);
    kind->addWidget(rbShop);
    kind->addWidget(cmbShop, 1);
    auto* version = new QHBoxLayout;
    version->addWidget(cmbVersion);
    version->addWidget(new QLabel(u"（0 为单店版）"_s, this), 1);
    auto* form = new QFormLayout;
    form->addRow(u"用户："_s, cmbUser);
    form->addRow(u"站点："_s, kind);
    form->addRow(u"版本："_s, version);
    form->addRow(u"工作站："_s, edtStation);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* all = new QVBoxLayout(this);
    all->addLayout(form);
    all->addLayout(buttons);

    connect(rbShop, &QRadioButton::toggled, this, [this] { stationKindChanged(); });
    connect(btnOK, &QPushButton::clicked, this, [this] { guard([this] { btnOKClick(); }, this); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    stationKindChanged();
    resize(440, sizeHint().height());
}

void SessionDialog::stationKindChanged() { cmbShop->setEnabled(rbShop->isChecked()); }

void SessionDialog::btnOKClick()
{
    auto warn = [this](const QString& text, QWidget* focus) {
        promptMessage(UGetProductName_CH(), text, MsgFlags::OK | MsgFlags::IconWarning, this);
        focus->setFocus();
    };
    if (cmbUser->currentIndex() < 0) return warn(u"请选择用户！"_s, cmbUser);
    if (rbShop->isChecked() && cmbShop->currentIndex() < 0) return warn(u"请选择门店！"_s, cmbShop);

    // The switches the session file set stay; user, station and edition are chosen here.
    QorSession s = m_base;
    s.userCode = cmbUser->currentData().toString();
    s.userName.clear();
    s.isCenter = rbCenter->isChecked();
    s.branchNo = s.isCenter ? QString() : cmbShop->currentData().toString();
    s.shopName.clear();
    s.version = cmbVersion->currentText();
    s.stationId = edtStation->text().trimmed();
    if (!completeSession(s, m_conn)) return warn(u"用户 %1 不存在！"_s.arg(s.userCode), cmbUser);
    m_session = s;
    accept();
}

#include "chart/GraphSetFmt.h"

#include "ui_GraphSetFmt.h"

#include "platform/text/Gbk.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QLineEdit>

#include <limits>

using namespace Qt::StringLiterals;

TfrmGraphSetFmt::TfrmGraphSetFmt(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmGraphSetFmt>())
{
    ui->setupUi(this);
    QFont f = font();
    f.setFamilies({u"宋体"_s, u"SimSun"_s, u"AR PL UMing CN"_s});
    f.setPointSize(9);
    setFont(f);
    // Single border: the client area keeps its size.
    setFixedSize(369, 364);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    cboPic = ui->cboPic;
    edtTitle = ui->edtTitle;
    edtXCaption = ui->edtXCaption;
    edtYCaption = ui->edtYCaption;
    edtXField = ui->edtXField;
    edtYField = ui->edtYField;
    chkTV = ui->chkTV;
    chkCV = ui->chkCV;
    chkXV = ui->chkXV;
    chkYV = ui->chkYV;
    chk3d = ui->chk3d;
    btnOK = ui->btnOK;
    btnClose = ui->btnClose;
    // The captions are stored in the GBK settings file: a character it cannot hold is refused at
    // the box, with a tip, instead of coming back as "?". No width beyond that.
    for (QLineEdit* caption : {edtXCaption, edtYCaption})
        caption->setValidator(new GbkLengthValidator(std::numeric_limits<int>::max() / 2, caption));

    m_lgPosition = new QButtonGroup(this);
    m_lgPosition->setObjectName(u"rgrpLgPositionButtons"_s);
    m_lgPosition->addButton(ui->rbLgLeft, 0);
    m_lgPosition->addButton(ui->rbLgRight, 1);
    m_lgPosition->addButton(ui->rbLgTop, 2);
    m_lgPosition->addButton(ui->rbLgBottom, 3);

    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmGraphSetFmt::~TfrmGraphSetFmt() = default;

int TfrmGraphSetFmt::LgPosition() const
{
    const int id = m_lgPosition->checkedId();
    return id < 0 ? 1 : id;
}

void TfrmGraphSetFmt::setLgPosition(int index)
{
    if (QAbstractButton* b = m_lgPosition->button(index)) b->setChecked(true);
}

void TfrmGraphSetFmt::keyPressEvent(QKeyEvent* e)
{
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (enter && e->modifiers() == Qt::NoModifier && !qobject_cast<QPushButton*>(focusWidget())) {
        focusNextChild();
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

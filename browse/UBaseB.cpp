#include "browse/UBaseB.h"

#include "browse/BrowseKit.h"
#include "framework/URightCtl.h"
#include "host/include/PubProcDll.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLayout>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>

using namespace Qt::StringLiterals;

TfrmBaseB::TfrmBaseB(QWidget* parent) : TfrmBase(parent)
{
    setObjectName(u"frmBaseB"_s);

    using B = TfrmBaseB;
    actOther = addFormAction("actOther", "Operate", u"其他"_s, QString(), 28, QKeySequence(), 0, &B::actOtherExecute);
    actImportExcel = addFormAction("actImportExcel", "Operate", u"Excel数据导入"_s, QString(), -1, QKeySequence(), 0,
                                   &B::actImportExcelExecute);
    const int exportImages[] = {24, 25, 26};
    QAction* exports[] = {actConvertToExcel, actConvertToText, actConvertToHtml};
    for (int i = 0; i < 3; ++i) {
        exports[i]->setProperty("ImageIndex", exportImages[i]);
        exports[i]->setIcon(baseImage(exportImages[i]));
    }
    for (QAction* a : {actFirst, actPrior, actNext, actLast}) a->setVisible(false);

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    CoolBar1 = new QFrame(this);
    CoolBar1->setObjectName(u"CoolBar1"_s);
    auto* coolLayout = new QHBoxLayout(CoolBar1);
    coolLayout->setContentsMargins(2, 2, 2, 2);
    ToolBar1 = makeBrowseToolBar(CoolBar1, "ToolBar1");
    coolLayout->addWidget(ToolBar1);
    m_layout->addWidget(CoolBar1);

    tbtnClose = addToolButton(ToolBar1, "tbtnClose", actClose, u" 关闭 "_s);
    tbtnNone1 = addToolSeparator(ToolBar1, "tbtnNone1");
    tbtnAdd = addToolButton(ToolBar1, "tbtnAdd", actAdd, u"增加"_s);
    tbtnEdit = addToolButton(ToolBar1, "tbtnEdit", actEdit, u"修改"_s);
    tbtnDelete = addToolButton(ToolBar1, "tbtnDelete", actDelete, u"删除"_s);
    tbtnSave = addToolButton(ToolBar1, "tbtnSave", actSave, u"保存"_s);
    tbtnCancel = addToolButton(ToolBar1, "tbtnCancel", actCancel, u"取消"_s);
    tbtnNone2 = addToolSeparator(ToolBar1, "tbtnNone2");
    tbtnPrint = addToolButton(ToolBar1, "tbtnPrint", actPrint, u"打印"_s, DropDownPrint);
    tbtnPreview = addToolButton(ToolBar1, "tbtnPreview", actPreview, u"预览"_s, DropDownPreview);
    tbtnNone4 = addToolSeparator(ToolBar1, "tbtnNone4");
    tbtnQuery = addToolButton(ToolBar1, "tbtnQuery", actQuery, u"条件"_s);

    popBaseB = new QMenu(this);
    popBaseB->setObjectName(u"popBaseB"_s);
    const QKeySequence ctrlA(Qt::CTRL | Qt::Key_A), ctrlE(Qt::CTRL | Qt::Key_E), ctrlD(Qt::CTRL | Qt::Key_D);
    addMenuEntry(popBaseB, "pmnAdd", actAdd, {}, -1, &ctrlA, this);
    addMenuEntry(popBaseB, "pmnEdit", actEdit, {}, -1, &ctrlE, this);
    addMenuEntry(popBaseB, "pmnDelete", actDelete, {}, -1, &ctrlD, this);
    addMenuEntry(popBaseB, "pmnSave", actSave);
    addMenuEntry(popBaseB, "pmnCancel", actCancel);
    addMenuSeparator(popBaseB, "N1");
    QMenu* convert = addSubMenuEntry(popBaseB, "pmnConvert", actConvert);
    addMenuEntry(convert, "pmnConvertToExcel", actConvertToExcel);
    addMenuEntry(convert, "pmnConvertToText", actConvertToText, u"文本格式(&T) ..."_s);
    addMenuEntry(convert, "pmnConvertToHtml", actConvertToHtml);
    addMenuSeparator(popBaseB, "N2");
    addMenuEntry(popBaseB, "pmnPrnFmtDesign", actPrnFmtDesign, {}, 27);
    addMenuEntry(popBaseB, "pmnPreview", actPreview, u"打印预览(&V)"_s);
    addMenuEntry(popBaseB, "pmnPrint", actPrint);
    addMenuSeparator(popBaseB, "N3");
    addMenuEntry(popBaseB, "pmnQuery", actQuery, u"查询条件(&Q) ..."_s);
    addMenuEntry(popBaseB, "pmnRefresh", actRefresh);
    PopOtherOp = new QMenu(this);
    PopOtherOp->setObjectName(u"PopOtherOp"_s);
}

TfrmBaseB::~TfrmBaseB() = default;

void TfrmBaseB::usePopupMenu(QWidget* control)
{
    control->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(control, &QWidget::customContextMenuRequested, popBaseB,
            [this, control](const QPoint& at) { popBaseB->popup(control->mapToGlobal(at)); });
}

void TfrmBaseB::FormCreate(QObject* sender)
{
    TfrmBase::FormCreate(sender);
    EditState = 3;
}

void TfrmBaseB::FormShow(QObject* sender)
{
    const std::exception_ptr baseError = showReadingRights(*this, [&] { TfrmBase::FormShow(sender); });
    actRefresh->setEnabled(RightQuery);
    actOther->setEnabled(true);
    // Buttons hidden or shown above are laid out anew now, not at the next layout pass.
    if (QLayout* bar = ToolBar1->layout()) bar->activate();
    if (baseError) std::rethrow_exception(baseError);
}

void TfrmBaseB::actFirstExecute(QObject* sender)
{
    if (EditState == 3) TfrmBase::actFirstExecute(sender);
}

void TfrmBaseB::actPriorExecute(QObject* sender)
{
    if (EditState == 3) TfrmBase::actPriorExecute(sender);
}

void TfrmBaseB::actNextExecute(QObject* sender)
{
    if (EditState == 3) TfrmBase::actNextExecute(sender);
}

void TfrmBaseB::actLastExecute(QObject* sender)
{
    if (EditState == 3) TfrmBase::actLastExecute(sender);
}

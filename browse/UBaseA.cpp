#include "browse/UBaseA.h"

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

TfrmBaseA::TfrmBaseA(QWidget* parent) : TfrmBase(parent)
{
    setObjectName(u"frmBaseA"_s);
    for (QAction* a : {actFirst, actPrior, actNext, actLast}) a->setVisible(false);

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    CoolBar2 = new QFrame(this);
    CoolBar2->setObjectName(u"CoolBar2"_s);
    auto* coolLayout = new QHBoxLayout(CoolBar2);
    coolLayout->setContentsMargins(2, 2, 2, 2);
    ToolBar1 = makeBrowseToolBar(CoolBar2, "ToolBar1");
    coolLayout->addWidget(ToolBar1);
    m_layout->addWidget(CoolBar2);

    tbtnClose = addToolButton(ToolBar1, "tbtnClose", actClose, u" 关闭 "_s);
    addToolSeparator(ToolBar1, "ToolButton1");
    tbtnColumn = addToolButton(ToolBar1, "tbtnColumn", actColumn, u"选择列"_s);
    tbtnQuery = addToolButton(ToolBar1, "tbtnQuery", actQuery, u"条件"_s);
    tbtnFilt = addToolButton(ToolBar1, "tbtnFilt", actFilt, u"过滤"_s);
    tbtnSort = addToolButton(ToolBar1, "tbtnSort", actSort, u"排序"_s);
    addToolSeparator(ToolBar1, "ToolButton2");
    tbtnPrint = addToolButton(ToolBar1, "tbtnPrint", actPrint, u"打印"_s, DropDownPrint);
    tbtnPreview = addToolButton(ToolBar1, "tbtnPreview", actPreview, u"预览"_s, DropDownPreview);
    addToolSeparator(ToolBar1, "ToolButton3");
    tbtnGraph = addToolButton(ToolBar1, "tbtnGraph", actGraph, u"图形"_s);

    popBaseA = new QMenu(this);
    popBaseA->setObjectName(u"popBaseA"_s);
    const QKeySequence ctrlA(Qt::CTRL | Qt::Key_A), ctrlE(Qt::CTRL | Qt::Key_E), ctrlD(Qt::CTRL | Qt::Key_D);
    addMenuEntry(popBaseA, "pmnAdd", actAdd, {}, -1, &ctrlA, this);
    addMenuEntry(popBaseA, "pmnEdit", actEdit, {}, -1, &ctrlE, this);
    addMenuEntry(popBaseA, "pmnDelete", actDelete, {}, -1, &ctrlD, this);
    addMenuSeparator(popBaseA, "N1");
    pmnConvert = addSubMenuEntry(popBaseA, "actConvert1", actConvert);
    addMenuEntry(pmnConvert, "pmnConvertToExcel", actConvertToExcel, {}, 24);
    addMenuEntry(pmnConvert, "pmnConvertToText", actConvertToText, {}, 25);
    addMenuEntry(pmnConvert, "pmnConvertToHtml", actConvertToHtml, {}, 26);
    addMenuSeparator(popBaseA, "N2");
    addMenuEntry(popBaseA, "pmnPrnFmtDesign", actPrnFmtDesign, {}, 27);
    addMenuEntry(popBaseA, "pmnPreview", actPreview, u"打印预览(&V)"_s);
    addMenuEntry(popBaseA, "pmnPrint", actPrint);
    addMenuSeparator(popBaseA, "N3");
    addMenuEntry(popBaseA, "pmnColumn", actColumn, u"选择列(&C) ..."_s);
    addMenuEntry(popBaseA, "pmnCalcField", ActSetCalc);
    addMenuEntry(popBaseA, "pmnQuery", actQuery, u"查询条件(&Q) ..."_s);
    addMenuEntry(popBaseA, "pmnFilt", actFilt, u"过滤(&F) ..."_s);
    addMenuEntry(popBaseA, "pmnSort", actSort, u"排序(&O) ..."_s);
    addMenuEntry(popBaseA, "pmnFind", actFind);
}

TfrmBaseA::~TfrmBaseA() = default;

void TfrmBaseA::usePopupMenu(QWidget* control)
{
    control->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(control, &QWidget::customContextMenuRequested, popBaseA,
            [this, control](const QPoint& at) { popBaseA->popup(control->mapToGlobal(at)); });
}

void TfrmBaseA::FormShow(QObject* sender)
{
    const std::exception_ptr baseError = showReadingRights(*this, [&] { TfrmBase::FormShow(sender); });
    actFilt->setEnabled(true);
    // Sorting is done by clicking column titles.
    actSort->setEnabled(false);
    actSort->setVisible(false);
    actColumn->setEnabled(true);
    ActSetCalc->setEnabled(true);
    actQuery->setEnabled(RightQuery);
    actRefresh->setEnabled(RightQuery);
    // Buttons hidden or shown above are laid out anew now, not at the next layout pass.
    if (QLayout* bar = ToolBar1->layout()) bar->activate();
    if (baseError) std::rethrow_exception(baseError);
}

void TfrmBaseA::LoadData() { TfrmBase::LoadData(); }

#include "host/commPrint/PrnDesigner.h"

#include "host/commPrint/PrnRender.h"
#include "host/include/PubProcDll.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/Field.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace commprint {

namespace {

// The preview is drawn at this resolution and scaled into the pane.
constexpr double kPreviewDpi = 96;

const struct {
    QPageSize::PageSizeId id;
    const char16_t* name;
} kPageSizes[] = {{QPageSize::A4, u"A4"}, {QPageSize::A3, u"A3"}, {QPageSize::A5, u"A5"},
                  {QPageSize::B5, u"B5"}, {QPageSize::Letter, u"Letter"}, {QPageSize::Legal, u"Legal"}};
const char16_t* const kAlignCaptions[] = {u"自动", u"左对齐", u"居中", u"右对齐"};
const char16_t* const kFooterCaptions[] = {u"无", u"合计", u"计数", u"平均"};

QDoubleSpinBox* mmBox(const QString& name, double max)
{
    auto* b = new QDoubleSpinBox;
    b->setObjectName(name);
    b->setRange(0, max);
    b->setDecimals(1);
    b->setSuffix(u" 毫米"_s);
    return b;
}

QString fieldCaption(const TField* f) { return f->DisplayLabel().trimmed().replace(u'|', u'-'); }

} // namespace

// --- preview pane --------------------------------------------------------------------------------

PrnPreviewPane::PrnPreviewPane(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"pnlPreview"_s);
    setMinimumSize(240, 320);
}

void PrnPreviewPane::setPage(const QImage& page)
{
    m_page = page;
    update();
}

void PrnPreviewPane::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Dark));
    if (m_page.isNull()) return;
    const QSize fit = m_page.size().scaled(size() - QSize(16, 16), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - fit.width()) / 2, (height() - fit.height()) / 2), fit);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, m_page);
    p.setPen(Qt::black);
    p.drawRect(target.adjusted(0, 0, -1, -1));
}

// --- the designer --------------------------------------------------------------------------------

TfrmPrnDesigner::TfrmPrnDesigner(TADOConnection& conn, const PrnLayoutKey& key, TClientDataSet* ds,
                                 QWidget* parent)
    : QDialog(parent), m_conn(conn), m_key(key), m_ds(ds)
{
    setObjectName(u"frmPrnDesigner"_s);
    setWindowTitle(u"打印格式设计 - %1 第%2号格式"_s.arg(key.prnCode).arg(key.serialNo));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    m_previewTimer.setSingleShot(true);
    m_previewTimer.setInterval(0);
    connect(&m_previewTimer, &QTimer::timeout, this, [this] { guard([this] { refreshPreview(); }, this); });
    buildControls();

    std::optional<PrnLayout> stored = readLayout(m_conn, m_key);
    showLayout(stored ? *stored : plainLayout(m_ds));
    refreshPreview();
}

TfrmPrnDesigner::~TfrmPrnDesigner() = default;

void TfrmPrnDesigner::buildControls()
{
    // Page set-up.
    auto* page = new QGroupBox(u"页面设置"_s);
    cmbPageSize = new QComboBox;
    cmbPageSize->setObjectName(u"cmbPageSize"_s);
    for (const auto& p : kPageSizes) cmbPageSize->addItem(QString::fromUtf16(p.name), int(p.id));
    cmbOrientation = new QComboBox;
    cmbOrientation->setObjectName(u"cmbOrientation"_s);
    cmbOrientation->addItem(u"纵向"_s, int(QPageLayout::Portrait));
    cmbOrientation->addItem(u"横向"_s, int(QPageLayout::Landscape));
    spnMarginLeft = mmBox(u"spnMarginLeft"_s, 100);
    spnMarginTop = mmBox(u"spnMarginTop"_s, 100);
    spnMarginRight = mmBox(u"spnMarginRight"_s, 100);
    spnMarginBottom = mmBox(u"spnMarginBottom"_s, 100);
    spnFontSize = new QSpinBox;
    spnFontSize->setObjectName(u"spnFontSize"_s);
    spnFontSize->setRange(5, 36);
    spnFontSize->setSuffix(u" 磅"_s);
    auto* pageForm = new QGridLayout(page);
    pageForm->addWidget(new QLabel(u"纸张："_s), 0, 0);
    pageForm->addWidget(cmbPageSize, 0, 1);
    pageForm->addWidget(new QLabel(u"方向："_s), 0, 2);
    pageForm->addWidget(cmbOrientation, 0, 3);
    pageForm->addWidget(new QLabel(u"字号："_s), 0, 4);
    pageForm->addWidget(spnFontSize, 0, 5);
    pageForm->addWidget(new QLabel(u"左边距："_s), 1, 0);
    pageForm->addWidget(spnMarginLeft, 1, 1);
    pageForm->addWidget(new QLabel(u"右边距："_s), 1, 2);
    pageForm->addWidget(spnMarginRight, 1, 3);
    pageForm->addWidget(new QLabel(u"上边距："_s), 2, 0);
    pageForm->addWidget(spnMarginTop, 2, 1);
    pageForm->addWidget(new QLabel(u"下边距："_s), 2, 2);
    pageForm->addWidget(spnMarginBottom, 2, 3);

    // Title, header and footer.
    auto* texts = new QGroupBox(u"标题与页眉页脚（每行“左|中|右”）"_s);
    edtTitle = new QLineEdit;
    edtTitle->setObjectName(u"edtTitle"_s);
    mmoHeader = new QPlainTextEdit;
    mmoHeader->setObjectName(u"mmoHeader"_s);
    mmoFooter = new QPlainTextEdit;
    mmoFooter->setObjectName(u"mmoFooter"_s);
    for (QPlainTextEdit* m : {mmoHeader, mmoFooter}) {
        m->setTabChangesFocus(true);
        m->setFixedHeight(52);
    }
    cmbVariable = new QComboBox;
    cmbVariable->setObjectName(u"cmbVariable"_s);
    for (const PrnVariableInfo& v : variableList())
        cmbVariable->addItem(QString::fromUtf16(v.caption) + u"  "_s + QString::fromUtf16(v.token),
                             QString::fromUtf16(v.token));
    btnInsertVariable = new QPushButton(u"插入变量(&I)"_s);
    btnInsertVariable->setObjectName(u"btnInsertVariable"_s);
    btnInsertVariable->setFocusPolicy(Qt::NoFocus); // the text keeps its cursor
    auto* textForm = new QFormLayout(texts);
    textForm->addRow(u"标题："_s, edtTitle);
    textForm->addRow(u"页眉："_s, mmoHeader);
    textForm->addRow(u"页脚："_s, mmoFooter);
    auto* varRow = new QHBoxLayout;
    varRow->addWidget(cmbVariable, 1);
    varRow->addWidget(btnInsertVariable);
    textForm->addRow(u"变量："_s, varRow);

    // Columns.
    auto* cols = new QGroupBox(u"打印列（勾选要打印的列，顺序即打印顺序）"_s);
    tblColumns = new QTableWidget(0, ColCount);
    tblColumns->setObjectName(u"tblColumns"_s);
    tblColumns->setHorizontalHeaderLabels(
        {u"字段"_s, u"标题"_s, u"宽度"_s, u"对齐"_s, u"显示格式"_s, u"页脚"_s});
    tblColumns->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblColumns->setSelectionMode(QAbstractItemView::SingleSelection);
    tblColumns->verticalHeader()->setVisible(false);
    tblColumns->horizontalHeader()->setSectionResizeMode(ColCaption, QHeaderView::Stretch);
    tblColumns->setColumnWidth(ColField, 130);
    tblColumns->setColumnWidth(ColWidth, 76);
    tblColumns->setColumnWidth(ColAlign, 68);
    tblColumns->setColumnWidth(ColFormat, 72);
    tblColumns->setColumnWidth(ColFooter, 60);
    btnUp = new QPushButton(u"上移(&U)"_s);
    btnUp->setObjectName(u"btnUp"_s);
    btnDown = new QPushButton(u"下移(&D)"_s);
    btnDown->setObjectName(u"btnDown"_s);
    auto* colLayout = new QGridLayout(cols);
    colLayout->addWidget(tblColumns, 0, 0, 3, 1);
    colLayout->addWidget(btnUp, 0, 1);
    colLayout->addWidget(btnDown, 1, 1);

    // Grouping.
    auto* grp = new QGroupBox(u"分组"_s);
    cmbGroupField = new QComboBox;
    cmbGroupField->setObjectName(u"cmbGroupField"_s);
    cmbGroupField->addItem(u"<不分组>"_s, QString());
    if (m_ds)
        for (TField* f : m_ds->Fields()) cmbGroupField->addItem(fieldCaption(f), f->FieldName());
    chkGroupSubtotal = new QCheckBox(u"每组打印小计"_s);
    chkGroupSubtotal->setObjectName(u"chkGroupSubtotal"_s);
    auto* grpLayout = new QHBoxLayout(grp);
    grpLayout->addWidget(new QLabel(u"分组字段："_s));
    grpLayout->addWidget(cmbGroupField, 1);
    grpLayout->addWidget(chkGroupSubtotal);

    // Preview.
    auto* prev = new QGroupBox(u"预览"_s);
    pnlPreview = new PrnPreviewPane;
    spnPreviewPage = new QSpinBox;
    spnPreviewPage->setObjectName(u"spnPreviewPage"_s);
    spnPreviewPage->setRange(1, 1);
    spnPreviewPage->setPrefix(u"第 "_s);
    spnPreviewPage->setSuffix(u" 页"_s);
    lblPages = new QLabel;
    lblPages->setObjectName(u"lblPages"_s);
    auto* prevLayout = new QVBoxLayout(prev);
    prevLayout->addWidget(pnlPreview, 1);
    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(spnPreviewPage);
    pageRow->addWidget(lblPages, 1);
    prevLayout->addLayout(pageRow);

    btnSave = new QPushButton(u"保存(&S)"_s);
    btnSave->setObjectName(u"btnSave"_s);
    btnPreview = new QPushButton(u"打印预览(&V)..."_s);
    btnPreview->setObjectName(u"btnPreview"_s);
    btnCancel = new QPushButton(u"取消(&C)"_s);
    btnCancel->setObjectName(u"btnCancel"_s);
    btnSave->setAutoDefault(false);
    btnPreview->setAutoDefault(false);
    btnCancel->setAutoDefault(false);

    auto* left = new QVBoxLayout;
    left->addWidget(page);
    left->addWidget(texts);
    left->addWidget(cols, 1);
    left->addWidget(grp);
    auto* body = new QHBoxLayout;
    body->addLayout(left, 3);
    body->addWidget(prev, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnPreview);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    auto* top = new QVBoxLayout(this);
    top->addLayout(body, 1);
    top->addLayout(buttons);
    resize(1040, 700);

    // Every change redraws the preview once the change is complete.
    for (QObject* o : std::initializer_list<QObject*>{cmbPageSize, cmbOrientation, spnMarginLeft, spnMarginTop,
                                                      spnMarginRight, spnMarginBottom, spnFontSize, edtTitle,
                                                      mmoHeader, mmoFooter, cmbGroupField, chkGroupSubtotal,
                                                      spnPreviewPage})
        connectChange(o);
    connect(tblColumns, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (m_filling) return;
        readRowFromTable(item->row());
        schedulePreview();
    });
    connect(btnUp, &QPushButton::clicked, this, [this] { guard([this] { moveCurrentRow(-1); }, this); });
    connect(btnDown, &QPushButton::clicked, this, [this] { guard([this] { moveCurrentRow(1); }, this); });
    connect(btnSave, &QPushButton::clicked, this, [this] { guard([this] { btnSaveClick(); }, this); });
    connect(btnPreview, &QPushButton::clicked, this, [this] { guard([this] { btnPreviewClick(); }, this); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnInsertVariable, &QPushButton::clicked, this,
            [this] { guard([this] { btnInsertVariableClick(); }, this); });
    // Variables go into the text box last used.
    m_variableTarget = mmoHeader;
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now == edtTitle || now == mmoHeader || now == mmoFooter) m_variableTarget = now;
    });
}

void TfrmPrnDesigner::connectChange(QObject* o)
{
    const auto changed = [this] {
        if (!m_filling) schedulePreview();
    };
    if (auto* c = qobject_cast<QComboBox*>(o)) connect(c, &QComboBox::currentIndexChanged, this, changed);
    else if (auto* d = qobject_cast<QDoubleSpinBox*>(o)) connect(d, &QDoubleSpinBox::valueChanged, this, changed);
    else if (auto* s = qobject_cast<QSpinBox*>(o)) connect(s, &QSpinBox::valueChanged, this, changed);
    else if (auto* e = qobject_cast<QLineEdit*>(o)) connect(e, &QLineEdit::textChanged, this, changed);
    else if (auto* m = qobject_cast<QPlainTextEdit*>(o)) connect(m, &QPlainTextEdit::textChanged, this, changed);
    else if (auto* k = qobject_cast<QCheckBox*>(o)) connect(k, &QCheckBox::toggled, this, changed);
}

void TfrmPrnDesigner::schedulePreview() { m_previewTimer.start(); }

// --- layout <-> controls --------------------------------------------------------------------------

void TfrmPrnDesigner::showLayout(const PrnLayout& l)
{
    m_filling = true;
    cmbPageSize->setCurrentIndex(std::max(0, cmbPageSize->findData(int(l.pageSize))));
    cmbOrientation->setCurrentIndex(l.orientation == QPageLayout::Landscape ? 1 : 0);
    spnMarginLeft->setValue(l.marginLeftMm);
    spnMarginTop->setValue(l.marginTopMm);
    spnMarginRight->setValue(l.marginRightMm);
    spnMarginBottom->setValue(l.marginBottomMm);
    spnFontSize->setValue(l.fontPointSize);
    edtTitle->setText(l.title);
    mmoHeader->setPlainText(l.headerLines.join(u'\n'));
    mmoFooter->setPlainText(l.footerLines.join(u'\n'));
    cmbGroupField->setCurrentIndex(std::max(0, cmbGroupField->findData(l.groupField)));
    chkGroupSubtotal->setChecked(l.groupSubtotal);

    m_rows.clear();
    QStringList used;
    for (const PrnColumn& c : l.columns) {
        m_rows.append({true, c});
        used << c.field.toUpper();
    }
    if (m_ds) {
        const PrnLayout plain = plainLayout(m_ds);
        for (TField* f : m_ds->Fields()) {
            if (used.contains(f->FieldName().toUpper())) continue;
            PrnColumn c;
            c.field = f->FieldName();
            c.caption = fieldCaption(f);
            c.widthMm = qBound(12.0, f->DisplayWidth() * 2.0, 80.0);
            m_rows.append({false, c});
        }
    }
    m_filling = false;
    fillTable();
    schedulePreview();
}

void TfrmPrnDesigner::fillTable()
{
    m_filling = true;
    tblColumns->setRowCount(0);
    tblColumns->setRowCount(int(m_rows.size()));
    for (int r = 0; r < m_rows.size(); ++r) {
        const Row& row = m_rows[r];
        QString label = row.column.field;
        if (m_ds)
            if (TField* f = m_ds->FindField(row.column.field); f && fieldCaption(f) != row.column.field)
                label += u" "_s + fieldCaption(f);
        auto* field = new QTableWidgetItem(label);
        field->setData(Qt::UserRole, row.column.field);
        field->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        field->setCheckState(row.print ? Qt::Checked : Qt::Unchecked);
        tblColumns->setItem(r, ColField, field);
        tblColumns->setItem(r, ColCaption, new QTableWidgetItem(row.column.caption));
        tblColumns->setItem(r, ColFormat, new QTableWidgetItem(row.column.displayFormat));

        auto* width = new QDoubleSpinBox;
        width->setRange(2, 500);
        width->setDecimals(1);
        width->setValue(row.column.widthMm);
        auto* align = new QComboBox;
        for (const char16_t* c : kAlignCaptions) align->addItem(QString::fromUtf16(c));
        align->setCurrentIndex(int(row.column.align));
        auto* footer = new QComboBox;
        for (const char16_t* c : kFooterCaptions) footer->addItem(QString::fromUtf16(c));
        footer->setCurrentIndex(int(row.column.footer));
        tblColumns->setCellWidget(r, ColWidth, width);
        tblColumns->setCellWidget(r, ColAlign, align);
        tblColumns->setCellWidget(r, ColFooter, footer);
        // The widgets find their row when they change: rows move.
        const auto changed = [this, width] {
            if (m_filling) return;
            for (int i = 0; i < tblColumns->rowCount(); ++i)
                if (tblColumns->cellWidget(i, ColWidth) == width) readRowFromTable(i);
            schedulePreview();
        };
        connect(width, &QDoubleSpinBox::valueChanged, this, changed);
        connect(align, &QComboBox::currentIndexChanged, this, changed);
        connect(footer, &QComboBox::currentIndexChanged, this, changed);
    }
    m_filling = false;
}

QDoubleSpinBox* TfrmPrnDesigner::widthBox(int row) const
{
    return qobject_cast<QDoubleSpinBox*>(tblColumns->cellWidget(row, ColWidth));
}
QComboBox* TfrmPrnDesigner::alignBox(int row) const
{
    return qobject_cast<QComboBox*>(tblColumns->cellWidget(row, ColAlign));
}
QComboBox* TfrmPrnDesigner::footerBox(int row) const
{
    return qobject_cast<QComboBox*>(tblColumns->cellWidget(row, ColFooter));
}

int TfrmPrnDesigner::rowOfField(const QString& field) const
{
    for (int r = 0; r < m_rows.size(); ++r)
        if (m_rows[r].column.field.compare(field, Qt::CaseInsensitive) == 0) return r;
    return -1;
}

void TfrmPrnDesigner::readRowFromTable(int r)
{
    if (r < 0 || r >= m_rows.size()) return;
    Row& row = m_rows[r];
    if (QTableWidgetItem* f = tblColumns->item(r, ColField)) row.print = f->checkState() == Qt::Checked;
    if (QTableWidgetItem* c = tblColumns->item(r, ColCaption)) row.column.caption = c->text();
    if (QTableWidgetItem* f = tblColumns->item(r, ColFormat)) row.column.displayFormat = f->text().trimmed();
    if (QDoubleSpinBox* w = widthBox(r)) row.column.widthMm = w->value();
    if (QComboBox* a = alignBox(r)) row.column.align = ColumnAlign(std::max(0, a->currentIndex()));
    if (QComboBox* f = footerBox(r)) row.column.footer = FooterKind(std::max(0, f->currentIndex()));
}

void TfrmPrnDesigner::moveCurrentRow(int step)
{
    const int r = tblColumns->currentRow();
    const int to = r + step;
    if (r < 0 || to < 0 || to >= m_rows.size()) return;
    m_rows.swapItemsAt(r, to);
    fillTable();
    tblColumns->setCurrentCell(to, ColField);
    schedulePreview();
}

PrnLayout TfrmPrnDesigner::currentLayout() const
{
    PrnLayout l;
    l.pageSize = QPageSize::PageSizeId(cmbPageSize->currentData().toInt());
    l.orientation = cmbOrientation->currentIndex() == 1 ? QPageLayout::Landscape : QPageLayout::Portrait;
    l.marginLeftMm = spnMarginLeft->value();
    l.marginTopMm = spnMarginTop->value();
    l.marginRightMm = spnMarginRight->value();
    l.marginBottomMm = spnMarginBottom->value();
    l.fontPointSize = spnFontSize->value();
    l.title = edtTitle->text();
    const QString header = mmoHeader->toPlainText(), footer = mmoFooter->toPlainText();
    if (!header.isEmpty()) l.headerLines = header.split(u'\n');
    if (!footer.isEmpty()) l.footerLines = footer.split(u'\n');
    for (const Row& r : m_rows)
        if (r.print) l.columns.append(r.column);
    l.groupField = cmbGroupField->currentData().toString();
    l.groupSubtotal = chkGroupSubtotal->isChecked();
    return l;
}

// --- preview, save ---------------------------------------------------------------------------------

namespace {
PrnVariables designerVariables()
{
    PrnVariables v;
    const QDateTime now = clockNow();
    v.date = now.date().toString(u"yyyy-MM-dd"_s);
    v.time = now.time().toString(u"HH:mm:ss"_s);
    v.user = CurUserName();
    return v;
}
} // namespace

void TfrmPrnDesigner::refreshPreview()
{
    m_previewTimer.stop();
    const PrnLayout l = currentLayout();
    PrnReport report(l, m_ds, designerVariables());
    const QPageLayout pl = l.pageLayout();
    const QRect paper = pl.fullRectPixels(int(kPreviewDpi));
    QImage img(paper.size(), QImage::Format_RGB32);
    img.setDotsPerMeterX(int(kPreviewDpi / 0.0254 + 0.5));
    img.setDotsPerMeterY(int(kPreviewDpi / 0.0254 + 0.5));
    img.fill(Qt::white);
    const PrnReport::Surface s{&img, QRectF(paper), QRectF(pl.paintRectPixels(int(kPreviewDpi))), kPreviewDpi};
    m_pages = report.pageCount(s);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        report.drawPage(p, s, spnPreviewPage->value() - 1);
    }
    pnlPreview->setPage(img);
    m_filling = true;
    spnPreviewPage->setMaximum(std::max(1, m_pages));
    m_filling = false;
    lblPages->setText(u"共 %1 页"_s.arg(m_pages));
}

void TfrmPrnDesigner::btnSaveClick()
{
    writeLayout(m_conn, m_key, currentLayout());
    accept();
}

void TfrmPrnDesigner::btnPreviewClick()
{
    const PrnLayout l = currentLayout();
    PrnReport report(l, m_ds, designerVariables());
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(l.pageLayout());
    QPrintPreviewDialog dlg(&printer, this);
    dlg.setWindowTitle(u"打印预览"_s);
    connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg,
            [&report](QPrinter* p) { guard([&] { report.print(p); }); });
    runModal(&dlg);
}

void TfrmPrnDesigner::btnInsertVariableClick()
{
    const QString token = cmbVariable->currentData().toString();
    if (token.isEmpty()) return;
    if (auto* e = qobject_cast<QLineEdit*>(m_variableTarget.data())) {
        e->insert(token);
        e->setFocus();
    } else if (auto* m = qobject_cast<QPlainTextEdit*>(m_variableTarget.data())) {
        m->insertPlainText(token);
        m->setFocus();
    }
}

void ShowPrnDesigner(TADOConnection& conn, const PrnLayoutKey& key, TClientDataSet* ds, QWidget* parent)
{
    TfrmPrnDesigner dlg(conn, key, ds, parent);
    runModal(&dlg);
}

} // namespace commprint

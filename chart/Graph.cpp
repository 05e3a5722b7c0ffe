#include "chart/Graph.h"

#include "chart/GraphSetFmt.h"
#include "framework/SharedUtils.h"
#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "platform/grid/GridServices.h"
#include "module/MISPub.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/Field.h"
#include "platform/db/Db.h"
#include "platform/grid/DBGridEh.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"

#include <QAction>
#include <QActionGroup>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QPixmap>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QSet>
#include <QScatterSeries>
#include <QStackedBarSeries>
#include <QStandardPaths>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"Picture"_s;
const QString kTable = u"TXTMYCLMDEFAULT"_s;
const QString kColType = u".COL"_s;

// Colours of the points when each point has its own, and of the series otherwise.
const QRgb kPalette[] = {0xff0000, 0x008000, 0xffd700, 0x0000ff, 0xff8c00, 0x808080, 0xff00ff,
                         0x008080, 0x000080, 0x800000, 0x00ff00, 0x808000, 0x800080, 0xc0c0c0,
                         0x00ffff, 0x8b4513};
constexpr int kPaletteSize = int(std::size(kPalette));
QColor paletteColor(int i) { return QColor(kPalette[i % kPaletteSize]); }

const char* const kKindNames[] = {"折线图", "柱状图", "散点图", "饼图"};

// A label shown on a rotated axis is cut to this many characters.
constexpr int kMaxRotatedLabel = 16;
// Value marks over more points than this would only cover each other (and cost a text item
// per point): they are left out.
constexpr int kMaxMarkedPoints = 100;

bool isMaskedField(const TField* f)
{
    using Handler = void (*)(TField*, QString&, bool);
    if (!f || !f->HasOnGetText()) return false;
    const Handler* h = f->OnGetText().target<Handler>();
    return h && *h == &TPubEvent::MaskFieldText;
}

// 3D look: shaded brushes (light in the middle, darker at the edges) instead of flat colours.
QBrush shadedBrush(const QColor& c, bool view3D, Qt::Orientation across = Qt::Horizontal)
{
    if (!view3D) return QBrush(c);
    QLinearGradient g(0, 0, across == Qt::Horizontal ? 1 : 0, across == Qt::Horizontal ? 0 : 1);
    g.setCoordinateMode(QGradient::ObjectMode);
    g.setColorAt(0, c.darker(140));
    g.setColorAt(0.45, c.lighter(130));
    g.setColorAt(1, c.darker(160));
    return QBrush(g);
}

QString numberText(double v) { return QString::number(v, 'g', 15); }

} // namespace

// --- settings ---------------------------------------------------------------------------------

QString TGraphSettings::otherText() const
{
    const auto flag = [](bool b) { return b ? u'1' : u'0'; };
    QString s;
    s += QChar(u'0' + ChartKind);
    s += QChar(u'0' + LegendPosition);
    s += flag(LegendVisible);
    s += flag(MarksVisible);
    s += flag(XLabelsVisible);
    s += flag(YLabelsVisible);
    s += flag(View3D);
    return s;
}

void TGraphSettings::applyOther(const QString& other)
{
    const auto digit = [&](int i, int max, int& target) {
        if (i >= other.size()) return;
        const QChar c = other.at(i);
        if (c >= u'0' && c <= QChar(u'0' + max)) target = c.unicode() - u'0';
    };
    // A flag is on unless its character is "0"; a missing one keeps its default.
    const auto flag = [&](int i, bool& target) {
        if (i < other.size()) target = other.at(i) != u'0';
    };
    digit(0, Pie, ChartKind);
    digit(1, Bottom, LegendPosition);
    flag(2, LegendVisible);
    flag(3, MarksVisible);
    flag(4, XLabelsVisible);
    flag(5, YLabelsVisible);
    flag(6, View3D);
}

QStringList TGraphSettings::splitYFields(const QString& text)
{
    QStringList names;
    if (text.isEmpty()) return names;
    for (const QString& n : text.split(u';')) {
        if (names.size() >= MaxYFields) break;
        names << n;
    }
    return names;
}

QByteArray TGraphSettings::toIni() const
{
    // Values are written as they are (one line each), in the suite's code page.
    const auto line = [](const QString& key, QString value) {
        value.replace(u'\r', u' ').replace(u'\n', u' ');
        return key + u'=' + value + u"\r\n"_s;
    };
    QString text = u'[' + kSection + u"]\r\n"_s;
    text += line(u"XField"_s, XField);
    text += line(u"YField"_s, yFieldText());
    text += line(u"Title"_s, Title);
    text += line(u"XCaption"_s, XCaption);
    text += line(u"YCaption"_s, YCaption);
    text += line(u"Other"_s, otherText());
    return Gbk::encode(text);
}

TGraphSettings TGraphSettings::fromIni(const QByteArray& contents, const QString& defaultTitle)
{
    TGraphSettings s;
    s.Title = defaultTitle;
    // Files written here are GBK; a copy saved as UTF-8 elsewhere is read as such.
    QString text = Gbk::decode(contents);
    {
        QString utf8 = QString::fromUtf8(contents);
        if (!utf8.contains(QChar::ReplacementCharacter) && utf8.toUtf8() == contents) text = utf8;
    }
    bool inSection = false;
    bool hasTitle = false;
    QString xField, yField, other;
    for (QString ln : text.split(u'\n')) {
        ln = ln.trimmed();
        if (ln.isEmpty() || ln.startsWith(u';')) continue;
        if (ln.startsWith(u'[')) {
            inSection = ln.endsWith(u']') && ln.mid(1, ln.size() - 2).trimmed().compare(kSection, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection) continue;
        const qsizetype eq = ln.indexOf(u'=');
        if (eq <= 0) continue;
        const QString key = ln.left(eq).trimmed();
        const QString value = ln.mid(eq + 1);
        const auto is = [&](const char16_t* k) { return key.compare(QStringView(k), Qt::CaseInsensitive) == 0; };
        if (is(u"XField")) s.XField = value;
        else if (is(u"YField")) yField = value;
        else if (is(u"Title")) { s.Title = value; hasTitle = true; }
        else if (is(u"XCaption")) s.XCaption = value;
        else if (is(u"YCaption")) s.YCaption = value;
        else if (is(u"Other")) other = value;
    }
    if (!hasTitle) s.Title = defaultTitle;
    if (!other.isEmpty()) s.applyOther(other);
    s.YFields = splitYFields(yField);
    return s;
}

QString GraphSettings::settingsFilePath(const QString& formKey, const QString& fileKind)
{
    // The user's own folder: a shared temporary folder with a predictable name could hold
    // links planted by another local user.
    QString base = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (base.isEmpty()) base = QDir::homePath() + u"/.config/qor"_s;
    const QString dir = base + u"/Columns"_s;
    QDir().mkpath(dir);
    const QString ext = fileKind.compare(u"COL"_s, Qt::CaseInsensitive) == 0 ? u".col"_s : u".fmt"_s;
    const QString path = dir + u"/XtQry"_s + formKey.trimmed() + ext;
    if (!QFileInfo::exists(path)) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.close();
    }
    return path;
}

bool GraphSettings::readDatabaseCopy(TADOConnection* conn, const QString& formKey, QByteArray& contents)
{
    TQorAdoQry q(conn);
    q.SQL << u"Select FMTFILE"_s << u"From "_s + kTable << u"Where FMTNAME=:FMTNAME and fmttype=:fmttype "_s;
    q.Parameters.ParamByName(u"FMTNAME"_s).Value = formKey;
    q.Parameters.ParamByName(u"fmttype"_s).Value = kColType;
    q.OpenSized();
    if (q.Eof()) return false;
    contents = q.Field(0).Value().toByteArray();
    return true;
}

void GraphSettings::writeDatabaseCopy(TADOConnection* conn, const QString& formKey, const QByteArray& contents)
{
    // Two stations saving at once must not leave two rows, and a failed insert must not lose
    // the shared copy: delete and insert are one transaction.
    DbTransaction tx(conn);
    {
        TQorAdoQry del(conn);
        del.SQL << u" delete from "_s + kTable << u" where FMTNAME=:FMTNAME and FMTTYPE=:FMTTYPE "_s;
        del.Parameters.ParamByName(u"FMTNAME"_s).Value = formKey;
        del.Parameters.ParamByName(u"FMTTYPE"_s).Value = kColType;
        FixParamSizes(del);
        ExecChecked(del);
    }
    {
        TQorAdoQry ins(conn);
        ins.SQL << u" insert into "_s + kTable << u" (FMTNAME,FMTTYPE,FMTFILE) "_s
                << u" values(:FMTNAME,:FMTTYPE,:FMTFILE)"_s;
        ins.Parameters.ParamByName(u"FMTNAME"_s).Value = formKey;
        ins.Parameters.ParamByName(u"FMTTYPE"_s).Value = kColType;
        ins.Parameters.ParamByName(u"FMTFILE"_s).Value = contents;
        FixParamSizes(ins);
        ExecChecked(ins);
    }
    tx.commit();
}

namespace {

QByteArray readWholeFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void writeWholeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw DbError(u"无法写入图形设置文件 "_s + QDir::toNativeSeparators(path) + u"："_s + f.errorString());
}

QPointer<TfrmGraph>& graphForm()
{
    static QPointer<TfrmGraph> form;
    return form;
}

} // namespace

// --- the window -------------------------------------------------------------------------------

TfrmGraph::TfrmGraph(QWidget* parent) : TfrmBase(parent)
{
    setObjectName(u"frmGraph"_s);
    setWindowTitle(u"图形"_s);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(760, 520);

    actRefresh->setText(u"刷新图形(&R)"_s);
    actRefresh->setToolTip(u"刷新图形"_s);
    actRefresh->setStatusTip(u"刷新图形"_s);
    actPreview->setText(u"打印预览(&V)..."_s);
    setActionTag(actRefresh, 1);
    setActionTag(actPreview, 1);
    actSetFmt = addFormAction("actSetFmt", "Operate", u"设置/保存图形格式(&F)..."_s, u"设置/保存图形格式"_s,
                              -1, QKeySequence(), 1, &TfrmGraph::actSetFmtExecute);
    actSavePic = addFormAction("actSavePic", "File", u"保存图形文件(&S)..."_s, u"保存图形文件"_s, 6,
                               QKeySequence(), 1, &TfrmGraph::actSavePicExecute);
    actPrintPic = addFormAction("actPrintPic", "File", u"打印图形(&P)"_s, u"打印图形"_s, 1, QKeySequence(), 1,
                                &TfrmGraph::actPrintPicExecute);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* bar = new QToolBar(this);
    bar->setObjectName(u"ToolBar1"_s);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    const auto dropButton = [&](const char* name, const QString& text, QMenu*& menu, const char* menuName) {
        menu = new QMenu(this);
        menu->setObjectName(QString::fromLatin1(menuName));
        auto* b = new QToolButton(bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setMenu(menu);
        // The button drops its menu down under itself.
        b->setPopupMode(QToolButton::InstantPopup);
        bar->addWidget(b);
        return b;
    };
    btnX = dropButton("btnX", u"X 坐标(&X)"_s, PMnX, "PMnX");
    btnY = dropButton("btnY", u"Y 坐标(&Y)"_s, PMnY, "PMnY");
    btnPic = dropButton("btnPic", u"图形类别(&G)"_s, PMnPic, "PMnPic");
    bar->addSeparator();
    bar->addAction(actSetFmt);
    bar->addAction(actSavePic);
    bar->addAction(actPrintPic);
    bar->addAction(actPreview);
    bar->addAction(actRefresh);
    bar->addSeparator();
    bar->addAction(actClose);
    // Beside the tool bar, never in its overflow menu.
    lblRowLimit = new QLabel(this);
    lblRowLimit->setObjectName(u"lblRowLimit"_s);
    lblRowLimit->setStyleSheet(u"color: #a00000; padding: 0 12px;"_s);
    lblRowLimit->setVisible(false);
    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(bar, 1);
    top->addWidget(lblRowLimit);
    layout->addLayout(top);

    auto* picGroup = new QActionGroup(PMnPic);
    for (int i = 0; i < 4; ++i) {
        QAction* a = PMnPic->addAction(QString::fromUtf8(kKindNames[i]));
        a->setObjectName(u"pmnPic"_s + QString::number(i));
        a->setCheckable(true);
        setActionTag(a, i);
        picGroup->addAction(a);
    }
    PMnPic->actions().constFirst()->setChecked(true);
    PMnPic->setDefaultAction(PMnPic->actions().constFirst());
    for (QMenu* m : {PMnX, PMnY, PMnPic})
        connect(m, &QMenu::triggered, this, [this](QAction* a) { guard([&] { PMnItemClick(a); }, this); });

    auto* chart = new QChart;
    chart->setObjectName(u"DBChartChart"_s);
    DBChart = new QChartView(chart, this);
    DBChart->setObjectName(u"DBChart"_s);
    DBChart->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(DBChart, 1);
    connect(chart, &QChart::plotAreaChanged, this, [this] { guard([&] { updateXLabels(); }, this); });

    pmnDBChart = new QMenu(this);
    pmnDBChart->setObjectName(u"pmnDBChart"_s);
    pmnDBChart->addAction(actClose);
    pmnDBChart->addSeparator();
    pmnDBChart->addAction(actSetFmt);
    pmnDBChart->addAction(actSavePic);
    pmnDBChart->addAction(actPrintPic);
    pmnDBChart->addSeparator();
    pmnDBChart->addAction(actRefresh);
    DBChart->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBChart, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { pmnDBChart->popup(DBChart->mapToGlobal(pos)); });
}

TfrmGraph::~TfrmGraph()
{
    if (graphForm() == this) graphForm() = nullptr;
}

void TfrmGraph::setGraphSource(TClientDataSet* dataSet, TDBGridEh* grid, const QString& caption,
                               const QString& formKey)
{
    m_dataSet = dataSet;
    m_grid = grid;
    m_caption = caption;
    FormKey = formKey;
}

void TfrmGraph::FormShow(QObject* sender)
{
    // A failure of the base steps (print default, rights) is reported, but the chart still opens.
    guard([&] { TfrmBase::FormShow(sender); }, this);
    setWindowTitle(m_caption + u"-直观图"_s);
    if (!m_dataSet || !m_dataSet->Active() || m_dataSet->IsEmpty()) return;
    BuildMenus();
    // A settings copy that cannot be read must not keep the user from the chart.
    guard([this] { LoadSettings(); }, this);
    ApplySettings();
    try {
        Draw();
    } catch (...) {
        // Drawing at show is best effort: the window stays with whatever was drawn.
        LogCurrentException();
    }
}

void TfrmGraph::FormClose(QObject* sender, TCloseAction& action)
{
    TfrmBase::FormClose(sender, action);
    if (graphForm() == this) graphForm() = nullptr;
}

void TfrmGraph::BuildMenus()
{
    try {
        PMnX->clear();
        PMnY->clear();
        qDeleteAll(PMnX->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly));
        YTitles.clear();
        if (!m_grid) return;
        auto* xGroup = new QActionGroup(PMnX);
        const bool shop = UIsShop();
        const bool centre = UIsCenter();
        const bool columnRight = URightColumn();
        TDBGridColumnsEh* cols = m_grid->Columns();
        for (int i = 0; i < cols->Count(); ++i) {
            TColumnEh* c = cols->Items(i);
            if ((shop && c->Tag() == 1) || (centre && c->Tag() == 2)) continue;
            if (!c->Visible() && !columnRight) continue;
            const QString caption = c->Title()->Caption();
            QString menuText = caption;
            menuText.replace(u'&', u"&&"_s);
            QAction* x = PMnX->addAction(menuText);
            x->setObjectName(u"pmnx"_s + QString::number(i));
            x->setCheckable(true);
            x->setData(c->FieldName());
            xGroup->addAction(x);
            TField* f = c->Field();
            // A masked column (no right to see quantities or costs) is no chart value.
            if (f && f->IsNumeric() && !isMaskedField(f)) {
                QAction* y = PMnY->addAction(menuText);
                y->setObjectName(u"pmny"_s + QString::number(i));
                y->setCheckable(true);
                y->setData(c->FieldName());
                YTitles << caption;
            }
        }
    } catch (...) {
        const QString msg = currentExceptionMessage();
        LogException(msg);
        ShowErrorMsg(u"设置图形时出错！"_s + msg);
    }
}

void TfrmGraph::LoadSettings()
{
    Settings = TGraphSettings();
    Settings.Title = windowTitle();
    const QString path = GraphSettings::settingsFilePath(FormKey);
    QByteArray shared;
    if (GraphSettings::readDatabaseCopy(GetSharedConnection(), FormKey, shared)) writeWholeFile(path, shared);
    Settings = TGraphSettings::fromIni(readWholeFile(path), windowTitle());
}

QAction* TfrmGraph::checkedEntry(QMenu* menu) const
{
    const QList<QAction*> entries = menu->actions();
    for (QAction* a : entries)
        if (a->isChecked()) return a;
    return nullptr;
}

void TfrmGraph::ApplySettings()
{
    const QList<QAction*> xs = PMnX->actions();
    if (!checkedEntry(PMnX) && !Settings.XField.isEmpty() && !xs.isEmpty()) {
        QAction* pick = xs.constFirst();
        for (QAction* a : xs)
            if (a->data().toString().compare(Settings.XField, Qt::CaseInsensitive) == 0) {
                pick = a;
                break;
            }
        pick->setChecked(true);
        PMnX->setDefaultAction(pick);
    }
    const QList<QAction*> ys = PMnY->actions();
    if (!checkedEntry(PMnY) && !Settings.YFields.isEmpty() && !ys.isEmpty()) {
        bool any = false;
        for (QAction* a : ys)
            if (Settings.YFields.contains(a->data().toString(), Qt::CaseInsensitive)) {
                a->setChecked(true);
                any = true;
            }
        if (!any) ys.constFirst()->setChecked(true);
    }
    const QList<QAction*> kinds = PMnPic->actions();
    QAction* kind = kinds.value(std::clamp(Settings.ChartKind, 0, int(kinds.size()) - 1));
    kind->setChecked(true);
    PMnPic->setDefaultAction(kind);
}

int TfrmGraph::chartKind() const
{
    QAction* a = checkedEntry(PMnPic);
    return a ? std::clamp(actionTag(a), 0, 3) : 0;
}

void TfrmGraph::PMnItemClick(QAction* entry)
{
    if (!entry) return;
    QMenu* menu = qobject_cast<QMenu*>(entry->parent());
    if (entry->actionGroup() && entry->actionGroup()->isExclusive()) {
        entry->setChecked(true);
        if (menu) menu->setDefaultAction(entry);
    }
    Draw();
}

void TfrmGraph::actRefreshExecute(QObject*) { Draw(); }

void TfrmGraph::Draw()
{
    QChart* chart = DBChart->chart();
    const int kind = chartKind();
    const bool pie = kind == TGraphSettings::Pie;
    const TGraphSettings& st = Settings;

    chart->removeAllSeries();
    for (QAbstractAxis* ax : chart->axes()) {
        chart->removeAxis(ax);
        delete ax;
    }
    m_categories.clear();
    m_drawnRows = 0;

    chart->setTitle(m_caption);
    QFont titleFont = chart->titleFont();
    titleFont.setPointSize(12);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setPlotAreaBackgroundVisible(!pie);
    chart->setPlotAreaBackgroundBrush(QColor(0xf4, 0xf4, 0xf4));
    chart->setDropShadowEnabled(st.View3D);
    chart->setBackgroundRoundness(st.View3D ? 6 : 0);
    QLegend* legend = chart->legend();
    legend->setAlignment(st.LegendPosition == TGraphSettings::Left    ? Qt::AlignLeft
                         : st.LegendPosition == TGraphSettings::Top   ? Qt::AlignTop
                         : st.LegendPosition == TGraphSettings::Bottom ? Qt::AlignBottom
                                                                       : Qt::AlignRight);
    legend->setVisible(st.LegendVisible);

    // The checked Y entries, in menu order, with their titles.
    struct YColumn { QString field; QString title; };
    QList<YColumn> ys;
    const QList<QAction*> yEntries = PMnY->actions();
    for (int i = 0; i < yEntries.size(); ++i)
        if (yEntries[i]->isChecked()) ys.append({yEntries[i]->data().toString(), YTitles.value(i)});
    const int n = int(ys.size());

    QAction* xEntry = checkedEntry(PMnX);
    if (!xEntry && !PMnX->actions().isEmpty()) xEntry = PMnX->actions().constFirst();

    TClientDataSet* ds = m_dataSet;
    const bool haveData = ds && ds->Active();
    const int total = haveData ? ds->RecordCount() : 0;
    const int rows = std::min(total, MaxChartRows);
    const bool capped = total > MaxChartRows;
    lblRowLimit->setText(capped ? u"共%1条记录，图形只显示前%2条"_s.arg(total).arg(MaxChartRows) : QString());
    lblRowLimit->setVisible(capped);
    if (n == 0 || rows == 0) {
        updateXLabels();
        return;
    }

    TField* xField = (haveData && xEntry) ? ds->FindField(xEntry->data().toString()) : nullptr;
    std::vector<int> phys(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i) phys[size_t(i)] = ds->physicalRow(i);
    for (int i = 0; i < rows; ++i)
        m_categories << (xField ? xField->displayTextAt(phys[size_t(i)]) : QString::number(i + 1));
    m_drawnRows = rows;

    QCategoryAxis* axisX = nullptr;
    QValueAxis* axisY = nullptr;
    if (!pie) {
        axisX = new QCategoryAxis;
        axisX->setObjectName(u"BottomAxis"_s);
        axisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        axisX->setStartValue(-0.5);
        axisX->setRange(-0.5, rows - 0.5);
        axisX->setTitleText(st.XCaption);
        axisX->setLabelsVisible(st.XLabelsVisible);
        axisX->setGridLineVisible(false);
        axisY = new QValueAxis;
        axisY->setObjectName(u"LeftAxis"_s);
        axisY->setTitleText(st.YCaption);
        axisY->setLabelsVisible(st.YLabelsVisible);
        axisY->setLabelFormat(u"%.10g"_s);
        chart->addAxis(axisX, Qt::AlignBottom);
        chart->addAxis(axisY, Qt::AlignLeft);
    }

    const bool marks = st.MarksVisible && rows <= kMaxMarkedPoints;
    double lo = 0, hi = 0;
    for (int s = 0; s < n; ++s) {
        TField* yField = ds->FindField(ys[s].field);
        std::vector<double> values(size_t(rows), 0.0);
        if (yField)
            for (int i = 0; i < rows; ++i) {
                const QVariant v = yField->valueAt(phys[size_t(i)]);
                values[size_t(i)] = v.isNull() ? 0.0 : v.toDouble();
            }
        for (double v : values) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        // One colour per point exactly when one Y column is drawn (pies always).
        const bool eachPoint = n == 1 || pie;
        const QColor seriesColor = paletteColor(s);
        QAbstractSeries* series = nullptr;
        switch (kind) {
        case TGraphSettings::Line:
        case TGraphSettings::Point: {
            QXYSeries* xy;
            if (kind == TGraphSettings::Line) {
                auto* line = new QLineSeries;
                QPen pen(seriesColor);
                pen.setWidth(st.View3D ? 3 : 2);
                line->setPen(pen);
                line->setPointsVisible(eachPoint);
                xy = line;
            } else {
                auto* pts = new QScatterSeries;
                pts->setMarkerShape(QScatterSeries::MarkerShapeRotatedRectangle); // diamonds
                pts->setMarkerSize(10);
                pts->setColor(seriesColor);
                pts->setBorderColor(seriesColor.darker(150));
                xy = pts;
            }
            QList<QPointF> points;
            points.reserve(rows);
            for (int i = 0; i < rows; ++i) points.append(QPointF(i, values[size_t(i)]));
            xy->replace(points);
            if (eachPoint)
                for (int i = 0; i < rows; ++i)
                    xy->setPointConfiguration(i, QXYSeries::PointConfiguration::Color, paletteColor(i));
            xy->setPointLabelsVisible(marks);
            xy->setPointLabelsFormat(u"@yPoint"_s);
            xy->setPointLabelsClipping(false);
            series = xy;
            break;
        }
        case TGraphSettings::Bar: {
            QAbstractBarSeries* bars;
            if (eachPoint) {
                // Each point its own colour: the points are spread over sets of one colour
                // each (zero elsewhere), stacked, so every bar keeps its full width.
                auto* stacked = new QStackedBarSeries;
                const int sets = std::min(rows, kPaletteSize);
                for (int k = 0; k < sets; ++k) {
                    auto* set = new QBarSet(k == 0 ? ys[s].title : QString());
                    QList<qreal> vs(rows, 0.0);
                    for (int i = k; i < rows; i += sets) vs[i] = values[size_t(i)];
                    set->append(vs);
                    set->setBrush(shadedBrush(paletteColor(k), st.View3D));
                    set->setPen(QPen(paletteColor(k).darker(150)));
                    set->setLabelColor(Qt::black);
                    stacked->append(set);
                }
                bars = stacked;
            } else {
                auto* plain = new QBarSeries;
                auto* set = new QBarSet(ys[s].title);
                QList<qreal> vs(values.begin(), values.end());
                set->append(vs);
                set->setBrush(shadedBrush(seriesColor, st.View3D));
                set->setPen(QPen(seriesColor.darker(150)));
                set->setLabelColor(Qt::black);
                plain->append(set);
                bars = plain;
            }
            bars->setLabelsVisible(marks);
            bars->setLabelsFormat(u"@value"_s);
            bars->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
            bars->setBarWidth(0.7);
            series = bars;
            break;
        }
        case TGraphSettings::Pie: {
            auto* pieSeries = new QPieSeries;
            for (int i = 0; i < rows; ++i) {
                auto* slice = new QPieSlice(m_categories[i], std::abs(values[size_t(i)]));
                slice->setBrush(shadedBrush(paletteColor(i), st.View3D, Qt::Vertical));
                slice->setPen(QPen(paletteColor(i).darker(150)));
                slice->setLabelVisible(marks);
                pieSeries->append(slice);
            }
            // One pie per Y column, side by side.
            const qreal width = 1.0 / n;
            pieSeries->setHorizontalPosition(width * (s + 0.5));
            pieSeries->setVerticalPosition(0.5);
            pieSeries->setPieSize(std::min(0.8, 0.9 * width * 1.6));
            series = pieSeries;
            break;
        }
        }
        series->setName(ys[s].title);
        series->setObjectName(ys[s].field);
        chart->addSeries(series);
        if (!pie) {
            series->attachAxis(axisX);
            series->attachAxis(axisY);
        }
        // The legend: one entry per series; with one colour per point a pie lists its points
        // as label and value, the value to the right.
        const QList<QLegendMarker*> markers = legend->markers(series);
        if (kind == TGraphSettings::Bar && eachPoint)
            for (int k = 1; k < markers.size(); ++k) markers[k]->setVisible(false);
        if (pie)
            for (int i = 0; i < markers.size() && i < rows; ++i)
                markers[i]->setLabel(m_categories[i] + u"    "_s + numberText(values[size_t(i)]));
    }
    if (axisY) {
        if (hi <= lo) hi = lo + 1;
        axisY->setRange(lo, hi);
        axisY->applyNiceNumbers();
    }
    updateXLabels();
}

void TfrmGraph::updateXLabels()
{
    QChart* chart = DBChart->chart();
    QCategoryAxis* axis = nullptr;
    for (QAbstractAxis* a : chart->axes(Qt::Horizontal))
        if ((axis = qobject_cast<QCategoryAxis*>(a))) break;
    if (!axis) return;
    const int count = int(m_categories.size());
    const qreal width = std::max<qreal>(chart->plotArea().width(), 1.0);
    const qreal slot = count > 0 ? width / count : width;
    const QFontMetricsF fm(axis->labelsFont());
    qreal widest = 0;
    for (const QString& c : m_categories) widest = std::max(widest, fm.horizontalAdvance(c));
    // Labels that do not fit side by side stand upright, and when even upright ones would touch,
    // only every step-th one is shown.
    const bool rotate = widest + 6 > slot;
    const int step = rotate ? std::max(1, int(std::ceil((fm.height() * 1.3) / slot))) : 1;
    const int angle = rotate ? -90 : 0;
    const QString key = QString::number(count) + u'/' + QString::number(step) + u'/' + QString::number(angle);
    if (axis->property("labelLayout").toString() == key) return;
    axis->setProperty("labelLayout", key);
    axis->setLabelsAngle(angle);
    for (const QString& l : axis->categoriesLabels()) axis->remove(l);
    QSet<QString> used;
    for (int i = 0; i < count; i += step) {
        QString label = m_categories[i];
        if (rotate && label.size() > kMaxRotatedLabel) label = label.left(kMaxRotatedLabel - 1) + u'…';
        // The axis needs distinct labels; repeated texts differ by invisible marks.
        while (used.contains(label)) label += QChar(0x200B);
        used.insert(label);
        axis->append(label, i);
    }
}

// --- format, picture, printing ----------------------------------------------------------------

void TfrmGraph::actSetFmtExecute(QObject*)
{
    if (QAction* x = checkedEntry(PMnX)) Settings.XField = x->data().toString();
    QStringList yNames;
    for (QAction* a : PMnY->actions())
        if (a->isChecked()) yNames << a->data().toString();
    const QString yText = yNames.join(u';');

    std::unique_ptr<TfrmGraphSetFmt> dlg(new TfrmGraphSetFmt(this));
    dlg->edtTitle->setText(windowTitle());
    dlg->edtXCaption->setText(Settings.XCaption);
    dlg->edtYCaption->setText(Settings.YCaption);
    dlg->edtXField->setText(Settings.XField);
    dlg->edtYField->setText(yText);
    dlg->chkTV->setChecked(Settings.LegendVisible);
    dlg->chkCV->setChecked(Settings.MarksVisible);
    dlg->chkXV->setChecked(Settings.XLabelsVisible);
    dlg->chkYV->setChecked(Settings.YLabelsVisible);
    dlg->chk3d->setChecked(Settings.View3D);
    dlg->setLgPosition(Settings.LegendPosition);
    dlg->cboPic->setCurrentIndex(chartKind());
    if (runModal(dlg.get()) != QDialog::Accepted) return;

    Settings.Title = windowTitle();
    Settings.XCaption = dlg->edtXCaption->text();
    Settings.YCaption = dlg->edtYCaption->text();
    Settings.XField = dlg->edtXField->text();
    Settings.LegendVisible = dlg->chkTV->isChecked();
    Settings.MarksVisible = dlg->chkCV->isChecked();
    Settings.XLabelsVisible = dlg->chkXV->isChecked();
    Settings.YLabelsVisible = dlg->chkYV->isChecked();
    Settings.View3D = dlg->chk3d->isChecked();
    Settings.LegendPosition = std::clamp(dlg->LgPosition(), 0, 3);
    Settings.ChartKind = std::clamp(dlg->cboPic->currentIndex(), 0, 3);
    Settings.YFields = TGraphSettings::splitYFields(yText);
    dlg.reset();

    try {
        SaveSettings();
    } catch (...) {
        // The choices still apply to this window; only storing them failed.
        const QString msg = currentExceptionMessage();
        LogException(msg);
        ShowErrorMsg(u"保存图形格式失败！"_s + msg);
    }
    QAction* kind = PMnPic->actions().value(Settings.ChartKind);
    kind->setChecked(true);
    PMnPic->setDefaultAction(kind);
    Draw();
}

void TfrmGraph::SaveSettings()
{
    const QString path = GraphSettings::settingsFilePath(FormKey);
    const QByteArray before = readWholeFile(path);
    const QByteArray contents = Settings.toIni();
    writeWholeFile(path, contents);
    try {
        GraphSettings::writeDatabaseCopy(GetSharedConnection(), FormKey, contents);
    } catch (...) {
        // The file and the table stay as they were.
        writeWholeFile(path, before);
        throw;
    }
}

bool TfrmGraph::SaveChartPicture(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    const char* format = suffix == u"png"_s ? "PNG" : "BMP";
    const QPixmap pm = DBChart->grab();
    return pm.save(fileName, format);
}

void TfrmGraph::actSavePicExecute(QObject*)
{
    QString file = promptSaveFile(u"保存图形文件"_s, windowTitle() + u".bmp"_s,
                                  u"位图文件(*.bmp);;PNG图片(*.png)"_s, this);
    if (file.isEmpty()) return;
    if (QFileInfo(file).suffix().isEmpty()) file += u".bmp"_s;
    if (QFileInfo::exists(file) &&
        MsgBox(u"此位图文件已经存在，确认覆盖吗？"_s, MsgFlags::YesNo | MsgFlags::IconQuestion) != MsgResult::Yes)
        return;
    if (!SaveChartPicture(file)) ShowErrorMsg(u"保存图形文件失败！"_s);
}

void TfrmGraph::renderChart(QPainter* painter, const QRectF& target)
{
    // The chart keeps its proportions on the page.
    const QSizeF src = DBChart->viewport()->size();
    QSizeF fitted = src.scaled(target.size(), Qt::KeepAspectRatio);
    const QRectF rect(target.left() + (target.width() - fitted.width()) / 2, target.top(), fitted.width(),
                      fitted.height());
    DBChart->render(painter, rect, DBChart->viewport()->rect());
}

void TfrmGraph::PrintChart(QPrinter* printer)
{
    QPainter p;
    if (!p.begin(printer)) throw DbError(u"打印机无法打印"_s);
    // The painter's origin is the top left corner of the printable area.
    const QRect area = printer->pageLayout().paintRectPixels(printer->resolution());
    renderChart(&p, QRectF(QPointF(0, 0), QSizeF(area.size())));
    p.end();
}

void TfrmGraph::actPrintPicExecute(QObject*)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(windowTitle());
    if (!promptPrintSetup(&printer, this)) return;
    PrintChart(&printer);
}

void TfrmGraph::actPreviewExecute(QObject*)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(windowTitle());
    QPrintPreviewDialog dlg(&printer, this);
    dlg.setWindowTitle(u"打印预览"_s);
    connect(&dlg, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* pr) { guard([&] { PrintChart(pr); }, this); });
    runModal(&dlg);
}

// --- opening ----------------------------------------------------------------------------------

TfrmGraph* CurrentGraphForm() { return graphForm().data(); }

void ShowGraphForm(TfrmBase* owner, TClientDataSet* qryHead, TDBGridEh* dgrdHead)
{
    if (!graphForm()) {
        WaitCursor wait;
        TfrmGraph* f = TfrmBase::create<TfrmGraph>(owner);
        f->setGraphSource(qryHead, dgrdHead, owner ? owner->windowTitle() : QString(),
                          owner ? owner->FormKey : QString());
        graphForm() = f;
    }
    QPointer<TfrmGraph> f = graphForm();
    runModal(f.data());
}

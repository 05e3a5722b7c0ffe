// The chart window over a list form's rows: X, Y and kind menus built from the form's grid,
// line, bar, point and pie charts, settings kept per form key in a file and in the database,
// printing and saving as a picture.
#pragma once

#include "framework/UBase.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QAction;
class QChart;
class QChartView;
class QLabel;
class QMenu;
class QPainter;
class QPrinter;
class QToolButton;
class TADOConnection;
class TClientDataSet;
class TDBGridEh;

// The settings of one form key, section "Picture" of the settings file.
struct TGraphSettings {
    static constexpr int MaxYFields = 21;
    enum Kind { Line = 0, Bar = 1, Point = 2, Pie = 3 };
    enum LegendPos { Left = 0, Right = 1, Top = 2, Bottom = 3 };

    QString XField;
    QStringList YFields; // at most MaxYFields names
    QString Title;
    QString XCaption;
    QString YCaption;
    int ChartKind = Line;
    int LegendPosition = Right;
    bool LegendVisible = true;
    bool MarksVisible = true;
    bool XLabelsVisible = true;
    bool YLabelsVisible = true;
    bool View3D = true;

    // "Other": kind digit, position digit, then "1"/"0" for legend, marks, X labels, Y labels, 3D.
    QString otherText() const;
    // Reads "Other" character by character. A kind or position that is not a digit in range,
    // or a missing flag, keeps that setting's default: a bad row in the shared table must not
    // break the chart on every workstation.
    void applyOther(const QString& other);
    // The Y field text: the names joined by ";".
    QString yFieldText() const { return YFields.join(QLatin1Char(';')); }
    // Splits a Y field text at ";", keeping at most MaxYFields names.
    static QStringList splitYFields(const QString& text);

    // The file contents (GBK text, CR LF) and back. Keys missing from the contents keep the
    // defaults; "Title" defaults to defaultTitle.
    QByteArray toIni() const;
    static TGraphSettings fromIni(const QByteArray& contents, const QString& defaultTitle);
};

namespace GraphSettings {
// The settings file of a form key in the user's own configuration folder:
// <AppConfigLocation>/Columns/XtQry<trimmed key>.col (".fmt" for any kind other than "COL").
// The folder and an empty file are created when missing.
QString settingsFilePath(const QString& formKey, const QString& fileKind = QStringLiteral("COL"));
// The database copy of the settings file, empty when there is none (DbError on failure).
bool readDatabaseCopy(TADOConnection* conn, const QString& formKey, QByteArray& contents);
// Replaces the database copy (delete, then insert) in one transaction; DbError on failure,
// with the table as it was.
void writeDatabaseCopy(TADOConnection* conn, const QString& formKey, const QByteArray& contents);
}

class TfrmGraph : public TfrmBase {
    Q_OBJECT
public:
    // With more rows than this the X axis takes the first ones only, and the window says so.
    static constexpr int MaxChartRows = 1000;

    explicit TfrmGraph(QWidget* parent = nullptr);
    ~TfrmGraph() override;

    // Handed over by the opener before the form is shown: the list form's client dataset and
    // grid, its caption (the chart title and the base of the window caption) and its FormKey.
    void setGraphSource(TClientDataSet* dataSet, TDBGridEh* grid, const QString& caption,
                        const QString& formKey);
    TClientDataSet* GraphDataSet() const { return m_dataSet; }
    TDBGridEh* GraphGrid() const { return m_grid; }
    QString GraphCaption() const { return m_caption; }

    // --- components -------------------------------------------------------------------------
    QChartView* DBChart;     // the chart; DBChart->chart() is the drawn chart
    QToolButton* btnX;       // "X 坐标(&X)" drops PMnX
    QToolButton* btnY;       // "Y 坐标(&Y)" drops PMnY
    QToolButton* btnPic;     // "图形类别(&G)" drops PMnPic
    QMenu* PMnX;             // radio entries "pmnx<column index>", data: the field name
    QMenu* PMnY;             // check entries "pmny<column index>", data: the field name
    QMenu* PMnPic;           // "折线图", "柱状图", "散点图", "饼图" with tags 0 to 3
    QMenu* pmnDBChart;       // the chart's context menu
    QLabel* lblRowLimit;     // shown when the X axis takes only the first MaxChartRows rows
    QAction* actSetFmt;      // "设置/保存图形格式(&F)..."
    QAction* actSavePic;     // "保存图形文件(&S)..."
    QAction* actPrintPic;    // "打印图形(&P)"
    // actRefresh is the redraw action "刷新图形(&R)"; actPreview previews the printout.

    // The captions of the Y entries, in menu order (the series titles).
    QStringList YTitles;
    // The settings read at show and written by the format dialog.
    TGraphSettings Settings;

    // --- operations -------------------------------------------------------------------------
    void BuildMenus();
    void LoadSettings();
    void ApplySettings();
    void Draw();
    // Writes the file and replaces the database copy; on failure the file keeps its old
    // contents and the error passes.
    void SaveSettings();
    // Saves the chart as a picture; the format follows the extension (PNG, else BMP).
    bool SaveChartPicture(const QString& fileName);
    // Paints the chart on a printer page (print and preview).
    void PrintChart(QPrinter* printer);
    // A PMnX, PMnY or PMnPic entry clicked: toggle or check, then Draw.
    void PMnItemClick(QAction* entry);
    // Rows the last Draw took (at most MaxChartRows).
    int DrawnRowCount() const { return m_drawnRows; }

    // --- handlers ---------------------------------------------------------------------------
    void FormShow(QObject* sender) override;
    void FormClose(QObject* sender, TCloseAction& action) override;
    void actRefreshExecute(QObject* sender) override;
    void actPreviewExecute(QObject* sender) override;
    void actSetFmtExecute(QObject* sender);
    void actSavePicExecute(QObject* sender);
    void actPrintPicExecute(QObject* sender);

private:
    QAction* checkedEntry(QMenu* menu) const;
    int chartKind() const;
    void updateXLabels();
    void renderChart(QPainter* painter, const QRectF& target);

    TClientDataSet* m_dataSet = nullptr;
    TDBGridEh* m_grid = nullptr;
    QString m_caption;
    int m_drawnRows = 0;
    QStringList m_categories; // X labels of the drawn rows
};

// The module's chart window, null when none is open (one at a time).
TfrmGraph* CurrentGraphForm();

// The chart action of a list form: when no chart window exists, creates one owned by the form
// (hourglass meanwhile) and hands it qryHead, dgrdHead, the form's caption and FormKey; then
// shows it modally. The window frees itself when it closes and clears the module's reference.
void ShowGraphForm(TfrmBase* owner, TClientDataSet* qryHead, TDBGridEh* dgrdHead);

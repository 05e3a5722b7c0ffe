// The linked-function detail panel: the current record of a grid as caption-value pairs, with
// links to the suite's functions tied to the list form's function that the user may run.
#pragma once

#include "framework/UBase.h"

#include <QList>
#include <QPair>
#include <QPoint>
#include <QRect>
#include <QString>

class QEvent;
class QFrame;
class QKeyEvent;
class QLabel;
class QResizeEvent;
class QWidget;
class TDBGridEh;

// One linked function offered on the panel: the five texts read with the link. The panel hands
// them, with its extra text, to the linked-function procedure as they are, so a text holding
// "|" reaches the host whole.
struct TLinkFuncItem {
    QString LinkFunCode;
    QString FunName;
    QString DllName;
    QString DllFun;
    QString FormType;
};

// Caption and value of one grid column.
using TDetailField = QPair<QString, QString>;

class TfrmQorDetail : public TfrmBase {
    Q_OBJECT
public:
    static constexpr int MaxFields = 20;
    static constexpr int MaxLinks = 8;
    static constexpr int BottomHeight = 69;
    // Byte limits (GBK) of a caption and of a value.
    static constexpr int CaptionBytes = 12;
    static constexpr int ValueBytes = 20;

    explicit TfrmQorDetail(QWidget* parent = nullptr);
    ~TfrmQorDetail() override;

    void FormCreate(QObject* sender) override;
    void FormShow(QObject* sender) override;
    void FormClose(QObject* sender, TCloseAction& action) override;

    // Hands over the extra text and both lists (the panel keeps its own copies).
    void setDetail(const QString& extra, const QList<TDetailField>& fields,
                   const QList<TLinkFuncItem>& links);
    QString extraText() const { return m_extra; }
    const QList<TDetailField>& fields() const { return m_fields; }
    const QList<TLinkFuncItem>& links() const { return m_links; }

    // Calls the linked-function procedure with the link's texts and the extra text; nothing
    // without a procedure or for an index with no link. The panel stays open.
    void lblLinkClick(int index);
    // Closes the panel (a click on pnlMain or pnlBottom).
    void pnlMainClick();
    void pnlBottomClick();

    // The panel open now, null when none.
    static TfrmQorDetail* current();

    QWidget* pnlMain;
    QFrame* bvlLine;
    QWidget* pnlBottom;
    QFrame *shpTop, *shpBottom, *shpLeft, *shpRight;
    QLabel* lblTitle[MaxFields];
    QLabel* lblInfor[MaxFields];
    QLabel* lblLink[MaxLinks];

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void layoutParts();
    // The part of the panel a link label lives on closes it; the label itself runs the link.
    bool linkEvent(int index, QEvent* e);
    bool closingClickEvent(QWidget* part, QEvent* e);

    bool m_shortened = false;

    QString m_extra;
    QList<TDetailField> m_fields;
    QList<TLinkFuncItem> m_links;
};

// Opens the panel for the current record of grid at (left, top), moved so that it fits in the
// work area of the screen there; links come from the function's linked functions that one of
// the user's groups holds. Closes an open panel first. Nothing when the grid's dataset is empty;
// errors while opening are logged and nothing is shown.
void ShowRowDetail(TLinkFuncProc linkFuncProc, TDBGridEh* grid, const QString& funCode,
                   int height, int width, const QString& extra, int top, int left,
                   const QString& userCode);

// The pairs the panel shows for the grid's current record: visible columns in column order,
// title with every "|" removed, value as the column displays it.
QList<TDetailField> CollectDetailFields(TDBGridEh* grid);
// The linked functions of funCode that userCode may run, in link order (database errors reach
// the caller).
QList<TLinkFuncItem> CollectDetailLinks(const QString& funCode, const QString& userCode);
// Left and top of a panel of the given size at (left, top) inside the work area.
QPoint FitDetailPosition(const QRect& workArea, int left, int top, int width, int height);

// Pieces the browse forms share: tool-bar buttons and menu entries that stand for a form action,
// the rights every browse form reads at show, and the load of a head grid's rows with progress.
#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <memory>

class QAction;
class QIcon;
class QKeySequence;
class QLabel;
class QMenu;
class QObject;
class QToolBar;
class QToolButton;
class QWidget;
class TADOQuery;
class TClientDataSet;
class TRightCtl;
class TfrmBase;

// A stand-in for a form action in a menu or on a tool bar: its own caption (and image when one
// is given), the action's enabled, visible and checked state followed, and a click that runs the
// action. The stand-in carries no shortcut of the action's, so a key never runs it twice.
QAction* mirrorAction(QAction* action, const QString& caption, QObject* parent);

// A menu entry named name for action; an empty caption keeps the action's caption, an image
// index below 0 keeps its image. A shortcut is active on shortcutScope and the widgets inside
// it (the control the menu pops up on), as menu shortcuts of a control are.
QAction* addMenuEntry(QMenu* menu, const char* name, QAction* action, const QString& caption = {},
                      int image = -1, const QKeySequence* shortcut = nullptr,
                      QWidget* shortcutScope = nullptr);
// A sub-menu entry named name standing for action; the entries are added to the returned menu.
QMenu* addSubMenuEntry(QMenu* menu, const char* name, QAction* action);
QAction* addMenuSeparator(QMenu* menu, const char* name);

// A tool-bar button named name for action, caption under the image, 43 x 43; with dropDown,
// the arrow beside it opens that menu.
QToolButton* addToolButton(QToolBar* bar, const char* name, QAction* action, const QString& caption,
                           QMenu* dropDown = nullptr);
QAction* addToolSeparator(QToolBar* bar, const char* name);
// The tool bar of a browse form: flat buttons with captions under 24 x 24 images.
QToolBar* makeBrowseToolBar(QWidget* parent, const char* name);

// The rights a browse form reads at show, in the order the rights object is asked: add "01",
// edit "02", delete "03", query "04", export "06", print "05", print-format design "OP01", then
// quantities "OP07" and costs "OP08".
struct TBrowseRights {
    bool Add = false;
    bool Edit = false;
    bool Delete = false;
    bool Query = false;
    bool Export = false;
    bool Print = false;
    bool PrnFmt = false;
    bool Qty = false;
    bool Cost = false;
};
TBrowseRights ReadBrowseRights(TRightCtl& rights);

// Runs the head query and replaces the rows of ds with its whole result. progress is called
// with the rows read so far, now and then while a long result arrives (not for short ones). On
// failure ds keeps its rows and the error passes. The query is closed afterwards.
void LoadHeadRows(TADOQuery& query, TClientDataSet& ds, const std::function<void(qint64)>& progress);
// Rows between two progress reports (the first report comes after as many rows).
constexpr qint64 HeadLoadProgressStep = 50000;

// Shows a progress text on a label of a form during a long handler: the label is painted at
// once, without handling other events, and gets its text back afterwards.
class TLoadProgress {
public:
    explicit TLoadProgress(QLabel* label);
    ~TLoadProgress();
    TLoadProgress(const TLoadProgress&) = delete;
    TLoadProgress& operator=(const TLoadProgress&) = delete;
    void report(qint64 rows);
    // How many progress texts were shown.
    int Reports() const { return m_reports; }

private:
    QLabel* m_label;
    QString m_saved;
    int m_reports = 0;
};

// The function rights both browse variants hold, read anew at every show.
class TBrowseRightFlags {
public:
    TBrowseRightFlags();
    ~TBrowseRightFlags();
    TBrowseRightFlags(const TBrowseRightFlags&) = delete;
    TBrowseRightFlags& operator=(const TBrowseRightFlags&) = delete;

    bool RightAdd = false;
    bool RightEdit = false;
    bool RightDelete = false;
    bool RightQuery = false;
    bool RightExport = false;
    bool RightPrint = false;
    bool RightPrnFmt = false;
    // The rights object of the last show; null before the first one.
    TRightCtl* RightCtl() const { return m_rights.get(); }

protected:
    // The show handling the variants share: baseShow (the base form's show) first, its error
    // kept so that it never leaves the rights unread; then the user's rights on form's
    // function read anew and the quantity and cost fields masked by them. The caller raises the
    // returned error, if any, once its own show work is done.
    std::exception_ptr showReadingRights(TfrmBase& form, const std::function<void()>& baseShow);

private:
    std::unique_ptr<TRightCtl> m_rights;
};

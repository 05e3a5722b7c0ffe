// The browse list: a tool bar for column set-up, query, filter, sort, print, preview and chart,
// a context menu, and the user's function rights read at every show.
#pragma once

#include "browse/BrowseKit.h"
#include "framework/UBase.h"

#include <memory>

class QFrame;
class QMenu;
class QToolBar;
class QToolButton;
class QVBoxLayout;
class TRightCtl;

// The rights read at show come from TBrowseRightFlags.
class TfrmBaseA : public TfrmBase, public TBrowseRightFlags {
    Q_OBJECT
public:
    explicit TfrmBaseA(QWidget* parent = nullptr);
    ~TfrmBaseA() override;

    // --- components -------------------------------------------------------------------------
    QFrame* CoolBar2;
    QToolBar* ToolBar1;
    QToolButton *tbtnClose, *tbtnColumn, *tbtnQuery, *tbtnFilt, *tbtnSort, *tbtnPrint, *tbtnPreview,
        *tbtnGraph;
    QMenu* popBaseA;
    QMenu* pmnConvert; // the sub-menu of actConvert1

    // --- handlers ---------------------------------------------------------------------------
    void FormShow(QObject* sender) override;
    void LoadData() override;

protected:
    // The form's layout: the tool bar first; descendants add their controls below it.
    QVBoxLayout* formLayout() const { return m_layout; }
    // Pops popBaseA up on the control's context-menu request.
    void usePopupMenu(QWidget* control);

private:
    QVBoxLayout* m_layout;
};

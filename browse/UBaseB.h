// The maintenance list: a tool bar for add, edit, delete, save, cancel, print, preview and query,
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
class TfrmBaseB : public TfrmBase, public TBrowseRightFlags {
    Q_OBJECT
public:
    explicit TfrmBaseB(QWidget* parent = nullptr);
    ~TfrmBaseB() override;

    // The record-moving actions act only in state 3 (browsing); descendants may define others.
    quint8 EditState = 3;

    // --- components -------------------------------------------------------------------------
    QFrame* CoolBar1;
    QToolBar* ToolBar1;
    QToolButton *tbtnClose, *tbtnAdd, *tbtnEdit, *tbtnDelete, *tbtnSave, *tbtnCancel, *tbtnPrint,
        *tbtnPreview, *tbtnQuery;
    QAction *tbtnNone1, *tbtnNone2, *tbtnNone4;
    QAction* actOther;
    QAction* actImportExcel;
    // The context menu and an empty one for descendants.
    QMenu* popBaseB;
    QMenu* PopOtherOp;

    // --- handlers ---------------------------------------------------------------------------
    void FormCreate(QObject* sender) override;
    void FormShow(QObject* sender) override;
    void actFirstExecute(QObject* sender) override;
    void actPriorExecute(QObject* sender) override;
    void actNextExecute(QObject* sender) override;
    void actLastExecute(QObject* sender) override;
    virtual void actImportExcelExecute(QObject*) {}
    virtual void actOtherExecute(QObject*) {}

protected:
    // The form's layout: the tool bar first; descendants add their controls below it.
    QVBoxLayout* formLayout() const { return m_layout; }
    // Pops popBaseB up on the control's context-menu request.
    void usePopupMenu(QWidget* control);

private:
    QVBoxLayout* m_layout;
};

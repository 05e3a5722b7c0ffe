// The root form of the framework: the standard action set, the default print format with its
// two drop-down menus, masking of quantity and cost fields, Enter as Tab, the pending parameter
// and the linked-function procedure.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QKeySequence>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

class QAction;
class QMenu;
class QKeyEvent;
class TClientDataSet;
class TDataSource;

// Opens a linked function: LinkFunCode, FunName, DllName, DllFun, FormType, extra text.
using TLinkFuncProc = void (*)(const QString& linkFunCode, const QString& funName,
                               const QString& dllName, const QString& dllFun,
                               const QString& formType, const QString& extra);

// What happens to a form after its close handler ran.
enum TCloseAction { caNone, caHide, caFree, caMinimize };

class TfrmBase : public QDialog {
    Q_OBJECT
    // The host receives only the form object; it sets the linked-function procedure through this
    // property (a quintptr holding a TLinkFuncProc) or setLinkFuncProc().
    Q_PROPERTY(quintptr LinkFuncProc READ linkFuncProcValue WRITE setLinkFuncProcValue)
    Q_PROPERTY(QString FunCode MEMBER FunCode)
    Q_PROPERTY(QString PendingParam MEMBER PendingParam)
    Q_PROPERTY(int Tag MEMBER Tag)
    // The condition description, for the print service's header variable.
    Q_PROPERTY(QString QryDesc MEMBER QryDesc)

public:
    explicit TfrmBase(QWidget* parent = nullptr);
    ~TfrmBase() override;

    // Forms are made through create<T>(): the constructor builds the widgets, then the virtual
    // create handler runs once on the complete object (descendants override FormCreate, set
    // their members and call the inherited handler). A create handler that throws frees the
    // half-made form and passes the error on.
    template <class T, class... A> static T* create(A&&... args)
    {
        T* f = new T(std::forward<A>(args)...);
        try {
            f->FormCreate(f);
        } catch (...) {
            delete f;
            throw;
        }
        return f;
    }

    // --- members ----------------------------------------------------------------------------
    int Tag = 1;
    QString FunCode;
    QString FormKey;
    int PrnSerialNo = -1;
    std::unique_ptr<QStringList> CalcFieldDefs; // made at create, freed at close
    QString CalcFieldSql;
    QString FullSql;
    QString QryWhere;
    QString QryDesc;
    bool UseCalcFields = true;
    int OrgListKind = 0;
    bool Closing = false;
    bool UseQryFrame = true;
    QString PendingParam;
    bool CheckFieldRights = true;
    bool ShowQtyFields = true;
    bool ShowCostFields = true;
    QStringList QtyFields;
    QStringList CostFields;

    TLinkFuncProc linkFuncProc() const { return m_linkFuncProc; }
    void setLinkFuncProc(TLinkFuncProc p) { m_linkFuncProc = p; }

    // --- actions (object names as the actions' names; Tag, Category and ImageIndex kept as
    // properties) ------------------------------------------------------------------------------
    QAction *actConvert, *actConvertToExcel, *actConvertToText, *actConvertToHtml,
        *actConvertToOther, *actPrnFmtDesign, *actPreview, *actPrint, *actAdd, *actEdit,
        *actDelete, *actSave, *actCancel, *actFirst, *actPrior, *actNext, *actLast, *actColumn,
        *actSort, *actQuery, *actFilt, *actFind, *actClose, *actCheck, *actApply, *actAssess,
        *actAccount, *actFormat, *actGraph, *actDetail, *actRefresh, *ActPrintDgrd,
        *ActPreviewDgrd, *ActSetCalc;
    // The drop-down menus of the print and preview buttons; the first entry of each
    // (mnuPrintDgrd, mnuPreviewDgrd, caption "基本格式") runs ActPrintDgrd / ActPreviewDgrd.
    QMenu* DropDownPrint;
    QMenu* DropDownPreview;
    QAction* mnuPrintDgrd;
    QAction* mnuPreviewDgrd;
    // The data source the four record-moving actions act on (null: they do nothing).
    TDataSource* RecordActionSource = nullptr;

    // --- handlers (virtual, as descendants override them) ------------------------------------
    virtual void FormShow(QObject* sender);
    virtual void FormClose(QObject* sender, TCloseAction& action);
    virtual void actConvertExecute(QObject*) {}
    virtual void actConvertToExcelExecute(QObject*) {}
    virtual void actConvertToTextExecute(QObject*) {}
    virtual void actConvertToHtmlExecute(QObject*) {}
    virtual void actConvertToOtherExecute(QObject*) {}
    virtual void actPrnFmtDesignExecute(QObject*) {}
    virtual void actPreviewExecute(QObject*) {}
    virtual void actPrintExecute(QObject*) {}
    virtual void actCloseExecute(QObject* sender);
    virtual void actAddExecute(QObject*) {}
    virtual void actEditExecute(QObject*) {}
    virtual void actDeleteExecute(QObject*) {}
    virtual void actSaveExecute(QObject*) {}
    virtual void actCancelExecute(QObject*) {}
    virtual void actFirstExecute(QObject* sender);
    virtual void actPriorExecute(QObject* sender);
    virtual void actNextExecute(QObject* sender);
    virtual void actLastExecute(QObject* sender);
    virtual void actColumnExecute(QObject*) {}
    virtual void actSortExecute(QObject*) {}
    virtual void actQueryExecute(QObject*) {}
    virtual void actFiltExecute(QObject*) {}
    virtual void actFindExecute(QObject*) {}
    virtual void actCheckExecute(QObject*) {}
    virtual void actApplyExecute(QObject*) {}
    virtual void actAssessExecute(QObject*) {}
    virtual void actAccountExecute(QObject*) {}
    virtual void actFormatExecute(QObject*) {}
    virtual void actRefreshExecute(QObject*) {}
    virtual void actDetailExecute(QObject*) {}
    virtual void actGraphExecute(QObject*) {}
    virtual void ActPrintDgrdExecute(QObject* sender);
    virtual void ActPreviewDgrdExecute(QObject* sender);
    virtual void DropDownPreviewPopup(QMenu* menu);
    virtual void FormCreate(QObject* sender);
    virtual void ActSetCalcExecute(QObject*) {}
    virtual void LoadData() {}
    virtual void HandlePendingParam(const QString&) {}
    virtual void PrnFmtItemClick(QAction* entry);
    virtual void ApplyFieldRights();
    virtual void ApplyFieldRightsTo(QObject* component);

    // Enables the four record-moving actions from the position of the source's dataset.
    void UpdateRecordActions(TDataSource* source);
    // The user's group codes as a quoted comma list ('A1','B2'); empty without groups.
    QString GetUserGroups(const QString& userCode);

    // The form's action list: the standard actions in resource order, then those added by
    // descendants through addFormAction().
    QList<QAction*> formActions() const { return m_actions; }
    // The image of the form image list at index (null icon when the image is missing).
    static QIcon baseImage(int index);

    // Every way of closing (close(), accept(), reject(), done()) runs the close handler, which
    // decides whether the form stays, hides, is freed or is minimised.
    void done(int r) override;

protected:
    // Adds an action to the form's action list: object name, category, caption, hint (tool tip
    // and status tip), image index (-1: none), shortcut and Tag; the handler is a member of the
    // form's class and runs in guard() with the action as sender.
    template <class C>
    QAction* addFormAction(const char* name, const char* category, const QString& caption,
                           const QString& hint, int image, const QKeySequence& shortcut, int tag,
                           void (C::*handler)(QObject*))
    {
        static_assert(std::is_base_of_v<TfrmBase, C>);
        QAction* a = newAction(name, category, caption, hint, image, shortcut, tag);
        C* self = static_cast<C*>(this);
        bindAction(a, [self, a, handler] { (self->*handler)(a); });
        return a;
    }

    void showEvent(QShowEvent* e) override;
    bool event(QEvent* e) override; // activation -> FormActivate
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override; // key preview: Enter as Tab

    // Enter as Tab; handled is set when the key was consumed.
    void FormKeyPress(QKeyEvent* e, bool& handled);
    void FormActivate();
    void FormDestroy() {}

private:
    quintptr linkFuncProcValue() const { return reinterpret_cast<quintptr>(m_linkFuncProc); }
    void setLinkFuncProcValue(quintptr v) { m_linkFuncProc = reinterpret_cast<TLinkFuncProc>(v); }
    QAction* newAction(const char* name, const char* category, const QString& caption,
                       const QString& hint, int image, const QKeySequence& shortcut, int tag);
    void bindAction(QAction* a, std::function<void()> run);
    QMenu* makeFormatMenu(const char* name, const char* entryName, QAction* basic);
    // The objects the form owns: its descendants, without the components of the other forms
    // and the frames it holds.
    void collectOwned(QObject* parent, QList<QObject*>& out) const;
    QStringList maskedFieldNames() const;

    TLinkFuncProc m_linkFuncProc = nullptr;
    QList<QAction*> m_actions;
};

// The Tag property of an action or menu entry (0 when unset).
int actionTag(const QObject* a);
void setActionTag(QObject* a, int tag);

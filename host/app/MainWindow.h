// The suite shell's main window: the suite's menu with the try-out functions, which it opens
// through the module's exported entry points as tabs of one work area, the linked-function
// procedure it hands every form, the session switch, and the session in the title and status bar.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QStackedWidget;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const QString& databaseText, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The shell of this process (null when none is open).
    static MainWindow* instance();

    // Opens a function of the module by the name of its entry point, as the function funCode
    // (empty: the code the function register gives the entry) with a hand-over parameter.
    // The new form, or null after a box said why there is none.
    QWidget* openFunction(const QString& entryName, const QString& funCode = {}, const QString& param = {});
    // The form of the current tab, the form the last function opened, every open form.
    QWidget* activeForm() const;
    QWidget* lastForm() const { return m_lastForm; }
    QList<QWidget*> forms() const;
    // The function register's code for an entry point of this module (empty when it has none).
    QString functionCode(const QString& entryName) const;
    // Closes every form; false when one of them stays open.
    bool closeForms();
    // "切换用户/站点": the forms open under the old session close first.
    void switchSession();
    // The Tags the close notifier received, in order.
    QList<int> closedTags() const { return m_closedTags; }

    // The host's close notifier: a form of the module closed.
    static void formClosed(int tag);
    // The host's linked-function procedure (LinkFuncProc of every form): opens a function of
    // this module; for any other library says which library and entry it would open.
    static void openLinkedFunction(const QString& linkFunCode, const QString& funName, const QString& dllName,
                                   const QString& dllFun, const QString& formType, const QString& extra);

protected:
    // Closing the main window closes the forms (they store their settings) and ends the session.
    void closeEvent(QCloseEvent* e) override;

private:
    void buildMenu();
    void buildStatusBar();
    void updateSessionTexts();
    void updateCentre();
    void loadFunctionCodes();
    void embed(QWidget* form);
    void about();

    QString m_database;
    QPointer<QWidget> m_lastForm;
    QStackedWidget* m_centre = nullptr;
    QMdiArea* m_area = nullptr;
    QLabel* m_lblUser = nullptr;
    QLabel* m_lblStation = nullptr;
    QLabel* m_lblShop = nullptr;
    QList<QPair<QString, QString>> m_funCodes; // entry point, FunCode
    QList<int> m_closedTags;
};

// The module library: loaded beside the program first, then from the search path; null when
// it cannot be loaded.
void* tryoutModule();
// True when a library name of the function register names this module (libtryout.so, or the
// suite's TryOut.dll).
bool isTryoutModule(const QString& dllName);
